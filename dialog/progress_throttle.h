// Lets a running count through at most once per interval, so a fast worker does not flood
// the UI thread with updates nobody can read.
#pragma once

#include <chrono>

namespace solvane::dialog {

inline constexpr std::chrono::milliseconds kProgressInterval{50};  // about 20 updates a second

class ProgressThrottle {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ProgressThrottle(Clock::duration interval = kProgressInterval) noexcept : interval_(interval) {}

  // True for the first call and then whenever a whole interval has passed since the last
  // call that returned true.
  bool due(Clock::time_point now) noexcept {
    if (started_ && now - last_ < interval_) return false;
    started_ = true;
    last_ = now;
    return true;
  }

 private:
  Clock::duration interval_;
  Clock::time_point last_{};
  bool started_ = false;
};

}  // namespace solvane::dialog

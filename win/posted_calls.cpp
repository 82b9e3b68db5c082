#include "win/posted_calls.h"

#include <utility>

namespace solvane::win {

void PostedCalls::setWindow(HWND window) {
  const std::lock_guard lock(mutex_);
  window_ = window;
}

void PostedCalls::post(std::function<void()> call) {
  const std::lock_guard lock(mutex_);
  if (!window_) return;
  calls_.push_back(std::move(call));
  if (!wakePending_) wakePending_ = ::PostMessageW(window_, kMessage, 0, 0) != FALSE;
}

void PostedCalls::runQueued() {
  {
    const std::lock_guard lock(mutex_);
    wakePending_ = false;
  }
  // One at a time: a call may open a modal box whose loop dispatches kMessage again, and the
  // calls behind it then run there, still in the order they came.
  for (;;) {
    std::function<void()> call;
    {
      const std::lock_guard lock(mutex_);
      if (calls_.empty()) return;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
  }
}

void PostedCalls::close() {
  const std::lock_guard lock(mutex_);
  window_ = nullptr;
  calls_.clear();
}

}  // namespace solvane::win

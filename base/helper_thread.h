// Work run beside this thread: on a helper thread when one can be had, else here, later.
//
// Every parallel step of the program has the same fallback: when the system gives no thread,
// the work is done on the calling thread instead, so a program that cannot start threads is
// slower, never wrong. What the work throws comes out of finish() on the calling thread.
//
// Usage:
//   HelperThread helper;
//   helper.start([&] { parse(secondHalf); });
//   parse(firstHalf);
//   helper.finish();  // joins the helper, or parses the second half here
#pragma once

#include <exception>
#include <functional>
#include <thread>

namespace solvane {

class HelperThread {
 public:
  HelperThread() = default;
  HelperThread(const HelperThread&) = delete;
  HelperThread& operator=(const HelperThread&) = delete;
  // Waits for a running helper; work that never got a thread and was never finished is dropped.
  ~HelperThread() = default;

  // Starts `work` on a helper thread; when no thread can be had, or `worthAThread` is false
  // (too little work to pay for one), keeps it for finish() and returns false. Call once.
  bool start(std::function<void()> work, bool worthAThread = true);

  // True while the work runs (or ran) on a helper thread not yet joined.
  [[nodiscard]] bool onHelperThread() const noexcept { return thread_.joinable(); }

  // Joins the helper thread, or runs the work here when it got none; then rethrows what the
  // work threw. Does nothing after the first call.
  void finish();

 private:
  std::function<void()> work_;
  std::exception_ptr failure_;
  std::jthread thread_;  // last: joined before the work and its failure go
};

}  // namespace solvane

#include "base/helper_thread.h"

#include <system_error>
#include <utility>

namespace solvane {

bool HelperThread::start(std::function<void()> work, bool worthAThread) {
  work_ = std::move(work);
  if (!worthAThread) return false;
  try {
    thread_ = std::jthread([this] {
      try {
        work_();
      } catch (...) {
        failure_ = std::current_exception();
      }
    });
    return true;
  } catch (const std::system_error&) {
    return false;  // no thread to be had: finish() runs the work here
  }
}

void HelperThread::finish() {
  if (thread_.joinable()) {
    thread_.join();
  } else if (work_) {
    std::exchange(work_, nullptr)();
  }
  work_ = nullptr;
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace solvane

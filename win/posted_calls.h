// Functions that other threads hand to the UI thread: queued here, and the window gets one
// private message to run what is queued. One message stands for any number of calls, so a
// burst of news from a worker never floods the window's message queue.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

namespace solvane::win {

class PostedCalls {
 public:
  // The message the window gets when calls are waiting.
  static constexpr UINT kMessage = WM_APP + 1;

  explicit PostedCalls(HWND window = nullptr) : window_(window) {}
  void setWindow(HWND window);

  // Any thread. Calls after the window is gone are dropped.
  void post(std::function<void()> call);
  // UI thread, on kMessage: runs what is queued, in order.
  void runQueued();
  // The window is going: nothing queued or posted later runs.
  void close();

 private:
  std::mutex mutex_;
  HWND window_;
  bool wakePending_ = false;
  std::deque<std::function<void()>> calls_;
};

}  // namespace solvane::win

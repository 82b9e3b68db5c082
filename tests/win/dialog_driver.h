// Drives the real Win32 dialog the way a user's input would reach it, through its own messages:
// clicks by control id, fields and cells read back through the controls, the message queue
// pumped while the workers run. The pickers and message boxes are answered by FakePrompts.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "dialog/dialog_logic.h"

namespace solvane::wintest {

namespace fs = std::filesystem;

struct Shown {
  std::string text;
  std::string detail;
  solvane::dialog::MessageKind kind;
};

class FakePrompts final : public solvane::dialog::Prompts {
 public:
  std::deque<fs::path> sourceAnswers;  // one per picker, in order; empty: Cancel
  std::vector<std::string> askedDefaults;
  std::vector<Shown> messages;
  std::vector<std::string> questions;  // each Yes/No question's text, answered confirmAnswer
  int abouts = 0;
  bool confirmAnswer = true;
  // Runs once, while the next message is "up", as a person's input would in the box's own
  // message loop.
  std::function<void()> whileShown;

  void message(const std::string& text, const std::string& detail, solvane::dialog::MessageKind kind) override {
    messages.push_back({text, detail, kind});
    if (whileShown) std::exchange(whileShown, nullptr)();
  }
  fs::path openSourceFile(const std::string& defaultName, const fs::path&) override {
    askedDefaults.push_back(defaultName);
    if (sourceAnswers.empty()) return {};
    fs::path answer = sourceAnswers.front();
    sourceAnswers.pop_front();
    return answer;
  }
  std::vector<fs::path> openImportFiles(const fs::path&) override { return {}; }
  bool confirm(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return confirmAnswer;
  }
  void about() override { ++abouts; }
};

// Runs the window's messages until `done` holds or `limit` has passed; true if it held.
inline bool pumpUntil(HWND dialog, const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(120)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!dialog || !::IsWindow(dialog) || !::IsDialogMessageW(dialog, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

inline void pumpFor(HWND dialog, std::chrono::milliseconds time) {
  pumpUntil(
      dialog, [] { return false; }, time);
}

inline std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline std::wstring fieldText(HWND dialog, int id) { return windowText(::GetDlgItem(dialog, id)); }

inline void click(HWND dialog, int id) { ::SendMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

inline bool enabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE; }

inline int rowCount(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

inline std::wstring cellText(HWND list, int row, int column) {
  std::wstring text(4096, L'\0');
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = static_cast<int>(text.size());
  text.resize(static_cast<std::size_t>(
      ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item))));
  return text;
}

inline std::wstring widen(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                                             wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

}  // namespace solvane::wintest

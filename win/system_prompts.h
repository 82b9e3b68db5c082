// The modal windows of the system itself: message box, file-open picker, About box, and the
// controller's Prompts made of them. The dialog reaches them only through Prompts, so a test
// can answer in place of a person.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/dialog_logic.h"

namespace solvane::win {

// A message box captioned with the application's name; returns the button pressed.
int showMessageBox(HWND owner, const std::wstring& text, UINT style);

// GetOpenFileNameW with one filter and `defaultName` filled in, starting in `folder` (empty:
// the system's choice). Only existing files; the empty path for every outcome but a choice.
// The result may be as long as the system allows a path.
std::filesystem::path pickOpenFile(HWND owner, std::wstring_view defaultName, const std::filesystem::path& folder,
                                   std::wstring_view filterText, std::wstring_view filterPattern);

// The same picker for several files at once (Import...): an empty list for every outcome but a
// choice.
std::vector<std::filesystem::path> pickOpenFiles(HWND owner, const std::filesystem::path& folder,
                                                 std::wstring_view filters);

// The About box, template 100, modal over `owner`.
void showAboutBox(HWND owner);

// The message box's style for each kind of the controller's messages.
UINT messageStyle(solvane::dialog::MessageKind kind);
// Text and detail as the box shows them: the detail (path, line, reason) on a line of its own.
std::wstring messageText(const std::string& text, const std::string& detail);

class SystemPrompts final : public solvane::dialog::Prompts {
 public:
  // The window the boxes are modal over when none of this thread's windows is active (another
  // program is in front as a worker's message comes): without it the box would have no owner,
  // and the dialog would take clicks and close while the box waits.
  void setOwner(HWND owner) noexcept { owner_ = owner; }

  void message(const std::string& text, const std::string& detail, solvane::dialog::MessageKind kind) override;
  std::filesystem::path openSourceFile(const std::string& defaultName, const std::filesystem::path& folder) override;
  std::vector<std::filesystem::path> openImportFiles(const std::filesystem::path& folder) override;
  bool confirm(const std::string& text, const std::string& detail) override;
  void about() override;

 private:
  // The active window of this thread (the dialog, or a picker or box over it), else the owner.
  [[nodiscard]] HWND owner() const noexcept {
    HWND active = ::GetActiveWindow();
    return active ? active : owner_;
  }

  HWND owner_ = nullptr;
};

}  // namespace solvane::win

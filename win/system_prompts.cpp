#include "win/system_prompts.h"

#include <commdlg.h>

#include "dialog/dialog_template.h"
#include "dialog/dialog_texts.h"
#include "win/wide_text.h"

namespace solvane::win {
namespace {

// Room for the longest path the system knows (32767 characters) and, for several files, a
// folder and many names.
constexpr DWORD kPickerBuffer = 1 << 16;

INT_PTR CALLBACK aboutProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        ::EndDialog(window, LOWORD(wParam));
        return TRUE;
      }
      break;
    default: break;
  }
  return FALSE;
}

}  // namespace

int showMessageBox(HWND owner, const std::wstring& text, UINT style) {
  const std::wstring caption = widen(solvane::dialog::kAppName);
  return ::MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

std::filesystem::path pickOpenFile(HWND owner, std::wstring_view defaultName, const std::filesystem::path& folder,
                                   std::wstring_view filterText, std::wstring_view filterPattern) {
  std::wstring buffer(kPickerBuffer, L'\0');
  defaultName.copy(buffer.data(), std::min<std::size_t>(defaultName.size(), kPickerBuffer - 1));
  std::wstring filter;
  filter.append(filterText).push_back(L'\0');
  filter.append(filterPattern).push_back(L'\0');
  const std::wstring initialFolder = folder.wstring();

  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();  // ends in two zeros: the string's own and the one above
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kPickerBuffer;
  dialog.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
  // No OFN_NOCHANGEDIR: the current directory follows the chosen file, as the output does.
  dialog.Flags = OFN_FILEMUSTEXIST;
  if (!::GetOpenFileNameW(&dialog)) return {};
  return std::filesystem::path(buffer.c_str());
}

std::vector<std::filesystem::path> pickOpenFiles(HWND owner, const std::filesystem::path& folder,
                                                 std::wstring_view filters) {
  std::wstring buffer(kPickerBuffer, L'\0');
  const std::wstring filter(filters);
  const std::wstring initialFolder = folder.wstring();
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = buffer.data();
  dialog.nMaxFile = kPickerBuffer;
  dialog.lpstrInitialDir = initialFolder.empty() ? nullptr : initialFolder.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT | OFN_EXPLORER;
  if (!::GetOpenFileNameW(&dialog)) return {};
  // One file: its full path. Several: the folder, then each name, each ended by a zero.
  std::vector<std::filesystem::path> files;
  const wchar_t* part = buffer.c_str();
  const std::filesystem::path first(part);
  part += std::wcslen(part) + 1;
  if (*part == L'\0') return {first};
  for (; *part != L'\0'; part += std::wcslen(part) + 1) files.push_back(first / part);
  return files;
}

void showAboutBox(HWND owner) {
  ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(solvane::dialog::kIddAboutBox), owner, aboutProc, 0);
}

UINT messageStyle(solvane::dialog::MessageKind kind) {
  using solvane::dialog::MessageKind;
  switch (kind) {
    case MessageKind::kPlain: return MB_OK;
    // Whatever is pressed, the run is over; the two buttons are the program's old habit.
    case MessageKind::kOutputOpenFailed: return MB_OKCANCEL;
    case MessageKind::kError: return MB_OK | MB_ICONERROR;
  }
  return MB_OK;
}

std::wstring messageText(const std::string& text, const std::string& detail) {
  return widen(detail.empty() ? text : text + "\n" + detail);
}

void SystemPrompts::message(const std::string& text, const std::string& detail, solvane::dialog::MessageKind kind) {
  showMessageBox(owner(), messageText(text, detail), messageStyle(kind));
}

std::filesystem::path SystemPrompts::openSourceFile(const std::string& defaultName,
                                                    const std::filesystem::path& folder) {
  return pickOpenFile(owner(), widen(defaultName), folder, widen(solvane::dialog::kSourceFilter),
                      widen(solvane::dialog::kSourcePattern));
}

std::vector<std::filesystem::path> SystemPrompts::openImportFiles(const std::filesystem::path& folder) {
  namespace texts = solvane::dialog;
  std::string patterns;
  for (const char* pattern : texts::kImportPatterns) patterns += (patterns.empty() ? "" : ";") + std::string(pattern);
  std::wstring filters = widen(texts::kImportFilterName);
  filters.push_back(L'\0');
  filters += widen(patterns);
  filters.push_back(L'\0');
  filters += widen(texts::kAllFilesName);
  filters.push_back(L'\0');
  filters += widen(texts::kAllFilesPattern);
  filters.push_back(L'\0');
  return pickOpenFiles(owner(), folder, filters);
}

bool SystemPrompts::confirm(const std::string& text, const std::string& detail) {
  return showMessageBox(owner(), messageText(text, detail), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void SystemPrompts::about() { showAboutBox(owner()); }

}  // namespace solvane::win

// The main dialog on Windows: template 102 run by the system's dialog manager, the camera table
// an owner-data list view over the controller's CameraTable. Everything the dialog decides
// (commands, states, texts, workers) is the controller's (dialog/); this class only shows its
// members, forwards the controls' messages and runs the calls the workers post.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h: HDROP.
#include <shellapi.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dialog/dialog_logic.h"
#include "win/posted_calls.h"
#include "win/system_prompts.h"

namespace solvane::win {

class CDB_Conv_SolvaneDlg final : private solvane::dialog::View {
 public:
  // The system's own message boxes and pickers, modal over this dialog.
  CDB_Conv_SolvaneDlg();
  // `prompts` answer in their place (the tests answer them).
  explicit CDB_Conv_SolvaneDlg(solvane::dialog::Prompts& prompts);
  CDB_Conv_SolvaneDlg(const CDB_Conv_SolvaneDlg&) = delete;
  CDB_Conv_SolvaneDlg& operator=(const CDB_Conv_SolvaneDlg&) = delete;
  ~CDB_Conv_SolvaneDlg() override;

  // Runs the dialog modally; returns IDOK or IDCANCEL.
  INT_PTR DoModal();
  // Creates the dialog modeless (the tests drive it through its messages); the window
  // destroys itself where the modal one would end.
  HWND Create();

  [[nodiscard]] HWND window() const noexcept { return window_; }
  [[nodiscard]] solvane::dialog::Controller& logic() noexcept { return logic_; }

 private:
  CDB_Conv_SolvaneDlg(std::unique_ptr<SystemPrompts> own, solvane::dialog::Prompts* given);

  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnInitDialog();
  void OnSysCommand(WPARAM command, LPARAM lParam);
  bool OnPaint();
  HICON OnQueryDragIcon() const noexcept { return m_hIcon; }
  void OnCommand(int id);
  void OnDropFiles(HDROP drop);
  LRESULT OnNotify(const NMHDR& header);
  // Cancels a run or an import, joins its worker, then ends the dialog.
  void close();
  void end(INT_PTR result);

  // View
  void updateData() override;
  void setButtons(const solvane::dialog::ButtonStates& states) override;
  void tableReloaded(std::shared_ptr<const solvane::TableFindings> findings) override;
  // No map and no marks here (yet): a Conversion need not work the findings out.
  [[nodiscard]] bool showsFindings() const override { return false; }
  void showRowCount();
  // The template has no room for the import's progress line: the caption carries it while the
  // import runs (Escape cancels it; the close box cancels it and ends the program).
  void importProgress(const std::string& line, int permille) override;
  void importEnded() override;

  HWND control(int id) const noexcept { return ::GetDlgItem(window_, id); }

  HICON m_hIcon;
  HICON smallIcon_;
  HWND window_ = nullptr;
  HWND m_List = nullptr;  // the list view; the rows are the controller's table
  bool modal_ = false;
  // The boxes and pickers when none were given: they stay modal over this window even when a
  // worker's message comes while another program is in front.
  std::unique_ptr<SystemPrompts> systemPrompts_;
  PostedCalls posted_;
  solvane::dialog::Controller logic_;
};

}  // namespace solvane::win

#include "win/db_conv_solvane_dlg.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <utility>
#include <string>

#include "dialog/dialog_template.h"
#include "dialog/dialog_texts.h"
#include "table/camera_table.h"
#include "win/wide_text.h"

namespace solvane::win {
namespace {

namespace ids = solvane::dialog;

HICON loadIcon(int size) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ids::kIdrMainFrame), IMAGE_ICON,
                                         size, size, LR_SHARED));
}

void setText(HWND control, const std::string& utf8) {
  const std::wstring text = widen(utf8);
  ::SetWindowTextW(control, text.c_str());
}

}  // namespace

CDB_Conv_SolvaneDlg::CDB_Conv_SolvaneDlg() : CDB_Conv_SolvaneDlg(std::make_unique<SystemPrompts>(), nullptr) {}

CDB_Conv_SolvaneDlg::CDB_Conv_SolvaneDlg(solvane::dialog::Prompts& prompts) : CDB_Conv_SolvaneDlg(nullptr, &prompts) {}

CDB_Conv_SolvaneDlg::CDB_Conv_SolvaneDlg(std::unique_ptr<SystemPrompts> own, solvane::dialog::Prompts* given)
    : m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ids::kIdrMainFrame))),
      smallIcon_(loadIcon(::GetSystemMetrics(SM_CXSMICON))),
      systemPrompts_(std::move(own)),
      logic_(*this, given ? *given : *systemPrompts_,
             [this](std::function<void()> call) { posted_.post(std::move(call)); }) {}

// The controller joins its workers before the posted calls and the window go.
CDB_Conv_SolvaneDlg::~CDB_Conv_SolvaneDlg() {
  logic_.cancelConversion();
  posted_.close();
  if (window_ && !modal_) ::DestroyWindow(window_);
}

INT_PTR CDB_Conv_SolvaneDlg::DoModal() {
  modal_ = true;
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ids::kIddMainDialog), nullptr, dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND CDB_Conv_SolvaneDlg::Create() {
  modal_ = false;
  return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ids::kIddMainDialog), nullptr, dialogProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDB_Conv_SolvaneDlg::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDB_Conv_SolvaneDlg*>(lParam);
    ::SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->window_ = window;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDB_Conv_SolvaneDlg*>(::GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;
  return dialog->handle(message, wParam, lParam);
}

INT_PTR CDB_Conv_SolvaneDlg::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SYSCOMMAND:
      if (solvane::dialog::isAboutCommand(static_cast<unsigned>(wParam))) {
        OnSysCommand(wParam, lParam);
        return TRUE;
      }
      return FALSE;  // the system's own commands: the default processing
    case WM_PAINT: return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      // One of the few messages whose result a dialog procedure returns itself.
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, OnNotify(*reinterpret_cast<const NMHDR*>(lParam)));
      return TRUE;
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return TRUE;
    case WM_CLOSE:
      // The close box and Alt+F4 end the program even while an import runs (where Escape
      // would only cancel it); the dialog manager would turn this into an IDCANCEL.
      close();
      return TRUE;
    case PostedCalls::kMessage: posted_.runQueued(); return TRUE;
    case WM_DESTROY:
      posted_.close();
      if (systemPrompts_) systemPrompts_->setOwner(nullptr);
      ::SetWindowLongPtrW(window_, DWLP_USER, 0);
      window_ = nullptr;
      m_List = nullptr;
      return TRUE;
    default: return FALSE;
  }
}

BOOL CDB_Conv_SolvaneDlg::OnInitDialog() {
  posted_.setWindow(window_);
  if (systemPrompts_) systemPrompts_->setOwner(window_);
  m_List = control(ids::kIdList);

  // The About item after the system's own.
  if (HMENU menu = ::GetSystemMenu(window_, FALSE)) {
    const wchar_t* text = nullptr;
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), ids::kIdsAboutBox, reinterpret_cast<LPWSTR>(&text), 0);
    if (length > 0) {
      const std::wstring item(text, static_cast<std::size_t>(length));
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, solvane::dialog::kIdmAboutBox, item.c_str());
    }
  }
  // The small one at its own size, where the system would otherwise shrink the big one.
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_ ? smallIcon_ : m_hIcon));

  const auto style = static_cast<DWORD>(::SendMessageW(m_List, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  ::SendMessageW(m_List, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  for (int column = 0; column < solvane::kColumnCount; ++column) {
    const auto& info = solvane::kColumns[static_cast<std::size_t>(column)];
    std::wstring heading = widen(info.heading);
    LVCOLUMNW lvColumn{};
    lvColumn.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    lvColumn.fmt = LVCFMT_CENTER;
    lvColumn.cx = info.widthPixels;
    lvColumn.pszText = heading.data();
    ::SendMessageW(m_List, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&lvColumn));
  }
  ::DragAcceptFiles(window_, TRUE);

  showRowCount();
  logic_.start();
  return TRUE;  // the focus goes to the first control with a tab stop: OK
}

void CDB_Conv_SolvaneDlg::OnSysCommand(WPARAM, LPARAM) { logic_.OnAbout(); }

bool CDB_Conv_SolvaneDlg::OnPaint() {
  if (!::IsIconic(window_)) return false;
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(window_, &paint);
  ::SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = ::GetSystemMetrics(SM_CXICON);
  const int iconHeight = ::GetSystemMetrics(SM_CYICON);
  RECT client{};
  ::GetClientRect(window_, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(window_, &paint);
  return true;
}

void CDB_Conv_SolvaneDlg::OnCommand(int id) {
  switch (id) {
    case IDOK:
      // Greyed during a run or an import; Enter still sends it.
      if (logic_.buttons().ok) end(IDOK);
      break;
    case IDCANCEL:
      // Escape is the import's Cancel, as in a progress window: the import stops and the
      // dialog stays. Otherwise Escape ends the dialog, a conversion cancelled and its worker
      // joined first.
      if (logic_.runState() == solvane::dialog::RunState::kImporting) {
        logic_.cancelImport();
        break;
      }
      close();
      break;
    case ids::kIdOpenNormal: logic_.OnOpenNormal(); break;
    case ids::kIdOpenAutodoria: logic_.OnOpenAutodoria(); break;
    case ids::kIdConversion: logic_.OnConvert(); break;
    case ids::kIdLoad: logic_.OnLoad(); break;
    default: break;
  }
}

void CDB_Conv_SolvaneDlg::close() {
  logic_.cancelConversion();
  end(IDCANCEL);
}

void CDB_Conv_SolvaneDlg::end(INT_PTR result) {
  if (modal_) {
    ::EndDialog(window_, result);
  } else {
    ::DestroyWindow(window_);
  }
}

void CDB_Conv_SolvaneDlg::OnDropFiles(HDROP drop) {
  std::vector<std::filesystem::path> paths;
  const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    ::DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(length);
    paths.emplace_back(path);
  }
  ::DragFinish(drop);
  // Not during a run: its lists and folder were taken at its start.
  if (!paths.empty() && logic_.acceptsDrop()) logic_.takeFiles(paths);
}

LRESULT CDB_Conv_SolvaneDlg::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != m_List || header.code != LVN_GETDISPINFOW) return 0;
  // The list view asks for the cells it is about to draw; nothing is copied beforehand.
  LVITEMW& item = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
  if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return 0;
  const solvane::CameraTable& table = logic_.table();
  std::wstring text;
  if (item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < table.rowCount()) {
    text = widenCell(table.cell(static_cast<std::size_t>(item.iItem), item.iSubItem));
  }
  const std::size_t length = std::min<std::size_t>(text.size(), static_cast<std::size_t>(item.cchTextMax - 1));
  text.copy(item.pszText, length);
  item.pszText[length] = L'\0';
  return 0;
}

void CDB_Conv_SolvaneDlg::updateData() {
  if (!window_) return;
  setText(control(ids::kIdTotal), logic_.total());
  setText(control(ids::kIdConverted), logic_.converted());
  setText(control(ids::kIdNormalPath), logic_.normalPath());
  setText(control(ids::kIdAutodoriaPath), logic_.autodoriaPath());
}

void CDB_Conv_SolvaneDlg::setButtons(const solvane::dialog::ButtonStates& states) {
  if (!window_) return;
  const HWND focus = ::GetFocus();
  const std::pair<int, bool> buttons[] = {{ids::kIdOpenNormal, states.openNormal},
                                          {ids::kIdOpenAutodoria, states.openAutodoria},
                                          {ids::kIdLoad, states.load},
                                          {ids::kIdConversion, states.conversion},
                                          {ids::kIdOk, states.ok}};
  for (const auto& [id, enabled] : buttons) ::EnableWindow(control(id), enabled ? TRUE : FALSE);
  // A button greyed while it had the focus leaves the focus nowhere: Enter and Tab would do
  // nothing. OK takes it back when it can.
  if ((!focus || !::IsWindowEnabled(focus)) && states.ok) {
    ::SendMessageW(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control(ids::kIdOk)), TRUE);
  }
}

void CDB_Conv_SolvaneDlg::tableReloaded(std::shared_ptr<const solvane::TableFindings>) { showRowCount(); }

void CDB_Conv_SolvaneDlg::importProgress(const std::string& line, int) {
  // The template has no Cancel button for it: the caption says how to cancel.
  if (window_) setText(window_, std::string(solvane::dialog::kTitle) + " - " + line + " (Esc cancels)");
}

void CDB_Conv_SolvaneDlg::importEnded() {
  if (window_) setText(window_, solvane::dialog::kTitle);
}

void CDB_Conv_SolvaneDlg::showRowCount() {
  if (!m_List) return;
  // An owner-data list holds only the number; the cells are asked for as they are drawn.
  const std::size_t rows = logic_.table().rowCount();
  ::SendMessageW(m_List, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), 0);
  ::InvalidateRect(m_List, nullptr, TRUE);
}

}  // namespace solvane::win

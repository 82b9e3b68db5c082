#include "win/db_conv_solvane_app.h"

#include <commctrl.h>

#include "win/db_conv_solvane_dlg.h"

namespace solvane::win {

int CDB_Conv_SolvaneApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_WIN95_CLASSES;
  ::InitCommonControlsEx(&controls);

  CDB_Conv_SolvaneDlg dialog;
  dialog.DoModal();
  return 0;
}

}  // namespace solvane::win

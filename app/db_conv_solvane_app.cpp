#include "app/db_conv_solvane_app.h"

#include "app/about_dlg.h"
#include "app/db_conv_solvane_dlg.h"
#include "app/user_prompts.h"
#include "base/version.h"

namespace solvane::gui {

CDB_Conv_SolvaneApp::CDB_Conv_SolvaneApp(int& argc, char** argv) : m_app(argc, argv) {
  // The caption of every message box.
  QApplication::setApplicationName(QString::fromUtf8(kAppName));
  QApplication::setApplicationVersion(QString::fromLatin1(solvane::kVersion));
  QApplication::setWindowIcon(applicationIcon());
}

int CDB_Conv_SolvaneApp::InitInstance() {
  WidgetPrompts prompts;
  CDB_Conv_SolvaneDlg dialog(prompts);
  dialog.exec();
  return 0;
}

}  // namespace solvane::gui

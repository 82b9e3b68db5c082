// Converts two lists in the dialog and saves a picture of it, for the guide:
//   dialog_screenshot <normal list> <Autodoria list> <out.png>
// The lists are copied to a temporary folder first, so the database is written there.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/about_dlg.h"
#include "app/db_conv_solvane_dlg.h"
#include "fake_prompts.h"

using solvane::gui::applicationIcon;
using solvane::gui::CDB_Conv_SolvaneDlg;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("DB_Conv_Solvane"));
  QApplication::setWindowIcon(applicationIcon());
  const QStringList args = QApplication::arguments();
  if (args.size() != 4) {
    std::fprintf(stderr, "usage: dialog_screenshot <normal list> <Autodoria list> <out.png>\n");
    return 2;
  }
  QTemporaryDir work(QDir::temp().filePath(QStringLiteral("solvane-example-XXXXXX")));
  const QString normal = work.filePath(QFileInfo(args[1]).fileName());
  const QString autodoria = work.filePath(QFileInfo(args[2]).fileName());
  if (!work.isValid() || !QFile::copy(args[1], normal) || !QFile::copy(args[2], autodoria)) {
    std::fprintf(stderr, "dialog_screenshot: cannot copy the lists\n");
    return 1;
  }

  FakePrompts prompts;
  prompts.answers = {normal, autodoria};
  CDB_Conv_SolvaneDlg dialog(prompts);
  dialog.show();
  dialog.OnOpenNormal();
  dialog.OnOpenAutodoria();
  int status = 1;
  QObject::connect(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished, &dialog, [&](bool converted) {
    for (const ShownMessage& m : prompts.messages) std::printf("%s\n", qPrintable(m.text));
    dialog.tableView().selectRow(2);
    dialog.okButton().setFocus();
    status = converted && dialog.grab().save(args[3]) ? 0 : 1;
    app.quit();
  });
  QTimer::singleShot(0, &dialog, [&] { dialog.convertButton().click(); });
  QTimer::singleShot(30000, &app, &QApplication::quit);
  app.exec();
  return status;
}

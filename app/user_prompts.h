// Everything the dialog asks of the user through a modal window of its own: message boxes,
// the file picker and the About box. The dialog reaches them only through this interface so
// that the tests can answer in place of a user and nothing blocks.
#pragma once

#include <QString>
#include <QStringList>

#include "dialog/dialog_texts.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace solvane::gui {

// The fixed texts (dialog/dialog_texts.h).
using solvane::dialog::kAppName;
using solvane::dialog::kSourceFilter;
using solvane::dialog::kSourcePattern;
// The filters of the Import... picker in Qt's form: "Camera data (*.csv ...);;All files (*)".
QString importFilter();

class UserPrompts {
 public:
  enum class Icon { kNone, kError };

  virtual ~UserPrompts() = default;

  // A modal box captioned with the application's name; `detail`, when not empty, is shown
  // under the text. Returns when the user has dismissed it.
  virtual void message(QWidget* parent, const QString& text, const QString& detail, Icon icon) = 0;

  // The open-file picker, starting in `folder` (empty: the platform's choice) with
  // `defaultName` filled in. Returns the full path of the chosen file, or the empty text for
  // every outcome but a choice.
  virtual QString openSourceFile(QWidget* parent, const QString& defaultName, const QString& folder) = 0;

  // The About box, modal over `parent`.
  virtual void about(QWidget* parent) = 0;

  // The open-files picker for Import...: camera data in any format `solvane import` reads,
  // several files at once. The empty list for every outcome but a choice.
  virtual QStringList openImportFiles(QWidget* parent, const QString& folder) = 0;

  // A Yes/No question captioned with the application's name; true for Yes.
  virtual bool confirm(QWidget* parent, const QString& text, const QString& detail) = 0;
};

// The real thing: QMessageBox, QFileDialog and CAboutDlg, each run modally.
class WidgetPrompts final : public UserPrompts {
 public:
  void message(QWidget* parent, const QString& text, const QString& detail, Icon icon) override;
  QString openSourceFile(QWidget* parent, const QString& defaultName, const QString& folder) override;
  void about(QWidget* parent) override;
  QStringList openImportFiles(QWidget* parent, const QString& folder) override;
  bool confirm(QWidget* parent, const QString& text, const QString& detail) override;
};

// How the real prompts set up their windows, kept apart so it can be checked without
// running them.
void configureMessageBox(QMessageBox& box, const QString& text, const QString& detail, UserPrompts::Icon icon);
void configureSourcePicker(QFileDialog& picker, const QString& defaultName, const QString& folder);

}  // namespace solvane::gui

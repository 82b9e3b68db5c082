// Everything the dialog asks of the user through a modal window of its own: message boxes,
// the file picker and the About box. The dialog reaches them only through this interface so
// that the tests can answer in place of a user and nothing blocks.
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QMessageBox;
class QWidget;

namespace solvane::gui {

inline constexpr const char* kAppName = "DB_Conv_Solvane";
// The one filter of the source-file picker: shown text, then pattern.
inline constexpr const char* kSourceFilter = "Text File(*.txt) ";
inline constexpr const char* kSourcePattern = "*.txt";
// The filters of the Import... picker.
inline constexpr const char* kImportFilter =
    "Camera data (*.csv *.gpx *.kml *.geojson *.json *.osm *.pbf *.bz2 *.gz);;All files (*)";

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

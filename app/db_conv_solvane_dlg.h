// The main dialog in Qt: the widgets, their layout, the table model and the map link. The
// dialog's state and commands live in solvane::dialog::Controller (dialog/dialog_logic.h);
// this class shows its members (UpdateData), answers its View, Prompts and Post, and turns
// clicks, keys and drops into its commands. The controller's workers reach the dialog only
// through queued calls, so no widget is touched from a worker.
#pragma once

#include <QAction>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <filesystem>
#include <memory>

#include "app/camera_table_model.h"
#include "convert/database_file.h"
#include "dialog/dialog_logic.h"
#include "dialog/dialog_texts.h"
#include "table/camera_table.h"

namespace solvane::map {
class MapLink;
class RowMarks;
}  // namespace solvane::map

namespace solvane::gui {

class UserPrompts;

class CDB_Conv_SolvaneDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kTitle = solvane::dialog::kTitle;
  static constexpr const char* kDefaultNormalName = solvane::dialog::kDefaultNormalName;
  static constexpr const char* kDefaultAutodoriaName = solvane::dialog::kDefaultAutodoriaName;

  explicit CDB_Conv_SolvaneDlg(solvane::gui::UserPrompts& prompts, QWidget* parent = nullptr);
  ~CDB_Conv_SolvaneDlg() override;

  // Command handlers.
  void OnOpenNormal();
  void OnOpenAutodoria();
  // Empties the camera table and loads both lists on the UI thread; false (after the
  // message) on a failure. Conversion does its own load on a worker.
  bool OnLoad();
  void OnConvert();
  void OnAbout();
  // Opens the map preview of the camera table.
  void OnMap();
  // Import... (context menu): camera data files chosen with the picker become the two lists,
  // written beside the first file, and fill the two path fields.
  void OnImport();
  // What Import... and a drop do with files: each list (a text file with a list header) goes
  // into its field as if chosen with Open; all other files are imported together.
  void takeFiles(const QStringList& paths);

  // State and controls, for the tests and for features built on the dialog.
  [[nodiscard]] const solvane::CameraTable& table() const noexcept { return m_logic.table(); }
  [[nodiscard]] solvane::gui::CameraTableModel& tableModel() noexcept { return m_model; }
  [[nodiscard]] QTableView& tableView() noexcept { return m_ListView; }
  [[nodiscard]] QPushButton& openNormalButton() noexcept { return m_btnOpen; }
  [[nodiscard]] QPushButton& openAutodoriaButton() noexcept { return m_btnOpenAutodoria; }
  [[nodiscard]] QPushButton& loadButton() noexcept { return m_btnLoad; }
  [[nodiscard]] QPushButton& convertButton() noexcept { return m_btnConvert; }
  [[nodiscard]] QPushButton& okButton() noexcept { return m_btnOK; }
  [[nodiscard]] QLineEdit& totalField() noexcept { return m_edtTotal; }
  [[nodiscard]] QLineEdit& convertedField() noexcept { return m_edtConverted; }
  [[nodiscard]] QLineEdit& normalPathField() noexcept { return m_edtNormalPath; }
  [[nodiscard]] QLineEdit& autodoriaPathField() noexcept { return m_edtAutodoriaPath; }
  [[nodiscard]] QLabel& normalLabel() noexcept { return m_lblNormal; }
  [[nodiscard]] QLabel& autodoriaLabel() noexcept { return m_lblAutodoria; }
  [[nodiscard]] QAction& aboutAction() noexcept { return m_aboutAction; }
  [[nodiscard]] QPushButton& mapButton() noexcept { return m_btnMap; }
  [[nodiscard]] QAction& mapAction() noexcept { return m_mapAction; }
  [[nodiscard]] QAction& importAction() noexcept { return m_importAction; }
  // The progress line of an import on its worker, with Cancel; null when none runs.
  [[nodiscard]] QProgressDialog* importProgress() noexcept { return m_importProgress.get(); }
  [[nodiscard]] solvane::map::MapLink& mapLink() noexcept { return *m_mapLink; }
  [[nodiscard]] solvane::map::RowMarks& rowMarks() noexcept { return *m_rowMarks; }
  [[nodiscard]] QString total() const;
  [[nodiscard]] QString converted() const;
  [[nodiscard]] QString normalPath() const;
  [[nodiscard]] QString autodoriaPath() const;
  [[nodiscard]] const solvane::Header& header() const noexcept { return m_logic.header(); }
  [[nodiscard]] const solvane::RandomBlock& randomBlock() const noexcept { return m_logic.randomBlock(); }
  // Where the next file is written: the folder of the source file chosen last, or the
  // current directory before any choice.
  [[nodiscard]] QString outputFolder() const;
  // From the Conversion click (the load included) until the run's closing message has been
  // dismissed, or until a load that ends the run has been shown.
  [[nodiscard]] bool isConverting() const noexcept { return m_logic.isConverting(); }
  // The dialog's logic, for features built on the dialog.
  [[nodiscard]] solvane::dialog::Controller& logic() noexcept { return m_logic; }

 signals:
  // The camera table was reloaded (and, for a conversion, sorted); the model is current.
  void tableReloaded();
  // A Conversion's lists were loaded and shown. `converting`: the encode/write worker has
  // started; false after a load error (its message dismissed) or an empty table, with the
  // buttons enabled again.
  void loadFinished(bool converting);
  // A run has started: the buttons are disabled and the worker is going.
  void conversionStarted();
  // A run has ended and its message was dismissed; the buttons are enabled again.
  void conversionFinished(bool converted);
  // An import has ended (`imported`: the lists were written) and its message was dismissed.
  void importFinished(bool imported);

 protected:
  // Closing during a run cancels the run and waits for the worker before the dialog goes.
  void done(int result) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
#ifdef Q_OS_WIN
  void showEvent(QShowEvent* event) override;
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  class QtView;
  class QtPrompts;

  // Members to fields.
  void UpdateData();
  void placeControls();
  void setButtons(const solvane::dialog::ButtonStates& states);
  void showTable(std::shared_ptr<const solvane::TableFindings> findings);
  void showImportProgress(bool running);

  solvane::gui::UserPrompts& m_prompts;
  std::unique_ptr<QtView> m_view;
  std::unique_ptr<QtPrompts> m_promptsAdapter;
  // The members the description names (m_List, m_strTotal, m_Header, ...) are the
  // controller's; it is declared before every widget that shows them.
  solvane::dialog::Controller m_logic;

  QIcon m_hIcon;
  QPushButton m_btnOpen;
  QPushButton m_btnConvert;
  QPushButton m_btnOK;

  QLabel m_lblNormal;
  QLabel m_lblAutodoria;
  QLineEdit m_edtNormalPath;
  QLineEdit m_edtAutodoriaPath;
  QLineEdit m_edtConverted;
  QLineEdit m_edtTotal;
  QPushButton m_btnOpenAutodoria;
  QPushButton m_btnLoad;
  solvane::gui::CameraTableModel m_model;
  QTableView m_ListView;
  QAction m_aboutAction;
  QPushButton m_btnMap;
  QAction m_mapAction;
  QAction m_importAction;
  std::unique_ptr<solvane::map::RowMarks> m_rowMarks;
  std::unique_ptr<solvane::map::MapLink> m_mapLink;
  std::unique_ptr<QProgressDialog> m_importProgress;

  bool m_systemMenuReady = false;
};

}  // namespace solvane::gui

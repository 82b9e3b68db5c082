// The main dialog: the two source lists, the camera table, the counts and the conversion.
//
// The members are the truth; the fields only show them (UpdateData). A conversion loads and
// sorts into a table of its own on a worker thread, hands that table to the UI thread (a
// move, so showing a million rows costs no pause), then encodes and writes on a second
// worker that only reads the camera table. Workers report back through queued calls, so no
// widget or member is touched from a worker.
#pragma once

#include <QAction>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "table/camera_table.h"
#include "app/camera_table_model.h"
#include "convert/conversion.h"
#include "convert/database_file.h"
#include "load/load_command.h"

namespace solvane::map {
class MapLink;
class RowMarks;
}  // namespace solvane::map

namespace solvane::gui {

class UserPrompts;

class CDB_Conv_SolvaneDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr const char* kTitle = "Corlan DB Solvane [2016.03.02]";
  static constexpr const char* kDefaultNormalName = "Solvane.txt";
  static constexpr const char* kDefaultAutodoriaName = "Autodoria.txt";

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
  [[nodiscard]] const solvane::CameraTable& table() const noexcept { return m_List; }
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
  [[nodiscard]] solvane::map::MapLink& mapLink() noexcept { return *m_mapLink; }
  [[nodiscard]] solvane::map::RowMarks& rowMarks() noexcept { return *m_rowMarks; }
  [[nodiscard]] const QString& total() const noexcept { return m_strTotal; }
  [[nodiscard]] const QString& converted() const noexcept { return m_strConverted; }
  [[nodiscard]] const QString& normalPath() const noexcept { return m_strNormalPath; }
  [[nodiscard]] const QString& autodoriaPath() const noexcept { return m_strAutodoriaPath; }
  [[nodiscard]] const solvane::Header& header() const noexcept { return m_Header; }
  [[nodiscard]] const solvane::RandomBlock& randomBlock() const noexcept { return m_RandomBlock; }
  // Where the next file is written: the folder of the source file chosen last, or the
  // current directory before any choice.
  [[nodiscard]] QString outputFolder() const;
  // From the Conversion click (the load included) until the run's closing message has been
  // dismissed, or until a load that ends the run has been shown.
  [[nodiscard]] bool isConverting() const noexcept { return m_running; }

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
  // Members to fields.
  void UpdateData();
  void placeControls();
  void setRunButtonsEnabled(bool enabled);
  QString chooseSource(const char* defaultName);
  void setSource(QString& member, const QString& path);
  void importFiles(const QStringList& paths);
  struct LoadedTable;
  // Counts, fields and model after a load into m_List.
  void showLoad(const solvane::LoadResult& result);
  void finishLoad(std::uint64_t run, const std::shared_ptr<LoadedTable>& loaded);
  void startEncoding(const std::filesystem::path& folder);
  void endRun();
  void showProgress(std::uint64_t run, std::size_t records);
  void finishConversion(std::uint64_t run, const solvane::ConversionResult& result);
  void cancelConversion();

  solvane::gui::UserPrompts& m_prompts;

  QIcon m_hIcon;
  solvane::CameraTable m_List;
  QString m_strTotal;
  QPushButton m_btnOpen;
  QPushButton m_btnConvert;
  QPushButton m_btnOK;
  solvane::Header m_Header{};
  solvane::RandomBlock m_RandomBlock{};
  QString m_strConverted;
  QString m_strNormalPath;
  QString m_strAutodoriaPath;

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

  QString m_outputFolder;  // empty until a source file is chosen
  bool m_running = false;
  bool m_systemMenuReady = false;
  std::uint64_t m_run = 0;  // tells a cancelled run's late reports from the current run's
  std::atomic<bool> m_cancel{false};
  std::unique_ptr<QThread> m_worker;
};

}  // namespace solvane::gui

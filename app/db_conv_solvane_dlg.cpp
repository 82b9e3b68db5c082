#include "app/db_conv_solvane_dlg.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeySequence>
#include <QMetaObject>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <utility>
#include <vector>

#include "app/about_dlg.h"
#include "app/dialog_units.h"
#include "app/map/map_link.h"
#include "app/map/row_marks.h"
#include "app/qt_paths.h"
#include "app/user_prompts.h"
#include "dialog/dialog_template.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#endif

namespace solvane::gui {
namespace {

using solvane::dialog::kMainControls;
using solvane::dialog::kMainTemplate;

constexpr DialogRect rectOf(int id) { return solvane::dialog::mainControl(id)->rect; }
constexpr const char* captionOf(int id) { return solvane::dialog::mainControl(id)->caption; }
// In the free space between the row count and Load; the template has no Map button.
constexpr DialogRect kRectMap{185, 257, 65, 16};

QString utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
QString pathField(const std::string& text) { return toQString(solvane::dialog::textPath(text)); }

// Places a control in its cell, grown to at least the height its font needs (and to
// `minHeight`) and centred on `centreY`, so that a row of controls shares one middle line.
void placeCentred(QWidget& widget, QRect rect, int centreY, int minHeight = 0) {
  const int height = std::max({rect.height(), widget.sizeHint().height(), minHeight});
  widget.setGeometry(rect.x(), centreY - (height - 1) / 2, rect.width(), height);
}

void makeReadOnlyField(QLineEdit& field) {
  field.setReadOnly(true);
  field.setFocusPolicy(Qt::NoFocus);
}

}  // namespace

// The controller's View: members to widgets, and its notices as the dialog's signals.
class CDB_Conv_SolvaneDlg::QtView final : public solvane::dialog::View {
 public:
  explicit QtView(CDB_Conv_SolvaneDlg& dialog) : dialog_(dialog) {}
  void updateData() override { dialog_.UpdateData(); }
  void setButtons(const solvane::dialog::ButtonStates& states) override { dialog_.setButtons(states); }
  void tableReloaded(std::shared_ptr<const solvane::TableFindings> findings) override {
    dialog_.showTable(std::move(findings));
  }
  void loadFinished(bool converting) override { emit dialog_.loadFinished(converting); }
  void conversionStarted() override { emit dialog_.conversionStarted(); }
  void conversionFinished(bool converted) override { emit dialog_.conversionFinished(converted); }
  void importStarted() override { dialog_.showImportProgress(true); }
  void importProgress(const std::string& line, int permille) override {
    if (QProgressDialog* progress = dialog_.m_importProgress.get()) {
      progress->setLabelText(utf8(line));
      if (permille >= 0) {
        progress->setMaximum(1000);
        progress->setValue(permille);
      }
    }
  }
  void importEnded() override { dialog_.showImportProgress(false); }
  void importFinished(bool imported) override { emit dialog_.importFinished(imported); }

 private:
  CDB_Conv_SolvaneDlg& dialog_;
};

// The controller's Prompts: the dialog's UserPrompts, modal over the dialog.
class CDB_Conv_SolvaneDlg::QtPrompts final : public solvane::dialog::Prompts {
 public:
  QtPrompts(UserPrompts& prompts, QWidget& parent) : prompts_(prompts), parent_(parent) {}
  // Every failure but a list that does not load shows the error icon here, the output file's
  // too; OK is the only button.
  void message(const std::string& text, const std::string& detail, solvane::dialog::MessageKind kind) override {
    prompts_.message(
        &parent_, utf8(text), utf8(detail),
        kind == solvane::dialog::MessageKind::kPlain ? UserPrompts::Icon::kNone : UserPrompts::Icon::kError);
  }
  std::filesystem::path openSourceFile(const std::string& defaultName, const std::filesystem::path& folder) override {
    const QString chosen = prompts_.openSourceFile(&parent_, utf8(defaultName), toQString(folder));
    return chosen.isEmpty() ? std::filesystem::path() : toFsPath(chosen);
  }
  std::vector<std::filesystem::path> openImportFiles(const std::filesystem::path& folder) override {
    std::vector<std::filesystem::path> files;
    for (const QString& file : prompts_.openImportFiles(&parent_, toQString(folder))) files.push_back(toFsPath(file));
    return files;
  }
  bool confirm(const std::string& text, const std::string& detail) override {
    return prompts_.confirm(&parent_, utf8(text), utf8(detail));
  }
  void about() override { prompts_.about(&parent_); }

 private:
  UserPrompts& prompts_;
  QWidget& parent_;
};

CDB_Conv_SolvaneDlg::CDB_Conv_SolvaneDlg(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_prompts(prompts),
      m_view(std::make_unique<QtView>(*this)),
      m_promptsAdapter(std::make_unique<QtPrompts>(prompts, *this)),
      // Workers post here; a call still queued when the dialog goes is dropped with it.
      m_logic(
          *m_view, *m_promptsAdapter,
          [this](std::function<void()> fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); }),
      m_hIcon(applicationIcon()),
      m_btnOpen(QString::fromUtf8(captionOf(solvane::dialog::kIdOpenNormal)), this),
      m_btnConvert(QString::fromUtf8(captionOf(solvane::dialog::kIdConversion)), this),
      m_btnOK(QString::fromUtf8(captionOf(solvane::dialog::kIdOk)), this),
      m_lblNormal(QString::fromUtf8(kMainControls[solvane::dialog::kNormalLabelIndex].caption), this),
      m_lblAutodoria(QString::fromUtf8(kMainControls[solvane::dialog::kAutodoriaLabelIndex].caption), this),
      m_edtNormalPath(this),
      m_edtAutodoriaPath(this),
      m_edtConverted(this),
      m_edtTotal(this),
      m_btnOpenAutodoria(QString::fromUtf8(captionOf(solvane::dialog::kIdOpenAutodoria)), this),
      m_btnLoad(QString::fromUtf8(captionOf(solvane::dialog::kIdLoad)), this),
      m_model(m_logic.table()),
      m_ListView(this),
      m_aboutAction(QString::fromUtf8(kAboutMenuText), this),
      m_btnMap(QStringLiteral("Map"), this),
      m_mapAction(QStringLiteral("Map"), this),
      m_importAction(QStringLiteral("Import..."), this) {
  setWindowTitle(QString::fromUtf8(kTitle));
  setWindowIcon(m_hIcon);

  for (QLineEdit* field : {&m_edtNormalPath, &m_edtAutodoriaPath, &m_edtConverted, &m_edtTotal}) {
    makeReadOnlyField(*field);
  }
  m_lblNormal.setTextFormat(Qt::PlainText);
  m_lblAutodoria.setTextFormat(Qt::PlainText);

  // The camera table: grid lines, whole-row selection, fixed column widths, no editing and
  // no sorting by heading.
  m_ListView.setModel(&m_model);
  m_ListView.setShowGrid(true);
  m_ListView.setSelectionBehavior(QAbstractItemView::SelectRows);
  m_ListView.setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_ListView.setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_ListView.setWordWrap(false);
  m_ListView.setCornerButtonEnabled(false);
  m_ListView.verticalHeader()->hide();
  // Fixed row heights keep scrolling through a million rows cheap.
  m_ListView.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_ListView.verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  m_ListView.horizontalHeader()->setSectionsClickable(false);
  m_ListView.horizontalHeader()->setHighlightSections(false);
  m_ListView.horizontalHeader()->setStretchLastSection(false);
  for (int column = 0; column < solvane::kColumnCount; ++column) {
    m_ListView.setColumnWidth(column, solvane::kColumns[static_cast<std::size_t>(column)].widthPixels);
  }

  m_btnOK.setDefault(true);

  connect(&m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(&m_btnOpen, &QPushButton::clicked, this, &CDB_Conv_SolvaneDlg::OnOpenNormal);
  connect(&m_btnConvert, &QPushButton::clicked, this, &CDB_Conv_SolvaneDlg::OnConvert);
  connect(&m_btnOpenAutodoria, &QPushButton::clicked, this, &CDB_Conv_SolvaneDlg::OnOpenAutodoria);
  connect(&m_btnLoad, &QPushButton::clicked, this, [this] { OnLoad(); });

  // Without a window system menu to carry it, the About command lives in the dialog's
  // context menu and on F1.
  m_aboutAction.setShortcut(QKeySequence(Qt::Key_F1));
  m_aboutAction.setShortcutContext(Qt::WindowShortcut);
  connect(&m_aboutAction, &QAction::triggered, this, &CDB_Conv_SolvaneDlg::OnAbout);
  addAction(&m_aboutAction);
  setContextMenuPolicy(Qt::ActionsContextMenu);

  // Rows the conversion skips or writes wrong are marked in the table and on the map, with
  // the quality findings of the whole table; those are worked out again after each reload.
  m_rowMarks = std::make_unique<solvane::map::RowMarks>(m_logic.table());
  m_model.setRoleHook([this](const solvane::CameraTable&, std::size_t row, int column, int role) {
    return m_rowMarks->data(row, column, role);
  });
  connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_rowMarks->tableChanged(); });
  m_mapLink = std::make_unique<solvane::map::MapLink>(m_logic.table(), m_ListView, this);
  m_mapLink->setFindingsSource([this] { return m_rowMarks->findings(); });
  m_mapLink->setRowMarks(m_rowMarks.get());
  connect(&m_btnMap, &QPushButton::clicked, this, &CDB_Conv_SolvaneDlg::OnMap);
  connect(&m_mapAction, &QAction::triggered, this, &CDB_Conv_SolvaneDlg::OnMap);
  connect(this, &CDB_Conv_SolvaneDlg::tableReloaded, m_mapLink.get(), &solvane::map::MapLink::tableChanged);
  addAction(&m_mapAction);

  // Camera data in other formats, chosen with Import... or dropped onto the dialog.
  connect(&m_importAction, &QAction::triggered, this, &CDB_Conv_SolvaneDlg::OnImport);
  addAction(&m_importAction);
  setAcceptDrops(true);

  placeControls();

  // The order of the controls in the template: OK first, so it has the focus at start.
  setTabOrder(&m_btnOK, &m_ListView);
  setTabOrder(&m_ListView, &m_btnOpen);
  setTabOrder(&m_btnOpen, &m_btnConvert);
  setTabOrder(&m_btnConvert, &m_btnMap);
  setTabOrder(&m_btnMap, &m_btnOpenAutodoria);
  setTabOrder(&m_btnOpenAutodoria, &m_btnLoad);

  // Both counts "0", the buttons of the idle dialog (Load greyed for good).
  m_logic.start();
  m_btnOK.setFocus();
}

// A run still going is cancelled and its worker joined while every widget still stands.
CDB_Conv_SolvaneDlg::~CDB_Conv_SolvaneDlg() { m_logic.cancelConversion(); }

void CDB_Conv_SolvaneDlg::placeControls() {
  const DialogUnits du = DialogUnits::forFont(font());

  const QRect openNormal = du.toPixels(rectOf(solvane::dialog::kIdOpenNormal));
  const QRect openAutodoria = du.toPixels(rectOf(solvane::dialog::kIdOpenAutodoria));
  const QRect ok = du.toPixels(rectOf(solvane::dialog::kIdOk));
  placeCentred(m_btnOpen, openNormal, openNormal.center().y());
  placeCentred(m_btnOpenAutodoria, openAutodoria, openAutodoria.center().y());
  const int normalRow = m_btnOpen.geometry().center().y();
  const int autodoriaRow = m_btnOpenAutodoria.geometry().center().y();
  placeCentred(m_edtNormalPath, du.toPixels(rectOf(solvane::dialog::kIdNormalPath)), normalRow);
  // The template draws the Autodoria field a unit lower than the normal one and Load a unit
  // lower than its neighbours; here alike controls keep one height.
  placeCentred(m_edtAutodoriaPath, du.toPixels(rectOf(solvane::dialog::kIdAutodoriaPath)), autodoriaRow,
               m_edtNormalPath.height());
  placeCentred(m_lblNormal, du.toPixels(kMainControls[solvane::dialog::kNormalLabelIndex].rect), normalRow);
  placeCentred(m_lblAutodoria, du.toPixels(kMainControls[solvane::dialog::kAutodoriaLabelIndex].rect), autodoriaRow);

  m_ListView.setGeometry(du.toPixels(rectOf(solvane::dialog::kIdList)));

  placeCentred(m_btnOK, ok, ok.center().y());
  const int bottomRow = m_btnOK.geometry().center().y();
  placeCentred(m_btnConvert, du.toPixels(rectOf(solvane::dialog::kIdConversion)), bottomRow);
  placeCentred(m_btnLoad, du.toPixels(rectOf(solvane::dialog::kIdLoad)), bottomRow, m_btnConvert.height());
  placeCentred(m_btnMap, du.toPixels(kRectMap), bottomRow);
  placeCentred(m_edtConverted, du.toPixels(rectOf(solvane::dialog::kIdConverted)), bottomRow);
  placeCentred(m_edtTotal, du.toPixels(rectOf(solvane::dialog::kIdTotal)), bottomRow);

  // The bottom row may have grown below the template's edge with a tall font.
  const int bottom = std::max(du.toPixelsY(kMainTemplate.size.height), m_btnOK.geometry().bottom() + du.toPixelsY(10));
  setFixedSize(du.toPixelsX(kMainTemplate.size.width), bottom);
}

void CDB_Conv_SolvaneDlg::UpdateData() {
  m_edtTotal.setText(utf8(m_logic.total()));
  m_edtConverted.setText(utf8(m_logic.converted()));
  m_edtNormalPath.setText(pathField(m_logic.normalPath()));
  m_edtAutodoriaPath.setText(pathField(m_logic.autodoriaPath()));
}

void CDB_Conv_SolvaneDlg::setButtons(const solvane::dialog::ButtonStates& states) {
  m_btnOpen.setEnabled(states.openNormal);
  m_btnOpenAutodoria.setEnabled(states.openAutodoria);
  m_btnLoad.setEnabled(states.load);
  m_btnConvert.setEnabled(states.conversion);
  m_btnOK.setEnabled(states.ok);
  m_importAction.setEnabled(states.import);
}

void CDB_Conv_SolvaneDlg::showImportProgress(bool running) {
  if (!running) {
    m_importProgress.reset();
    return;
  }
  // Over the dialog only, so the window goes on painting; its Cancel leaves the lists alone.
  m_importProgress =
      std::make_unique<QProgressDialog>(QStringLiteral("Importing..."), QStringLiteral("Cancel"), 0, 0, this);
  m_importProgress->setWindowTitle(QString::fromUtf8(solvane::dialog::kAppName));
  m_importProgress->setWindowModality(Qt::WindowModal);
  m_importProgress->setAutoClose(false);
  m_importProgress->setAutoReset(false);
  m_importProgress->setMinimumDuration(0);
  connect(m_importProgress.get(), &QProgressDialog::canceled, this, [this] { m_logic.cancelImport(); });
  m_importProgress->show();
}

void CDB_Conv_SolvaneDlg::showTable(std::shared_ptr<const solvane::TableFindings> findings) {
  if (findings) m_rowMarks->adoptOnNextChange(std::move(findings));
  m_model.reload();
  emit tableReloaded();
}

QString CDB_Conv_SolvaneDlg::total() const { return utf8(m_logic.total()); }
QString CDB_Conv_SolvaneDlg::converted() const { return utf8(m_logic.converted()); }
QString CDB_Conv_SolvaneDlg::normalPath() const { return pathField(m_logic.normalPath()); }
QString CDB_Conv_SolvaneDlg::autodoriaPath() const { return pathField(m_logic.autodoriaPath()); }
QString CDB_Conv_SolvaneDlg::outputFolder() const { return toQString(m_logic.outputFolder()); }

void CDB_Conv_SolvaneDlg::OnOpenNormal() { m_logic.OnOpenNormal(); }
void CDB_Conv_SolvaneDlg::OnOpenAutodoria() { m_logic.OnOpenAutodoria(); }
bool CDB_Conv_SolvaneDlg::OnLoad() { return m_logic.OnLoad(); }
void CDB_Conv_SolvaneDlg::OnConvert() { m_logic.OnConvert(); }
void CDB_Conv_SolvaneDlg::OnAbout() { m_logic.OnAbout(); }
void CDB_Conv_SolvaneDlg::OnImport() { m_logic.OnImport(); }
void CDB_Conv_SolvaneDlg::OnMap() { m_mapLink->openMap(); }

void CDB_Conv_SolvaneDlg::takeFiles(const QStringList& paths) {
  std::vector<std::filesystem::path> files;
  for (const QString& path : paths) files.push_back(toFsPath(path));
  m_logic.takeFiles(files);
}

void CDB_Conv_SolvaneDlg::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  const bool files =
      !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
  if (files && m_logic.acceptsDrop()) event->acceptProposedAction();
}

void CDB_Conv_SolvaneDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile());
  }
  if (paths.isEmpty() || !m_logic.acceptsDrop()) return;
  event->acceptProposedAction();
  takeFiles(paths);
}

void CDB_Conv_SolvaneDlg::done(int result) {
  m_logic.cancelConversion();
  QDialog::done(result);
}

#ifdef Q_OS_WIN
void CDB_Conv_SolvaneDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_systemMenuReady) return;
  m_systemMenuReady = true;
  if (HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
    const std::wstring text = QString::fromUtf8(kAboutMenuText).toStdWString();
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kIdmAboutBox, text.c_str());
  }
}

bool CDB_Conv_SolvaneDlg::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  const MSG* msg = static_cast<const MSG*>(message);
  if (msg->message == WM_SYSCOMMAND && isAboutCommand(static_cast<unsigned>(msg->wParam))) {
    OnAbout();
    *result = 0;
    return true;
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

}  // namespace solvane::gui

#include "app/db_conv_solvane_dlg.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeySequence>
#include <algorithm>
#include <utility>

#include "app/about_dlg.h"
#include "app/dialog_units.h"
#include "app/map/map_link.h"
#include "check/table_findings.h"
#include "app/map/row_marks.h"
#include "app/progress_throttle.h"
#include "app/qt_paths.h"
#include "app/user_prompts.h"
#include "convert/random_bytes.h"
#include "import/import_run.h"

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#endif

namespace solvane::gui {
namespace {

// The dialog's size and the controls' places, in dialog units.
constexpr int kDialogWidth = 667;
constexpr int kDialogHeight = 283;
constexpr DialogRect kRectOK{521, 257, 124, 16};
constexpr DialogRect kRectList{11, 53, 645, 200};
constexpr DialogRect kRectOpenNormal{583, 11, 73, 16};
constexpr DialogRect kRectConvert{390, 257, 123, 16};
constexpr DialogRect kRectTotal{100, 258, 77, 14};
constexpr DialogRect kRectConverted{15, 258, 77, 14};
constexpr DialogRect kRectOpenAutodoria{583, 31, 73, 16};
constexpr DialogRect kRectNormalPath{79, 12, 498, 13};
constexpr DialogRect kRectAutodoriaPath{79, 32, 498, 13};
constexpr DialogRect kRectNormalLabel{14, 15, 58, 8};
constexpr DialogRect kRectAutodoriaLabel{14, 34, 59, 8};
constexpr DialogRect kRectLoad{258, 257, 123, 16};
// In the free space between the row count and Load.
constexpr DialogRect kRectMap{185, 257, 65, 16};

// Places a control in its cell, grown to at least the height its font needs and centred on
// `centreY`, so that a row of controls shares one middle line.
void placeCentred(QWidget& widget, QRect rect, int centreY) {
  const int height = std::max(rect.height(), widget.sizeHint().height());
  widget.setGeometry(rect.x(), centreY - (height - 1) / 2, rect.width(), height);
}

void makeReadOnlyField(QLineEdit& field) {
  field.setReadOnly(true);
  field.setFocusPolicy(Qt::NoFocus);
}

}  // namespace

CDB_Conv_SolvaneDlg::CDB_Conv_SolvaneDlg(UserPrompts& prompts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_prompts(prompts),
      m_hIcon(applicationIcon()),
      m_btnOpen(QStringLiteral("Open"), this),
      m_btnConvert(QStringLiteral("Conversion"), this),
      m_btnOK(QStringLiteral("OK"), this),
      m_lblNormal(QStringLiteral("DB (Normal) :"), this),
      m_lblAutodoria(QStringLiteral("DB (Autodoria) :"), this),
      m_edtNormalPath(this),
      m_edtAutodoriaPath(this),
      m_edtConverted(this),
      m_edtTotal(this),
      m_btnOpenAutodoria(QStringLiteral("Open"), this),
      m_btnLoad(QStringLiteral("Load"), this),
      m_model(m_List),
      m_ListView(this),
      m_aboutAction(QString::fromLatin1(kAboutMenuText), this),
      m_btnMap(QStringLiteral("Map"), this),
      m_mapAction(QStringLiteral("Map"), this),
      m_importAction(QStringLiteral("Import..."), this) {
  setWindowTitle(QString::fromLatin1(kTitle));
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

  // Load runs only inside Conversion; its button stays greyed.
  m_btnLoad.setEnabled(false);
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
  m_rowMarks = std::make_unique<solvane::map::RowMarks>(m_List);
  m_model.setRoleHook([this](const solvane::CameraTable&, std::size_t row, int column, int role) {
    return m_rowMarks->data(row, column, role);
  });
  connect(&m_model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_rowMarks->tableChanged(); });
  m_mapLink = std::make_unique<solvane::map::MapLink>(m_List, m_ListView, this);
  m_mapLink->setFindingsSource([this] { return m_rowMarks->findings(); });
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

  m_strTotal = QStringLiteral("0");
  m_strConverted = QStringLiteral("0");
  UpdateData();
  m_btnOK.setFocus();
}

CDB_Conv_SolvaneDlg::~CDB_Conv_SolvaneDlg() { cancelConversion(); }

void CDB_Conv_SolvaneDlg::placeControls() {
  const DialogUnits du = DialogUnits::forFont(font());

  const QRect openNormal = du.toPixels(kRectOpenNormal);
  const QRect openAutodoria = du.toPixels(kRectOpenAutodoria);
  const QRect ok = du.toPixels(kRectOK);
  placeCentred(m_btnOpen, openNormal, openNormal.center().y());
  placeCentred(m_btnOpenAutodoria, openAutodoria, openAutodoria.center().y());
  const int normalRow = m_btnOpen.geometry().center().y();
  const int autodoriaRow = m_btnOpenAutodoria.geometry().center().y();
  placeCentred(m_edtNormalPath, du.toPixels(kRectNormalPath), normalRow);
  placeCentred(m_edtAutodoriaPath, du.toPixels(kRectAutodoriaPath), autodoriaRow);
  placeCentred(m_lblNormal, du.toPixels(kRectNormalLabel), normalRow);
  placeCentred(m_lblAutodoria, du.toPixels(kRectAutodoriaLabel), autodoriaRow);

  m_ListView.setGeometry(du.toPixels(kRectList));

  placeCentred(m_btnOK, ok, ok.center().y());
  const int bottomRow = m_btnOK.geometry().center().y();
  placeCentred(m_btnConvert, du.toPixels(kRectConvert), bottomRow);
  placeCentred(m_btnLoad, du.toPixels(kRectLoad), bottomRow);
  placeCentred(m_btnMap, du.toPixels(kRectMap), bottomRow);
  placeCentred(m_edtConverted, du.toPixels(kRectConverted), bottomRow);
  placeCentred(m_edtTotal, du.toPixels(kRectTotal), bottomRow);

  // The bottom row may have grown below the template's edge with a tall font.
  const int bottom = std::max(du.toPixelsY(kDialogHeight), m_btnOK.geometry().bottom() + du.toPixelsY(10));
  setFixedSize(du.toPixelsX(kDialogWidth), bottom);
}

void CDB_Conv_SolvaneDlg::UpdateData() {
  m_edtTotal.setText(m_strTotal);
  m_edtConverted.setText(m_strConverted);
  m_edtNormalPath.setText(m_strNormalPath);
  m_edtAutodoriaPath.setText(m_strAutodoriaPath);
}

QString CDB_Conv_SolvaneDlg::outputFolder() const {
  return m_outputFolder.isEmpty() ? QDir::toNativeSeparators(QDir::currentPath()) : m_outputFolder;
}

QString CDB_Conv_SolvaneDlg::chooseSource(const char* defaultName) {
  const QString chosen = m_prompts.openSourceFile(this, QString::fromLatin1(defaultName), m_outputFolder);
  if (chosen.isEmpty()) return {};
  const QFileInfo file(chosen);
  // The next output goes beside the file chosen last, whichever list it is.
  m_outputFolder = QDir::toNativeSeparators(file.absolutePath());
  return QDir::toNativeSeparators(file.absoluteFilePath());
}

void CDB_Conv_SolvaneDlg::setSource(QString& member, const QString& path) {
  const QFileInfo file(path);
  m_outputFolder = QDir::toNativeSeparators(file.absolutePath());
  member = QDir::toNativeSeparators(file.absoluteFilePath());
}

void CDB_Conv_SolvaneDlg::OnImport() {
  const QStringList files = m_prompts.openImportFiles(this, m_outputFolder);
  if (!files.isEmpty()) importFiles(files);
}

namespace {

enum class ListKind { kNone, kNormal, kAutodoria };

// Which list a text file is by its header. The normal list's header has "X" as its second
// field and may follow comment lines; the Autodoria list's has "IDX" first and no comments
// before it. "IDX,X,..." passes both: the file name decides ("autodoria" in it), else normal.
ListKind listKind(const QString& path) {
  if (!path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) return ListKind::kNone;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return ListKind::kNone;
  bool comments = false;
  while (!file.atEnd()) {
    QByteArray line = file.readLine(64 * 1024);
    line.replace("\r", "");
    if (line.endsWith('\n')) line.chop(1);
    if (line.startsWith("//")) {
      comments = true;
      continue;
    }
    if (line.isEmpty()) continue;
    const QList<QByteArray> fields = line.split(',');
    const bool normal = fields.size() >= 2 && fields[1] == "X";
    const bool autodoria = !comments && fields[0] == "IDX";
    if (normal && autodoria) {
      return QFileInfo(path).fileName().contains(QStringLiteral("autodoria"), Qt::CaseInsensitive)
                 ? ListKind::kAutodoria
                 : ListKind::kNormal;
    }
    return normal ? ListKind::kNormal : autodoria ? ListKind::kAutodoria : ListKind::kNone;
  }
  return ListKind::kNone;
}

}  // namespace

void CDB_Conv_SolvaneDlg::takeFiles(const QStringList& paths) {
  QStringList others;
  for (const QString& path : paths) {
    switch (listKind(path)) {
      case ListKind::kNormal: setSource(m_strNormalPath, path); break;
      case ListKind::kAutodoria: setSource(m_strAutodoriaPath, path); break;
      case ListKind::kNone: others.push_back(path); break;
    }
  }
  UpdateData();
  if (!others.isEmpty()) importFiles(others);
}

void CDB_Conv_SolvaneDlg::importFiles(const QStringList& paths) {
  solvane::importer::ImportRequest request;
  for (const QString& p : paths) request.files.emplace_back(toFsPath(p));
  const QDir folder = QFileInfo(paths.front()).absoluteDir();
  request.outputDir = toFsPath(folder.absolutePath());
  const QString normal = folder.absoluteFilePath(QString::fromLatin1(kDefaultNormalName));
  const QString autodoria = folder.absoluteFilePath(QString::fromLatin1(kDefaultAutodoriaName));
  if (QFileInfo::exists(normal) || QFileInfo::exists(autodoria)) {
    if (!m_prompts.confirm(
            this, QStringLiteral("Replace the lists in this folder?"),
            QDir::toNativeSeparators(folder.absolutePath()) +
                QStringLiteral(" already holds Solvane.txt or Autodoria.txt; the import writes both."))) {
      return;
    }
  }
  const solvane::importer::ImportResult result = solvane::importer::runImport(request);
  if (!result.ok) {
    m_prompts.message(this, QStringLiteral("Import failed; nothing was written."), fromLocal8Bit(result.error),
                      UserPrompts::Icon::kError);
    return;
  }
  setSource(m_strNormalPath, normal);
  // Without sections this import has no Autodoria list: an older one in the folder is not it.
  if (result.autodoriaList) {
    setSource(m_strAutodoriaPath, autodoria);
  } else {
    m_strAutodoriaPath.clear();
  }
  UpdateData();
  QString detail = QStringLiteral("%1 point(s), %2 section(s); %3 item(s) skipped")
                       .arg(result.cameras.points())
                       .arg(result.cameras.sections())
                       .arg(result.cameras.skipped().size());
  if (result.cameras.outside()) detail += QStringLiteral(", %1 outside the region").arg(result.cameras.outside());
  detail += QStringLiteral(".");
  for (std::size_t i = 0; i < result.cameras.skipped().size() && i < 5; ++i) {
    detail += QStringLiteral("\n") + fromLocal8Bit(result.cameras.skipped()[i]);
  }
  m_prompts.message(
      this,
      QStringLiteral("Lists written to %1, ready for Conversion.").arg(QDir::toNativeSeparators(folder.absolutePath())),
      detail, UserPrompts::Icon::kNone);
}

void CDB_Conv_SolvaneDlg::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  const bool files =
      !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
  if (files && !m_running) event->acceptProposedAction();
}

void CDB_Conv_SolvaneDlg::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile());
  }
  if (paths.isEmpty() || m_running) return;
  event->acceptProposedAction();
  takeFiles(paths);
}

void CDB_Conv_SolvaneDlg::OnOpenNormal() {
  m_strNormalPath = chooseSource(kDefaultNormalName);
  UpdateData();
}

void CDB_Conv_SolvaneDlg::OnOpenAutodoria() {
  // Allowed during a run: the worker took everything it needs when it started.
  m_strAutodoriaPath = chooseSource(kDefaultAutodoriaName);
  UpdateData();
}

// What a Conversion's load worker hands to the UI thread.
struct CDB_Conv_SolvaneDlg::LoadedTable {
  solvane::CameraTable table;
  solvane::LoadResult result;
  std::filesystem::path folder;                            // the output folder at the click
  std::shared_ptr<const solvane::TableFindings> findings;  // of the sorted table
};

void CDB_Conv_SolvaneDlg::showLoad(const solvane::LoadResult& result) {
  m_model.reload();
  if (result.total) {
    m_strTotal = QString::number(*result.total);
    m_strConverted = QStringLiteral("0");
  }
  UpdateData();
  emit tableReloaded();
}

bool CDB_Conv_SolvaneDlg::OnLoad() {
  // A run owns the table from its click to its end.
  if (m_running) return false;
  const solvane::LoadResult result =
      solvane::loadSources(m_List, solvane::SourcePaths{toFsPath(m_strNormalPath), toFsPath(m_strAutodoriaPath)});
  showLoad(result);
  if (result.error) {
    m_prompts.message(this, fromLocal8Bit(result.error->message), fromLocal8Bit(result.error->detail),
                      UserPrompts::Icon::kNone);
    return false;
  }
  return true;
}

void CDB_Conv_SolvaneDlg::setRunButtonsEnabled(bool enabled) {
  m_btnOpen.setEnabled(enabled);
  m_btnConvert.setEnabled(enabled);
  m_btnOK.setEnabled(enabled);
}

void CDB_Conv_SolvaneDlg::OnConvert() {
  if (m_running) return;
  m_running = true;
  const std::uint64_t run = ++m_run;
  m_cancel.store(false);
  setRunButtonsEnabled(false);
  // Loading and sorting a million rows takes longer than a UI pause may, so both run on a
  // worker into a table of their own; the paths and the output folder are taken now, so the
  // Autodoria Open button may stay enabled.
  m_worker.reset(QThread::create([this, run,
                                  paths = solvane::SourcePaths{toFsPath(m_strNormalPath), toFsPath(m_strAutodoriaPath)},
                                  folder = toFsPath(outputFolder())] {
    auto loaded = std::make_shared<LoadedTable>();
    loaded->folder = folder;
    loaded->result = solvane::loadSources(loaded->table, paths);
    // A failed load is shown as it stands, unsorted; a cancelled one is not shown at all.
    if (loaded->result.ok() && !m_cancel.load()) loaded->table.sortByLatitude();
    // The quality findings of the sorted table, here rather than on the UI thread, where a
    // million rows would hold the dialog still for a second.
    if (loaded->result.ok() && !m_cancel.load()) {
      loaded->findings = std::make_shared<const solvane::TableFindings>(solvane::TableFindings::build(loaded->table));
    }
    QMetaObject::invokeMethod(
        this, [this, run, loaded] { finishLoad(run, loaded); }, Qt::QueuedConnection);
  }));
  m_worker->start();
}

void CDB_Conv_SolvaneDlg::finishLoad(std::uint64_t run, const std::shared_ptr<LoadedTable>& loaded) {
  // A run cancelled by closing the dialog has nothing more to say.
  if (!m_running || run != m_run || !m_worker) return;
  m_worker->wait();
  m_worker.reset();

  m_List = std::move(loaded->table);
  m_rowMarks->adoptOnNextChange(std::move(loaded->findings));
  showLoad(loaded->result);
  // A list that failed to load is not converted: half a list would make a database that
  // silently lacks cameras.
  if (const auto& error = loaded->result.error) {
    m_prompts.message(this, fromLocal8Bit(error->message), fromLocal8Bit(error->detail), UserPrompts::Icon::kNone);
    endRun();
    emit loadFinished(false);
    return;
  }
  if (m_List.rowCount() == 0) {
    endRun();
    emit loadFinished(false);
    return;
  }
  startEncoding(loaded->folder);
  emit loadFinished(true);
}

void CDB_Conv_SolvaneDlg::endRun() {
  setRunButtonsEnabled(true);
  m_running = false;
}

void CDB_Conv_SolvaneDlg::startEncoding(const std::filesystem::path& folder) {
  m_Header = solvane::makeHeader(solvane::utcToday());
  const solvane::RandomBytes random(solvane::freshSeed());
  m_RandomBlock = random.block();

  const std::uint64_t run = m_run;
  // The worker gets copies of everything but the table, which nothing changes while
  // m_running holds; the paths it never sees.
  m_worker.reset(QThread::create([this, run, folder, header = m_Header, block = m_RandomBlock, random] {
    ProgressThrottle throttle;
    const solvane::ProgressFn progress = [this, run, &throttle](std::size_t records) {
      if (!throttle.due(ProgressThrottle::Clock::now())) return;
      QMetaObject::invokeMethod(
          this, [this, run, records] { showProgress(run, records); }, Qt::QueuedConnection);
    };
    solvane::ConversionResult result =
        solvane::convertTable(m_List, folder, header, block, random, progress, &m_cancel);
    QMetaObject::invokeMethod(
        this, [this, run, result = std::move(result)] { finishConversion(run, result); }, Qt::QueuedConnection);
  }));
  m_worker->start();
  emit conversionStarted();
}

void CDB_Conv_SolvaneDlg::showProgress(std::uint64_t run, std::size_t records) {
  if (!m_running || run != m_run) return;
  m_strConverted = QString::number(records);
  UpdateData();
}

void CDB_Conv_SolvaneDlg::finishConversion(std::uint64_t run, const solvane::ConversionResult& result) {
  // A run cancelled by closing the dialog has nothing more to say.
  if (!m_running || run != m_run || !m_worker) return;
  m_worker->wait();
  m_worker.reset();

  using solvane::ConversionStatus;
  const bool converted = result.status == ConversionStatus::kConverted;
  if (converted || result.status == ConversionStatus::kWriteFailed) {
    m_strConverted = QString::number(result.recordsWritten);
    UpdateData();
  }
  if (converted) {
    m_prompts.message(this, fromLocal8Bit(result.message), {}, UserPrompts::Icon::kNone);
  } else if (result.status != ConversionStatus::kCancelled) {
    m_prompts.message(this, fromLocal8Bit(result.message), fromLocal8Bit(result.detail), UserPrompts::Icon::kError);
  }
  endRun();
  emit conversionFinished(converted);
}

void CDB_Conv_SolvaneDlg::cancelConversion() {
  if (!m_worker) return;
  // The worker stops at its next check and writes nothing; a write already under way
  // finishes, and the file appears whole or not at all.
  m_cancel.store(true);
  m_worker->wait();
  m_worker.reset();
  m_running = false;
  setRunButtonsEnabled(true);
}

void CDB_Conv_SolvaneDlg::done(int result) {
  cancelConversion();
  QDialog::done(result);
}

void CDB_Conv_SolvaneDlg::OnAbout() { m_prompts.about(this); }

void CDB_Conv_SolvaneDlg::OnMap() { m_mapLink->openMap(); }

#ifdef Q_OS_WIN
void CDB_Conv_SolvaneDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (m_systemMenuReady) return;
  m_systemMenuReady = true;
  if (HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
    const std::wstring text = QString::fromLatin1(kAboutMenuText).toStdWString();
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

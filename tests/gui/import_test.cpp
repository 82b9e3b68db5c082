// Import... and dropped files, driven on the real dialog: the picker answered by FakePrompts,
// drops sent as the window system sends them.
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "app/db_conv_solvane_dlg.h"
#include "fake_prompts.h"

using solvane::gui::CDB_Conv_SolvaneDlg;

namespace {

const QByteArray kGeoJson =
    R"({"type": "FeatureCollection", "features": [
{"type": "Feature", "geometry": {"type": "Point", "coordinates": [127.1, 37.5]}, "properties": {"speed": 50, "direction": 90}},
{"type": "Feature", "geometry": {"type": "LineString", "coordinates": [[127.03, 36.24], [127.04, 36.18]]}, "properties": {"speed": 80}}
]})";
const QByteArray kPoiCsv = "126.9,35.1,\"Camera, north @60\"\r\n";
const QByteArray kNormalList = "// a list\r\nIDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,127.10,37.50,1,50,0,0\r\n";
const QByteArray kAutodoriaList = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n1,127.03,36.24,3,80,1,167\n2,127.04,36.18,3,80,1,167\n";

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Sends a drag over the dialog and, when it is accepted, the drop; true when both were taken.
bool drop(QWidget& target, const QStringList& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& p : paths) urls.push_back(QUrl::fromLocalFile(p));
  data.setUrls(urls);
  const QPoint at = target.rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&target, &dropped);
  return dropped.isAccepted();
}

}  // namespace

class ImportTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp_;
  QString dir_;

  QString file(const QString& name, const QByteArray& bytes) {
    const QString path = QDir(dir_).filePath(name);
    if (!writeBytes(path, bytes)) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

 private slots:
  void init() {
    dir_ = QDir(tmp_.path()).filePath(QString::fromLatin1(QTest::currentTestFunction()));
    QVERIFY(QDir().mkpath(dir_));
  }

  // Import... from the context menu: two files merged, the lists beside the first, both path
  // fields filled, and Conversion takes them.
  void importFromTheContextMenuThenConvert() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QVERIFY(dialog.actions().contains(&dialog.importAction()));
    QCOMPARE(dialog.importAction().text(), QStringLiteral("Import..."));

    const QString geo = file(QStringLiteral("cameras.geojson"), kGeoJson);
    const QString csv = file(QStringLiteral("more.csv"), kPoiCsv);
    prompts.importAnswers = {{geo, csv}};
    QSignalSpy imported(&dialog, &CDB_Conv_SolvaneDlg::importFinished);
    dialog.importAction().trigger();
    QVERIFY(imported.wait(10000));  // the import runs on a worker

    const QString normal = QDir::toNativeSeparators(QDir(dir_).filePath(QStringLiteral("Solvane.txt")));
    const QString autodoria = QDir::toNativeSeparators(QDir(dir_).filePath(QStringLiteral("Autodoria.txt")));
    QCOMPARE(dialog.normalPathField().text(), normal);
    QCOMPARE(dialog.autodoriaPathField().text(), autodoria);
    QCOMPARE(readAll(normal),
             QByteArray("IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,127.1,37.5,1,50,1,90\r\n2,126.9,35.1,1,60,0,\r\n"));
    QCOMPARE(readAll(autodoria),
             QByteArray("IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,127.03,36.24,3,80,0,\r\n2,127.04,36.18,3,80,0,\r\n"));
    QVERIFY(prompts.questions.empty());  // nothing to replace
    QCOMPARE(prompts.messages.size(), std::size_t{1});
    QVERIFY(prompts.messages[0].text.startsWith(QStringLiteral("Lists written to")));
    QVERIFY(prompts.messages[0].detail.startsWith(QStringLiteral("2 point(s), 1 section(s); 0 item(s) skipped")));

    QSignalSpy done(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(done.wait(10000));
    QCOMPARE(done.takeFirst().at(0).toBool(), true);
    QCOMPARE(dialog.total(), QStringLiteral("3"));
    if (const char* png = std::getenv("SOLVANE_IMPORT_PNG")) dialog.grab().save(QString::fromLocal8Bit(png));

    // Cancelling the picker changes nothing.
    dialog.importAction().trigger();
    QCOMPARE(prompts.importPickerFolders.back(), QDir::toNativeSeparators(dir_));
    QCOMPARE(dialog.normalPathField().text(), normal);
  }

  // Lists already in the folder: asked first; No leaves them and the fields alone, Yes
  // replaces them; an import without sections clears the Autodoria field.
  void existingListsAreReplacedOnlyAfterYes() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    const QString old = file(QStringLiteral("Solvane.txt"), "old\n");
    file(QStringLiteral("Autodoria.txt"), "old too\n");
    const QString csv = file(QStringLiteral("cams@70.csv"), kPoiCsv);
    prompts.confirmAnswer = false;
    prompts.importAnswers = {{csv}};
    dialog.importAction().trigger();
    QCOMPARE(prompts.questions.size(), std::size_t{1});
    QCOMPARE(prompts.questions[0].text, QStringLiteral("Replace the lists in this folder?"));
    QCOMPARE(readAll(old), QByteArray("old\n"));
    QVERIFY(dialog.normalPathField().text().isEmpty());
    QVERIFY(prompts.messages.empty());

    prompts.confirmAnswer = true;
    prompts.importAnswers = {{csv}};
    QSignalSpy imported(&dialog, &CDB_Conv_SolvaneDlg::importFinished);
    dialog.importAction().trigger();
    QVERIFY(imported.wait(10000));
    QCOMPARE(readAll(old), QByteArray("IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,126.9,35.1,1,60,0,\r\n"));
    QCOMPARE(readAll(QDir(dir_).filePath(QStringLiteral("Autodoria.txt"))), QByteArray("old too\n"));
    QCOMPARE(dialog.normalPathField().text(), QDir::toNativeSeparators(old));
    QVERIFY(dialog.autodoriaPathField().text().isEmpty());
  }

  // A file that cannot be parsed: the error with file and place, nothing written, fields kept.
  void aBadFileWritesNothing() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    const QString bad = file(QStringLiteral("cut.gpx"), "<?xml version=\"1.0\"?>\n<gpx><wpt lat=\"1\" lon=\"2\">");
    prompts.importAnswers = {{bad}};
    QSignalSpy imported(&dialog, &CDB_Conv_SolvaneDlg::importFinished);
    dialog.importAction().trigger();
    QVERIFY(imported.wait(10000));
    QCOMPARE(prompts.messages.size(), std::size_t{1});
    QCOMPARE(prompts.messages[0].text, QStringLiteral("Import failed; nothing was written."));
    QCOMPARE(prompts.messages[0].icon, FakePrompts::Icon::kError);
    QVERIFY(prompts.messages[0].detail.contains(QStringLiteral("cut.gpx\": line 2")));
    QCOMPARE(QDir(dir_).entryList(QDir::Files), QStringList{QStringLiteral("cut.gpx")});
    QVERIFY(dialog.normalPathField().text().isEmpty());
  }

  // The import runs on a worker behind a progress line whose Cancel leaves the lists alone.
  void cancellingAnImportLeavesTheLists() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QString normal = file(QStringLiteral("Solvane.txt"), kNormalList);
    QByteArray many;
    for (int i = 0; i < 300000; ++i) many += "126.9" + QByteArray::number(i) + ",35.1,\"Camera @60\"\r\n";
    const QString csv = file(QStringLiteral("many.csv"), many);  // about 9 MB: longer than a click
    prompts.importAnswers = {{csv}};
    QSignalSpy imported(&dialog, &CDB_Conv_SolvaneDlg::importFinished);
    dialog.importAction().trigger();
    QVERIFY(prompts.questions.size() == 1);  // Solvane.txt is there
    QProgressDialog* progress = dialog.importProgress();
    QVERIFY(progress);
    QVERIFY(progress->isVisible());
    QCOMPARE(progress->windowModality(), Qt::WindowModal);
    QVERIFY(!dialog.convertButton().isEnabled());
    QVERIFY(!dialog.importAction().isEnabled());
    if (const char* png = std::getenv("SOLVANE_IMPORT_PROGRESS_PNG")) {
      QTest::qWait(300);  // a progress report or two
      progress->grab().save(QString::fromLocal8Bit(png));
    }
    QPushButton* cancel = progress->findChild<QPushButton*>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(imported.wait(30000));
    QCOMPARE(imported.at(0).at(0).toBool(), false);
    QVERIFY(!dialog.importProgress());
    QVERIFY(prompts.messages.empty());
    QCOMPARE(readAll(normal), kNormalList);
    QCOMPARE(QDir(dir_).entryList(QDir::Files),
             (QStringList{QStringLiteral("many.csv"), QStringLiteral("Solvane.txt")}));
    QVERIFY(dialog.normalPathField().text().isEmpty());
    QVERIFY(dialog.convertButton().isEnabled());
    QVERIFY(dialog.importAction().isEnabled());
  }

  // Dropped lists go straight into the field whose header they have; other files are imported.
  void droppedFilesFillTheFieldsOrAreImported() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(QDir().mkpath(QDir(dir_).filePath(QStringLiteral("lists"))));
    const QString normal = file(QStringLiteral("lists/fixed.txt"), kNormalList);
    const QString autodoria = file(QStringLiteral("lists/my_autodoria.txt"), kAutodoriaList);
    QVERIFY(drop(dialog, {autodoria, normal}));
    QCOMPARE(dialog.normalPathField().text(), QDir::toNativeSeparators(normal));
    QCOMPARE(dialog.autodoriaPathField().text(), QDir::toNativeSeparators(autodoria));
    QVERIFY(prompts.messages.empty());

    const QString geo = file(QStringLiteral("dropped.geojson"), kGeoJson);
    QSignalSpy imported(&dialog, &CDB_Conv_SolvaneDlg::importFinished);
    QVERIFY(drop(dialog, {geo}));
    QVERIFY(imported.wait(10000));
    QCOMPARE(dialog.normalPathField().text(),
             QDir::toNativeSeparators(QDir(dir_).filePath(QStringLiteral("Solvane.txt"))));
    QCOMPARE(dialog.autodoriaPathField().text(),
             QDir::toNativeSeparators(QDir(dir_).filePath(QStringLiteral("Autodoria.txt"))));

    // Something that is not a file is refused at the door.
    QMimeData text;
    text.setText(QStringLiteral("hello"));
    QDragEnterEvent enter(dialog.rect().center(), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &enter);
    QVERIFY(!enter.isAccepted());
  }
};

QTEST_MAIN(ImportTest)
#include "import_test.moc"

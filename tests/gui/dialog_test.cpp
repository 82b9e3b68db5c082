// The main dialog driven as a user drives it: clicks and keys, with the file picker and the
// message boxes answered by FakePrompts.
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <set>

#include "app/db_conv_solvane_dlg.h"
#include "app/dialog_units.h"
#include "dialog/dialog_template.h"
#include "convert/database_file.h"
#include "fake_prompts.h"

using solvane::gui::CDB_Conv_SolvaneDlg;

using Icon = solvane::gui::UserPrompts::Icon;

namespace {

const QByteArray kNormalList =
    "// fixed cameras\r\n"
    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n"
    "1,127.10,37.50,1,50,0,0\r\n"
    "2,126.90,35.10,2,60,1,90\r\n"
    "3,200.00,36.00,1,60,0,0\r\n";  // longitude out of range: loaded, not written
const QByteArray kAutodoriaList =
    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
    "1,127.03,36.24,3,80,1,167\n"
    "2,127.04,36.18,3,80,1,167\n"
    "3,128.24,36.01,3,100,1,115\n"
    "4,128.28,35.99,3,100,1,115\n";
constexpr int kRowsLoaded = 5;
constexpr int kRecordsWritten = 4;

QByteArray bigNormalList(int rows) {
  QByteArray bytes = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n";
  for (int i = 1; i <= rows; ++i) {
    const qint64 scatter = 100000 + (qint64{i} * 7919) % 900000;  // 64-bit: lists past 271,181 rows
    bytes += QByteArray::number(i) + ",127." + QByteArray::number(100000 + i) + ",3" + QByteArray::number(4 + i % 5) +
             "." + QByteArray::number(scatter) + ",1,60,0,0\n";
  }
  return bytes;
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

QString outputName(const CDB_Conv_SolvaneDlg& dialog) {
  return QString::fromStdString(solvane::databaseFileName(dialog.header()));
}

// The parts of a finished database that tie it to the run that made it: the dialog's header
// date and random block, the record count, the data length, the checksum and the fill.
void verifyDatabase(const QByteArray& file, const CDB_Conv_SolvaneDlg& dialog, int records) {
  const auto byte = [&](int i) { return static_cast<std::uint8_t>(file[i]); };
  const int dataLength = 16 + 24 * (records + 1);
  QCOMPARE(file.size() % 64, 0);
  QCOMPARE(file.size(), (16 + dataLength + 63) / 64 * 64);
  QCOMPARE(file.left(4), QByteArray("rudb"));
  for (int i = 0; i < 11; ++i) QCOMPARE(byte(i), dialog.header()[static_cast<std::size_t>(i)]);
  for (int i = 0; i < 16; ++i) QCOMPARE(byte(16 + i), dialog.randomBlock()[static_cast<std::size_t>(i)]);
  QCOMPARE(byte(11) | byte(12) << 8 | byte(13) << 16 | byte(14) << 24, dataLength);
  std::uint8_t checksum = 0x4A;
  for (int i = 16; i < 32 + 24 * records; ++i) checksum ^= byte(i);
  QCOMPARE(byte(15), checksum);
  for (int i = 32 + 24 * records; i < file.size(); ++i) QCOMPARE(byte(i), std::uint8_t{0xFF});
}

}  // namespace

class DialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp_;
  QString normalDir_, autodoriaDir_;
  QString normalPath_, autodoriaPath_;

  QString makeFile(const QString& folder, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(name);
    if (!writeBytes(path, bytes)) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

 private slots:
  // Before a list is chosen the dialog writes into the current folder: make that one of the
  // test's own, so that nothing lands in (or is read from) wherever ctest was started.
  void initTestCase() {
    QVERIFY(tmp_.isValid());
    const QString cwd = tmp_.filePath(QStringLiteral("cwd"));
    QVERIFY(QDir().mkpath(cwd));
    QVERIFY(QDir::setCurrent(cwd));
  }

  void init() {
    QVERIFY(tmp_.isValid());
    const QString base = tmp_.filePath(QString::fromLatin1(QTest::currentTestFunction()));
    normalDir_ = base + QStringLiteral("/normal");
    autodoriaDir_ = base + QStringLiteral("/autodoria");
    normalPath_ = makeFile(normalDir_, QStringLiteral("Solvane.txt"), kNormalList);
    autodoriaPath_ = makeFile(autodoriaDir_, QStringLiteral("Autodoria.txt"), kAutodoriaList);
  }

  void initialState() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Corlan DB Solvane [2016.03.02]"));
    QVERIFY(!dialog.windowIcon().isNull());
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    QCOMPARE(dialog.total(), QStringLiteral("0"));
    QCOMPARE(dialog.converted(), QStringLiteral("0"));
    QCOMPARE(dialog.totalField().text(), QStringLiteral("0"));
    QCOMPARE(dialog.convertedField().text(), QStringLiteral("0"));
    QVERIFY(dialog.normalPathField().text().isEmpty());
    QVERIFY(dialog.autodoriaPathField().text().isEmpty());
    for (QLineEdit* field :
         {&dialog.totalField(), &dialog.convertedField(), &dialog.normalPathField(), &dialog.autodoriaPathField()}) {
      QVERIFY(field->isReadOnly());
      QCOMPARE(field->focusPolicy(), Qt::NoFocus);
    }

    QCOMPARE(dialog.normalLabel().text(), QStringLiteral("DB (Normal) :"));
    QCOMPARE(dialog.autodoriaLabel().text(), QStringLiteral("DB (Autodoria) :"));
    QCOMPARE(dialog.openNormalButton().text(), QStringLiteral("Open"));
    QCOMPARE(dialog.openAutodoriaButton().text(), QStringLiteral("Open"));
    QCOMPARE(dialog.loadButton().text(), QStringLiteral("Load"));
    QCOMPARE(dialog.convertButton().text(), QStringLiteral("Conversion"));
    QCOMPARE(dialog.okButton().text(), QStringLiteral("OK"));
    QVERIFY(!dialog.loadButton().isEnabled());
    for (QPushButton* b :
         {&dialog.openNormalButton(), &dialog.openAutodoriaButton(), &dialog.convertButton(), &dialog.okButton()}) {
      QVERIFY(b->isEnabled());
    }
    QVERIFY(dialog.okButton().isDefault());
    QCOMPARE(dialog.focusWidget(), &dialog.okButton());

    QTableView& view = dialog.tableView();
    QCOMPARE(view.model()->columnCount(), 14);
    QCOMPARE(view.model()->rowCount(), 0);
    const int widths[] = {40, 80, 80, 50, 50, 50, 50, 40, 80, 80, 50, 50, 50, 50};
    for (int c = 0; c < 14; ++c) QCOMPARE(view.columnWidth(c), widths[c]);
    QVERIFY(view.showGrid());
    QCOMPARE(view.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view.editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(!view.horizontalHeader()->sectionsClickable());
  }

  // Every control stands in its template column: left edge and width as the template's
  // rectangle in this font's dialog units (heights grow to what the font needs).
  void controlsStandInTheTemplatesColumns() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    const solvane::gui::DialogUnits du = solvane::gui::DialogUnits::forFont(dialog.font());
    namespace d = solvane::dialog;
    const std::pair<std::size_t, QWidget*> controls[] = {{0, &dialog.okButton()},
                                                         {1, &dialog.tableView()},
                                                         {2, &dialog.openNormalButton()},
                                                         {3, &dialog.convertButton()},
                                                         {4, &dialog.totalField()},
                                                         {5, &dialog.convertedField()},
                                                         {6, &dialog.openAutodoriaButton()},
                                                         {7, &dialog.normalPathField()},
                                                         {8, &dialog.autodoriaPathField()},
                                                         {9, &dialog.normalLabel()},
                                                         {10, &dialog.autodoriaLabel()},
                                                         {11, &dialog.loadButton()}};
    static_assert(std::size(controls) == d::kMainControls.size());
    for (const auto& [index, widget] : controls) {
      const d::ControlTemplate& control = d::kMainControls[index];
      const QRect expected = du.toPixels(control.rect);
      QVERIFY2(widget->geometry().left() == expected.left() && widget->width() == expected.width(),
               qPrintable(QString::number(control.id)));
      if (control.caption[0] != '\0') {
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        const auto* label = qobject_cast<QLabel*>(widget);
        QCOMPARE(button ? button->text() : label->text(), QString::fromUtf8(control.caption));
      }
      if (control.id == d::kIdLoad) QVERIFY(!widget->isEnabled());
    }
    QCOMPARE(dialog.width(), du.toPixelsX(d::kMainTemplate.size.width));
  }

  void arrangementAndTabOrder() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    std::vector<QWidget*> controls{
        &dialog.normalLabel(),    &dialog.normalPathField(),    &dialog.openNormalButton(),
        &dialog.autodoriaLabel(), &dialog.autodoriaPathField(), &dialog.openAutodoriaButton(),
        &dialog.tableView(),      &dialog.convertedField(),     &dialog.totalField(),
        &dialog.loadButton(),     &dialog.convertButton(),      &dialog.okButton(),
        &dialog.mapButton()};
    for (std::size_t i = 0; i < controls.size(); ++i) {
      const QRect g = controls[i]->geometry();
      QVERIFY2(dialog.rect().contains(g), qPrintable(controls[i]->objectName() + QString::number(i)));
      for (std::size_t j = i + 1; j < controls.size(); ++j) {
        QVERIFY2(!g.intersects(controls[j]->geometry()), qPrintable(QStringLiteral("%1 overlaps %2").arg(i).arg(j)));
      }
    }
    // Nothing clipped: every caption fits its control.
    for (QWidget* w : {static_cast<QWidget*>(&dialog.normalLabel()), static_cast<QWidget*>(&dialog.autodoriaLabel()),
                       static_cast<QWidget*>(&dialog.openNormalButton()), static_cast<QWidget*>(&dialog.loadButton()),
                       static_cast<QWidget*>(&dialog.convertButton()), static_cast<QWidget*>(&dialog.okButton()),
                       static_cast<QWidget*>(&dialog.mapButton())}) {
      QVERIFY(w->sizeHint().width() <= w->width());
      QVERIFY(w->sizeHint().height() <= w->height());
    }
    // Path rows on top, each with its label, field and button on one middle line; the table
    // in the middle; counts and buttons at the bottom, left to right.
    const auto mid = [](QWidget& w) { return w.geometry().center().y(); };
    QCOMPARE(mid(dialog.normalLabel()), mid(dialog.openNormalButton()));
    QCOMPARE(mid(dialog.normalPathField()), mid(dialog.openNormalButton()));
    QCOMPARE(mid(dialog.autodoriaPathField()), mid(dialog.openAutodoriaButton()));
    QVERIFY(dialog.openNormalButton().geometry().bottom() < dialog.openAutodoriaButton().geometry().top());
    QVERIFY(dialog.openAutodoriaButton().geometry().bottom() < dialog.tableView().geometry().top());
    QVERIFY(dialog.normalPathField().geometry().right() < dialog.openNormalButton().geometry().left());
    QVERIFY(dialog.tableView().geometry().bottom() < dialog.okButton().geometry().top());
    QWidget* bottomRow[] = {&dialog.convertedField(), &dialog.totalField(),    &dialog.mapButton(),
                            &dialog.loadButton(),     &dialog.convertButton(), &dialog.okButton()};
    for (int i = 0; i + 1 < 6; ++i) {
      QVERIFY(bottomRow[i]->geometry().right() < bottomRow[i + 1]->geometry().left());
      QCOMPARE(mid(*bottomRow[i]), mid(dialog.okButton()));
    }
    // Even margins left and right of the table; the buttons end inside its right edge.
    const QRect table = dialog.tableView().geometry();
    QVERIFY(qAbs(table.left() - (dialog.width() - 1 - table.right())) <= 1);
    QVERIFY(dialog.okButton().geometry().right() <= table.right());

    // Tab order of the template: OK, table, Open (normal), Conversion, Open (Autodoria); the
    // Map button comes straight after Conversion.
    QWidget* chain[] = {&dialog.okButton(),      &dialog.tableView(), &dialog.openNormalButton(),
                        &dialog.convertButton(), &dialog.mapButton(), &dialog.openAutodoriaButton()};
    for (int i = 0; i + 1 < 6; ++i) {
      QWidget* next = chain[i]->nextInFocusChain();
      while (next != chain[i + 1] && next->focusPolicy() == Qt::NoFocus) next = next->nextInFocusChain();
      QCOMPARE(next, chain[i + 1]);
    }
  }

  void keysEndTheDialog_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");  // -1: the dialog stays open
    QTest::newRow("Enter on OK") << "ok" << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Enter in the table") << "table" << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::newRow("Escape") << "ok" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Enter on Conversion presses it") << "convert" << int(Qt::Key_Return) << -1;
  }
  void keysEndTheDialog() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, result);
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QWidget* target = focus == "table"     ? static_cast<QWidget*>(&dialog.tableView())
                      : focus == "convert" ? static_cast<QWidget*>(&dialog.convertButton())
                                           : static_cast<QWidget*>(&dialog.okButton());
    target->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key(key));
    if (result < 0) {
      QVERIFY(dialog.isVisible());
      QCOMPARE(finished.count(), 0);
    } else {
      QVERIFY(!dialog.isVisible());
      QCOMPARE(finished.count(), 1);
      QCOMPARE(dialog.result(), result);
    }
  }

  void openChoosesAndCancelClears() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    // Before any choice the output goes to the current directory.
    QCOMPARE(dialog.outputFolder(), QDir::toNativeSeparators(QDir::currentPath()));

    prompts.answers = {normalPath_, autodoriaPath_, QString(), QString()};
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    QCOMPARE(dialog.normalPath(), QDir::toNativeSeparators(normalPath_));
    QCOMPARE(dialog.normalPathField().text(), dialog.normalPath());
    QCOMPARE(dialog.outputFolder(), QDir::toNativeSeparators(normalDir_));

    QTest::mouseClick(&dialog.openAutodoriaButton(), Qt::LeftButton);
    QCOMPARE(dialog.autodoriaPathField().text(), QDir::toNativeSeparators(autodoriaPath_));
    QCOMPARE(dialog.outputFolder(), QDir::toNativeSeparators(autodoriaDir_));  // the file chosen last

    // Cancel clears the path; the output folder stays where the last choice put it.
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    QVERIFY(dialog.normalPath().isEmpty());
    QVERIFY(dialog.normalPathField().text().isEmpty());
    QCOMPARE(dialog.autodoriaPathField().text(), QDir::toNativeSeparators(autodoriaPath_));
    QCOMPARE(dialog.outputFolder(), QDir::toNativeSeparators(autodoriaDir_));

    QCOMPARE(prompts.pickerCalls.size(), std::size_t{3});
    QCOMPARE(prompts.pickerCalls[0].defaultName, QStringLiteral("Solvane.txt"));
    QVERIFY(prompts.pickerCalls[0].folder.isEmpty());
    QCOMPARE(prompts.pickerCalls[1].defaultName, QStringLiteral("Autodoria.txt"));
    QCOMPARE(prompts.pickerCalls[1].folder, QDir::toNativeSeparators(normalDir_));
    QCOMPARE(prompts.pickerCalls[2].defaultName, QStringLiteral("Solvane.txt"));

    // A cleared list is not loaded: only the sections remain.
    prompts.answers = {};
    QSignalSpy done(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(done.wait(10000));
    QCOMPARE(dialog.total(), QStringLiteral("2"));
  }

  void fullConversionByClicks() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    prompts.answers = {normalPath_, autodoriaPath_};
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    QTest::mouseClick(&dialog.openAutodoriaButton(), Qt::LeftButton);

    QSignalSpy started(&dialog, &CDB_Conv_SolvaneDlg::conversionStarted);
    QSignalSpy finished(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
    QSignalSpy loaded(&dialog, &CDB_Conv_SolvaneDlg::loadFinished);
    // The closing message comes while the buttons are still disabled.
    bool disabledAtMessage = false;
    prompts.onMessage = [&] {
      disabledAtMessage = !dialog.openNormalButton().isEnabled() && !dialog.convertButton().isEnabled() &&
                          !dialog.okButton().isEnabled() && dialog.isConverting();
    };
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);

    // Loading on the worker: the buttons are greyed from the click on.
    QVERIFY(dialog.isConverting());
    QVERIFY(!dialog.openNormalButton().isEnabled());
    QVERIFY(!dialog.convertButton().isEnabled());
    QVERIFY(!dialog.okButton().isEnabled());
    QVERIFY(dialog.openAutodoriaButton().isEnabled());
    // Choosing another Autodoria list meanwhile changes the field, not the running conversion:
    // neither what it loads nor where it writes.
    const QString other = makeFile(tmp_.filePath(QStringLiteral("other")), QStringLiteral("Broken.txt"), "nothing\n");
    prompts.answers = {other};
    QTest::mouseClick(&dialog.openAutodoriaButton(), Qt::LeftButton);
    QCOMPARE(dialog.autodoriaPathField().text(), QDir::toNativeSeparators(other));

    // Running: the run's reports wait for the event loop, so this is the state of a run.
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(0).at(0).toBool(), true);
    QCOMPARE(started.count(), 1);
    QVERIFY(dialog.isConverting());
    QVERIFY(!dialog.openNormalButton().isEnabled());
    QVERIFY(!dialog.convertButton().isEnabled());
    QVERIFY(!dialog.okButton().isEnabled());
    QVERIFY(!dialog.loadButton().isEnabled());
    QVERIFY(dialog.openAutodoriaButton().isEnabled());
    QCOMPARE(dialog.total(), QString::number(kRowsLoaded));
    QCOMPARE(dialog.totalField().text(), QString::number(kRowsLoaded));
    // The table is already sorted by latitude.
    QAbstractItemModel* model = dialog.tableView().model();
    QCOMPARE(model->rowCount(), kRowsLoaded);
    const char* latitudes[] = {"35.10", "36.00", "36.01", "36.24", "37.50"};
    for (int r = 0; r < kRowsLoaded; ++r) QCOMPARE(model->index(r, 2).data().toString(), QLatin1String(latitudes[r]));
    // Enter and a click on the greyed buttons do nothing.
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QCOMPARE(started.count(), 1);

    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(disabledAtMessage);
    QVERIFY(!dialog.isConverting());
    for (QPushButton* b : {&dialog.openNormalButton(), &dialog.convertButton(), &dialog.okButton()}) {
      QVERIFY(b->isEnabled());
    }
    QVERIFY(!dialog.loadButton().isEnabled());

    // The file lands beside the list chosen last before the run.
    const QString target = QDir(autodoriaDir_).filePath(outputName(dialog));
    QCOMPARE(prompts.messages.size(), std::size_t{1});
    QCOMPARE(prompts.messages[0].text, QStringLiteral("DB Conversion end. [%1]").arg(QDir::toNativeSeparators(target)));
    QVERIFY(prompts.messages[0].detail.isEmpty());
    QCOMPARE(prompts.messages[0].icon, Icon::kNone);
    QCOMPARE(filesIn(autodoriaDir_), (QStringList{QStringLiteral("Autodoria.txt"), outputName(dialog)}));
    verifyDatabase(readAll(target), dialog, kRecordsWritten);
    QCOMPARE(dialog.converted(), QString::number(kRecordsWritten));
    QCOMPARE(dialog.convertedField().text(), QString::number(kRecordsWritten));
    QCOMPARE(dialog.total(), QString::number(kRowsLoaded));

    // A second run rebuilds the file from a fresh random block; the broken Autodoria list
    // now stops it before anything is written.
    const QByteArray firstFile = readAll(target);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(1).at(0).toBool(), false);
    QCOMPARE(started.count(), 1);
    QCOMPARE(prompts.messages.size(), std::size_t{2});
    QCOMPARE(prompts.messages[1].text, QStringLiteral("Error : Wrong DB file !!!"));
    QCOMPARE(readAll(target), firstFile);
  }

  void loadErrorsStopTheConversion_data() {
    QTest::addColumn<QByteArray>("normalBytes");  // empty with `missing`: no such file
    QTest::addColumn<bool>("missing");
    QTest::addColumn<QByteArray>("autodoriaBytes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("detailNames");  // the file the detail line points at
    QTest::addColumn<QString>("total");        // the count shown after the failure
    QTest::newRow("normal list missing") << QByteArray() << true << kAutodoriaList << "Error[5009]"
                                         << "Solvane.txt"
                                         << "0";
    QTest::newRow("normal header wrong") << QByteArray("IDX,Y,X\n1,37.0,127.0\n") << false << kAutodoriaList
                                         << "Error : Wrong DB file !!!"
                                         << "Solvane.txt"
                                         << "0";
    QTest::newRow("empty normal list") << QByteArray() << false << kAutodoriaList << "Error : Wrong DB file !!!"
                                       << "Solvane.txt"
                                       << "0";
    QTest::newRow("Autodoria header wrong")
        << kNormalList << false << QByteArray("NO,X,Y\n1,127.0,37.0\n2,127.1,37.1\n") << "Error : Wrong DB file !!!"
        << "Autodoria.txt"
        << "3";
  }
  void loadErrorsStopTheConversion() {
    QFETCH(QByteArray, normalBytes);
    QFETCH(bool, missing);
    QFETCH(QByteArray, autodoriaBytes);
    QFETCH(QString, message);
    QFETCH(QString, detailNames);
    QFETCH(QString, total);
    writeBytes(normalPath_, normalBytes);
    writeBytes(autodoriaPath_, autodoriaBytes);

    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    prompts.answers = {autodoriaPath_, normalPath_};  // the normal list last: output beside it
    QTest::mouseClick(&dialog.openAutodoriaButton(), Qt::LeftButton);
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    if (missing) QVERIFY(QFile::remove(normalPath_));  // gone between choice and conversion
    QSignalSpy started(&dialog, &CDB_Conv_SolvaneDlg::conversionStarted);
    QSignalSpy loaded(&dialog, &CDB_Conv_SolvaneDlg::loadFinished);
    // The message comes while the buttons are still greyed; they come back after it.
    bool disabledAtMessage = false;
    prompts.onMessage = [&] {
      disabledAtMessage = !dialog.openNormalButton().isEnabled() && !dialog.convertButton().isEnabled() &&
                          !dialog.okButton().isEnabled() && dialog.openAutodoriaButton().isEnabled();
    };
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(0).at(0).toBool(), false);
    QVERIFY(disabledAtMessage);

    QCOMPARE(prompts.messages.size(), std::size_t{1});
    QCOMPARE(prompts.messages[0].text, message);
    QCOMPARE(prompts.messages[0].icon, Icon::kNone);
    QVERIFY2(prompts.messages[0].detail.contains(detailNames), qPrintable(prompts.messages[0].detail));
    QCOMPARE(started.count(), 0);
    QVERIFY(!dialog.isConverting());
    QVERIFY(dialog.openNormalButton().isEnabled());
    QVERIFY(dialog.convertButton().isEnabled());
    QVERIFY(dialog.okButton().isEnabled());
    QCOMPARE(dialog.totalField().text(), total);
    // Nothing written anywhere.
    for (const QString& folder : {normalDir_, autodoriaDir_, QDir::currentPath()}) {
      for (const QString& name : filesIn(folder)) QVERIFY2(!name.startsWith(QLatin1String("DB_")), qPrintable(name));
    }
  }

  void emptyTableEndsQuietly_data() {
    QTest::addColumn<bool>("chooseList");
    QTest::newRow("no list chosen") << false;
    QTest::newRow("header-only list") << true;
  }
  void emptyTableEndsQuietly() {
    QFETCH(bool, chooseList);
    writeBytes(normalPath_, "// nothing yet\nIDX,X,Y,TYPE,SPD,DTYPE,DIR\n");
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    if (chooseList) {
      prompts.answers = {normalPath_};
      QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    }
    QSignalSpy started(&dialog, &CDB_Conv_SolvaneDlg::conversionStarted);
    QSignalSpy reloaded(&dialog, &CDB_Conv_SolvaneDlg::tableReloaded);
    QSignalSpy loaded(&dialog, &CDB_Conv_SolvaneDlg::loadFinished);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(!dialog.convertButton().isEnabled());
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.at(0).at(0).toBool(), false);
    QCOMPARE(reloaded.count(), 1);  // it did load
    QCOMPARE(started.count(), 0);
    QVERIFY(prompts.messages.empty());
    QCOMPARE(dialog.tableView().model()->rowCount(), 0);
    QCOMPARE(dialog.totalField().text(), QStringLiteral("0"));
    QVERIFY(!dialog.isConverting());
    for (QPushButton* b : {&dialog.openNormalButton(), &dialog.convertButton(), &dialog.okButton()}) {
      QVERIFY(b->isEnabled());
    }
    QCOMPARE(filesIn(normalDir_), QStringList{QStringLiteral("Solvane.txt")});
  }

  void writeFailureIsReportedWithItsPath() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    prompts.answers = {normalPath_};
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    // A folder in the way of today's file (and tomorrow's, should the run cross midnight).
    const QString today = QString::fromStdString(solvane::databaseFileName(solvane::makeHeader(solvane::utcToday())));
    QVERIFY(QDir(normalDir_).mkdir(today));
    QSignalSpy finished(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toBool(), false);

    QCOMPARE(prompts.messages.size(), std::size_t{1});
    const QString target = QDir::toNativeSeparators(QDir(normalDir_).filePath(today));
    QCOMPARE(prompts.messages[0].text, QStringLiteral("File open Error : %1").arg(target));
    QVERIFY(!prompts.messages[0].detail.isEmpty());
    QCOMPARE(prompts.messages[0].icon, Icon::kError);
    for (QPushButton* b : {&dialog.openNormalButton(), &dialog.convertButton(), &dialog.okButton()}) {
      QVERIFY(b->isEnabled());
    }
    QVERIFY(!dialog.isConverting());
    QCOMPARE(filesIn(normalDir_), (QStringList{today, QStringLiteral("Solvane.txt")}));
  }

  void closingDuringARunCancelsCleanly_data() {
    QTest::addColumn<int>("key");            // 0: the close box
    QTest::addColumn<bool>("whileWriting");  // false: while the lists still load
    QTest::newRow("Escape while loading") << int(Qt::Key_Escape) << false;
    QTest::newRow("close box while loading") << 0 << false;
    QTest::newRow("Escape while writing") << int(Qt::Key_Escape) << true;
    QTest::newRow("close box while writing") << 0 << true;
  }
  void closingDuringARunCancelsCleanly() {
    QFETCH(int, key);
    QFETCH(bool, whileWriting);
    constexpr int kRows = 200000;
    writeBytes(normalPath_, bigNormalList(kRows));
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    prompts.answers = {normalPath_};
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    QSignalSpy closed(&dialog, &QDialog::finished);
    QSignalSpy finished(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
    QSignalSpy loaded(&dialog, &CDB_Conv_SolvaneDlg::loadFinished);
    QSignalSpy reloaded(&dialog, &CDB_Conv_SolvaneDlg::tableReloaded);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(dialog.isConverting());
    if (whileWriting) {
      QVERIFY(loaded.wait(30000));
    } else {
      QCOMPARE(loaded.count(), 0);
    }
    if (key != 0) {
      QTest::keyClick(&dialog, Qt::Key(key));
    } else {
      dialog.close();
    }
    // The dialog is gone, the worker with it, and no late report shows up afterwards.
    QCOMPARE(closed.count(), 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.isConverting());
    QTest::qWait(200);
    QVERIFY(prompts.messages.empty());
    QCOMPARE(finished.count(), 0);
    // A load cut short is never shown.
    QCOMPARE(loaded.count(), whileWriting ? 1 : 0);
    QCOMPARE(reloaded.count(), whileWriting ? 1 : 0);
    if (!whileWriting) QCOMPARE(dialog.tableView().model()->rowCount(), 0);
    // Whole or nothing: no temporary file, and a database only if the run got that far.
    QStringList files = filesIn(normalDir_);
    files.removeOne(QStringLiteral("Solvane.txt"));
    for (const QString& name : files) QVERIFY2(!name.endsWith(QLatin1String(".tmp")), qPrintable(name));
    if (!files.isEmpty()) {
      QCOMPARE(files, QStringList{outputName(dialog)});
      verifyDatabase(readAll(QDir(normalDir_).filePath(files.front())), dialog, kRows);
    }
  }

  void bigListCountsExactlyAndPaintsOnlyVisibleRows() {
    constexpr int kRows = 100000;
    writeBytes(normalPath_, bigNormalList(kRows));
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    prompts.answers = {normalPath_};
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    QSignalSpy finished(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    QVERIFY(finished.wait(30000));
    QCOMPARE(dialog.converted(), QString::number(kRows));
    QCOMPARE(dialog.convertedField().text(), QString::number(kRows));
    QCOMPARE(dialog.totalField().text(), QString::number(kRows));

    std::set<int> rowsAsked;
    dialog.tableModel().setRoleHook([&](const solvane::CameraTable&, std::size_t row, int, int) {
      rowsAsked.insert(static_cast<int>(row));
      return QVariant();
    });
    dialog.tableView().scrollTo(dialog.tableView().model()->index(kRows / 2, 0));
    (void)dialog.grab();
    QVERIFY(!rowsAsked.empty());
    QVERIFY2(rowsAsked.size() < 100, qPrintable(QString::number(rowsAsked.size())));
    QVERIFY(*rowsAsked.begin() > kRows / 4);
  }

  // The lists load and sort on a worker: the UI thread goes on handling events between the
  // click and the moment the loaded table is shown. (Before, the click itself held the UI
  // thread for the whole load, and nothing queued could run until it returned.) How long the
  // UI thread ever pauses is measured by bench/dialog_bench, not asserted here.
  void uiThreadStaysResponsiveWhileALargeListLoads() {
    constexpr int kRows = 300000;
    writeBytes(normalPath_, bigNormalList(kRows));
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    prompts.answers = {normalPath_};
    QTest::mouseClick(&dialog.openNormalButton(), Qt::LeftButton);
    QSignalSpy loaded(&dialog, &CDB_Conv_SolvaneDlg::loadFinished);
    QSignalSpy finished(&dialog, &CDB_Conv_SolvaneDlg::conversionFinished);

    // Events posted while the click is handled; each one that runs before the load has been
    // shown proves the UI thread was free during the load.
    int handledDuringLoad = 0;
    QTimer ticker;
    ticker.setInterval(0);
    connect(&ticker, &QTimer::timeout, [&] {
      if (loaded.isEmpty()) ++handledDuringLoad;
    });
    ticker.start();
    QTest::mouseClick(&dialog.convertButton(), Qt::LeftButton);
    // The click returns at once: nothing has been loaded into the window yet.
    QCOMPARE(dialog.tableView().model()->rowCount(), 0);
    QVERIFY(loaded.wait(60000));
    ticker.stop();

    QCOMPARE(loaded.at(0).at(0).toBool(), true);
    QCOMPARE(dialog.total(), QString::number(kRows));
    QCOMPARE(dialog.tableView().model()->rowCount(), kRows);
    QVERIFY2(handledDuringLoad > 0, "the UI thread handled no event while the lists loaded");
    QVERIFY(finished.wait(60000));
    QCOMPARE(dialog.converted(), QString::number(kRows));
  }

  void aboutFromF1AndContextMenu() {
    FakePrompts prompts;
    CDB_Conv_SolvaneDlg dialog(prompts);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_F1);
    QCOMPARE(prompts.aboutShown, 1);
    QCOMPARE(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    QVERIFY(dialog.actions().contains(&dialog.aboutAction()));
    QCOMPARE(dialog.aboutAction().text(), QStringLiteral("&About DB_Conv_Solvane..."));
    dialog.aboutAction().trigger();
    QCOMPARE(prompts.aboutShown, 2);
    QVERIFY(dialog.isVisible());
  }
};

QTEST_MAIN(DialogTest)
#include "dialog_test.moc"

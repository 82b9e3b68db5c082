// The pieces around the dialog: the About box, how the real prompts set up their windows,
// the dialog-unit grid and the progress throttle.
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

#include "app/about_dlg.h"
#include "app/dialog_units.h"
#include "dialog/progress_throttle.h"
#include "app/user_prompts.h"

using solvane::gui::applicationIcon;
using solvane::gui::CAboutDlg;

using solvane::gui::UserPrompts;

class PromptsTest : public QObject {
  Q_OBJECT
 private slots:
  void aboutBoxShowsItsTextsAndIcon() {
    CAboutDlg about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About DB_Conv_Solvane"));
    QCOMPARE(about.versionLabel().text(), QStringLiteral("DB_Conv_Solvane Version 1.0"));
    QCOMPARE(about.versionLabel().textFormat(), Qt::PlainText);
    QCOMPARE(about.licenceLabel().text(),
             QStringLiteral("MIT License. Copyright (c) 2026 The DB_Conv_Solvane authors."));
    QVERIFY(about.isModal());
    QVERIFY(!about.iconLabel().pixmap().isNull());
    QVERIFY(about.okButton().isDefault());
    QCOMPARE(about.okButton().text(), QStringLiteral("OK"));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    // Nothing clipped: the text and the button fit their places, inside the box.
    QVERIFY(about.versionLabel().sizeHint().width() <= about.versionLabel().width());
    QVERIFY(about.okButton().sizeHint().width() <= about.okButton().width());
    for (const QWidget* w :
         {static_cast<const QWidget*>(&about.iconLabel()), static_cast<const QWidget*>(&about.versionLabel()),
          static_cast<const QWidget*>(&about.okButton())}) {
      QVERIFY2(about.rect().contains(w->geometry()), qPrintable(w->metaObject()->className()));
    }
    QVERIFY(about.iconLabel().geometry().right() < about.versionLabel().geometry().left());
    QVERIFY(about.versionLabel().geometry().right() < about.okButton().geometry().left());
  }

  void aboutBoxEndsWithOkAndEscape() {
    CAboutDlg about;
    about.show();
    QTest::mouseClick(&about.okButton(), Qt::LeftButton);
    QCOMPARE(about.result(), int(QDialog::Accepted));
    QVERIFY(!about.isVisible());
    about.show();
    QTest::keyClick(&about, Qt::Key_Escape);
    QCOMPARE(about.result(), int(QDialog::Rejected));
    QVERIFY(!about.isVisible());
  }

  void applicationIconHasAllThreeSizes() {
    const QIcon icon = applicationIcon();
    QVERIFY(!icon.isNull());
    for (const int size : {16, 32, 48}) {
      QVERIFY(icon.availableSizes().contains(QSize(size, size)));
      const QImage image = icon.pixmap(size, size).toImage();
      // Not an empty picture: some pixel is opaque.
      bool opaque = false;
      for (int y = 0; y < image.height() && !opaque; ++y)
        for (int x = 0; x < image.width() && !opaque; ++x) opaque = qAlpha(image.pixel(x, y)) == 255;
      QVERIFY2(opaque, qPrintable(QString::number(size)));
    }
  }

  void aboutCommandIgnoresTheLowFourBits_data() {
    QTest::addColumn<unsigned>("command");
    QTest::addColumn<bool>("about");
    QTest::newRow("0x0010") << 0x0010u << true;
    QTest::newRow("0x001F") << 0x001Fu << true;
    QTest::newRow("0x0017") << 0x0017u << true;
    QTest::newRow("0x0020") << 0x0020u << false;
    QTest::newRow("0x0000") << 0x0000u << false;
    QTest::newRow("SC_CLOSE 0xF060") << 0xF060u << false;
    QTest::newRow("0xF010") << 0xF010u << false;
  }
  void aboutCommandIgnoresTheLowFourBits() {
    QFETCH(unsigned, command);
    QFETCH(bool, about);
    QCOMPARE(solvane::gui::isAboutCommand(command), about);
  }

  void messageBoxIsCaptionedWithTheApplicationName() {
    QMessageBox plain;
    solvane::gui::configureMessageBox(plain, QStringLiteral("Error[5009]"), QStringLiteral("/x/a.txt: gone"),
                                      UserPrompts::Icon::kNone);
    QCOMPARE(plain.windowTitle(), QStringLiteral("DB_Conv_Solvane"));
    QCOMPARE(plain.text(), QStringLiteral("Error[5009]"));
    QCOMPARE(plain.informativeText(), QStringLiteral("/x/a.txt: gone"));
    QCOMPARE(plain.icon(), QMessageBox::NoIcon);
    QCOMPARE(plain.standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));

    QMessageBox error;
    // A path may hold characters that rich text would eat.
    const QString text = QStringLiteral("File open Error : /tmp/<b>/DB_240101.dbh");
    solvane::gui::configureMessageBox(error, text, {}, UserPrompts::Icon::kError);
    QCOMPARE(error.icon(), QMessageBox::Critical);
    QCOMPARE(error.textFormat(), Qt::PlainText);
    QCOMPARE(error.text(), text);
  }

  void sourcePickerOpensOneExistingTextFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFileDialog picker;
    picker.setOption(QFileDialog::DontUseNativeDialog);
    solvane::gui::configureSourcePicker(picker, QStringLiteral("Solvane.txt"), dir.path());
    QCOMPARE(picker.acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(picker.fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(picker.nameFilters(), QStringList{QStringLiteral("Text File(*.txt)")});
    QCOMPARE(picker.directory().absolutePath(), QDir(dir.path()).absolutePath());
    QCOMPARE(picker.selectedFiles(), QStringList{QDir(dir.path()).filePath(QStringLiteral("Solvane.txt"))});
    // The shown filter text carries its own pattern.
    QVERIFY(QString::fromLatin1(solvane::gui::kSourceFilter).contains(QLatin1String(solvane::gui::kSourcePattern)));
  }

  void dialogUnitsRoundLikeDialogTemplates_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("exact") << 8 << 6 << 4 << 12;
    QTest::newRow("half rounds up") << 1 << 6 << 4 << 2;   // 1.5
    QTest::newRow("below half") << 1 << 5 << 4 << 1;       // 1.25
    QTest::newRow("negative half") << -1 << 6 << 4 << -2;  // -1.5
    QTest::newRow("large") << 667 << 13 << 8 << 1084;      // 1083.875
  }
  void dialogUnitsRoundLikeDialogTemplates() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(solvane::gui::mulDivRound(a, b, c), expected);
  }

  void dialogRectsTileWithoutGaps() {
    // Adjacent template cells stay adjacent in pixels whatever the rounding.
    const solvane::gui::DialogUnits du(7, 15);
    const QRect left = du.toPixels({11, 53, 3, 7});
    const QRect right = du.toPixels({14, 60, 5, 9});
    QCOMPARE(left.x() + left.width(), right.x());
    QCOMPARE(left.y() + left.height(), right.y());
  }

  void throttleLetsOneUpdatePerInterval() {
    using namespace std::chrono_literals;
    using Clock = solvane::dialog::ProgressThrottle::Clock;
    solvane::dialog::ProgressThrottle throttle(50ms);
    const Clock::time_point t0{};
    struct Step {
      std::chrono::milliseconds at;
      bool due;
    };
    const Step steps[] = {{0ms, true},   {1ms, false},  {49ms, false},  {50ms, true},
                          {99ms, false}, {130ms, true}, {131ms, false}, {500ms, true}};
    for (const Step& step : steps) {
      QVERIFY2(throttle.due(t0 + step.at) == step.due, qPrintable(QString::number(step.at.count())));
    }
  }
};

QTEST_MAIN(PromptsTest)
#include "prompts_test.moc"

// The map preview inside the dialog: marked rows in the camera table, the Map button and
// context-menu entry, and the links between a click on the map and the table's selection.
#include <QAction>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include "app/db_conv_solvane_dlg.h"
#include "app/map/map_link.h"
#include "app/map/row_marks.h"
#include "base/c_number.h"
#include "tests/gui/fake_prompts.h"

using solvane::gui::CDB_Conv_SolvaneDlg;

using solvane::map::MapLink;
using solvane::map::MapView;

namespace {

// Three good points, one longitude out of range, one latitude that is no number.
const QByteArray kNormalList =
    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
    "1,127.10,37.50,1,60,1,90\n"
    "2,200.00,36.50,1,60,0,0\n"
    "3,126.90,35.20,3,80,0,0\n"
    "4,127.30,n/a,1,60,0,0\n"
    "5,128.00,36.00,5,100,1,180\n";
const QByteArray kAutodoriaList =
    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
    "6,127.50,36.20,3,80,1,170\n"
    "7,127.52,36.10,3,80,1,170\n";
constexpr int kRows = 6;
constexpr int kWritten = 5;

int rowOfIdx(QAbstractItemModel& model, const QString& idx) {
  for (int r = 0; r < model.rowCount(); ++r)
    if (model.index(r, 0).data().toString() == idx) return r;
  return -1;
}

}  // namespace

class MapDialogTest : public QObject {
  Q_OBJECT

  QTemporaryDir tmp_;
  FakePrompts prompts_;
  std::unique_ptr<CDB_Conv_SolvaneDlg> dialog_;

  // Opens both lists and runs a conversion to its end, as a user would by clicks.
  void convert(const QByteArray& normalList = kNormalList, const QByteArray& autodoriaList = kAutodoriaList) {
    const QString normal = tmp_.filePath(QStringLiteral("Solvane.txt"));
    const QString autodoria = tmp_.filePath(QStringLiteral("Autodoria.txt"));
    QVERIFY(writeBytes(normal, normalList));
    QVERIFY(writeBytes(autodoria, autodoriaList));
    prompts_.answers = {normal, autodoria};
    QTest::mouseClick(&dialog_->openNormalButton(), Qt::LeftButton);
    QTest::mouseClick(&dialog_->openAutodoriaButton(), Qt::LeftButton);
    QSignalSpy finished(dialog_.get(), &CDB_Conv_SolvaneDlg::conversionFinished);
    QTest::mouseClick(&dialog_->convertButton(), Qt::LeftButton);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
  }

  MapView& openMap() {
    QTest::mouseClick(&dialog_->mapButton(), Qt::LeftButton);
    solvane::map::MapWindow* window = dialog_->mapLink().window();
    if (!window) qFatal("no map window");
    if (!QTest::qWaitForWindowExposed(window)) qFatal("map window not shown");
    return *window->view();
  }

 private slots:
  void init() {
    QVERIFY(tmp_.isValid());
    prompts_ = FakePrompts{};
    dialog_ = std::make_unique<CDB_Conv_SolvaneDlg>(prompts_);
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
  }
  void cleanup() { dialog_.reset(); }

  void rowsTheConversionTreatsSpeciallyAreMarked() {
    convert();
    // The counts keep their meaning: rows loaded, records written.
    QCOMPARE(dialog_->totalField().text(), QString::number(kRows));
    QCOMPARE(dialog_->convertedField().text(), QString::number(kWritten));

    QAbstractItemModel& model = *dialog_->tableView().model();
    struct Case {
      const char* idx;
      QRgb background;  // 0: not marked
      const char* tooltip;
    };
    const Case cases[] = {
        {"2", solvane::map::kSkippedRowBackground, "skipped: X scales to 2000000, above 1800000"},
        {"4", solvane::map::kProblemRowBackground, "Y is not a number: written at latitude 0"},
        {"6", 0, "section: TYPE written as 16"},  // a note: explained, not marked
        {"1", 0, nullptr},
        {"5", 0, nullptr},
    };
    for (const Case& c : cases) {
      const int row = rowOfIdx(model, QString::fromLatin1(c.idx));
      QVERIFY2(row >= 0, c.idx);
      for (int column : {0, 6, 13}) {  // the whole row, not one cell
        const QModelIndex cell = model.index(row, column);
        const QVariant background = cell.data(Qt::BackgroundRole);
        if (c.background) {
          QVERIFY2(background.isValid(), c.idx);
          QCOMPARE(background.value<QBrush>().color().rgb(), c.background);
        } else {
          QVERIFY2(!background.isValid(), c.idx);
        }
        const QVariant tooltip = cell.data(Qt::ToolTipRole);
        if (c.tooltip) {
          QCOMPARE(tooltip.toString(), QString::fromLatin1(c.tooltip));
        } else {
          QVERIFY2(!tooltip.isValid(), c.idx);
        }
      }
      // The text shown stays the cell's text.
      QCOMPARE(model.index(row, 0).data().toString(), QString::fromLatin1(c.idx));
    }
  }

  void qualityFindingsAreMarkedAndJoinedOnTheMap() {
    // Rows 1 and 2 are 11 m apart (a near duplicate, a note); row 3's DIR is outside the
    // compass for a camera that warns one way (a problem).
    convert(
        "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
        "1,127.10,37.5000,1,60,1,90\n"
        "2,127.10,37.5001,1,60,1,95\n"
        "3,127.30,37.60,1,60,1,400\n",
        "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
        "6,127.50,36.20,3,80,1,170\n"
        "7,127.52,36.10,3,80,1,170\n");
    QAbstractItemModel& model = *dialog_->tableView().model();
    // The table is sorted by latitude: the section, then rows 1, 2, 3.
    const int one = rowOfIdx(model, QStringLiteral("1")), two = rowOfIdx(model, QStringLiteral("2"));
    const int three = rowOfIdx(model, QStringLiteral("3"));
    QCOMPARE(
        model.index(one, 0).data(Qt::ToolTipRole).toString(),
        QStringLiteral("near duplicate: 11.1 m from row %1, facing the same way, same TYPE, same speed").arg(two + 1));
    QCOMPARE(model.index(two, 3).data(Qt::ToolTipRole).toString(),
             QStringLiteral("near duplicate: 11.1 m from row %1").arg(one + 1));
    QVERIFY(!model.index(one, 0).data(Qt::BackgroundRole).isValid());  // a note: explained, not marked
    QCOMPARE(model.index(three, 6).data(Qt::ToolTipRole).toString(),
             QStringLiteral("DIR 400 is outside 0..360 for DTYPE 1: written as half-direction 110"));
    QCOMPARE(model.index(three, 0).data(Qt::BackgroundRole).value<QBrush>().color().rgb(),
             solvane::map::kProblemRowBackground);

    MapView& view = openMap();
    QVERIFY(view.findings() != nullptr);
    QCOMPARE(view.findings()->joined().size(), std::size_t{1});
    QCOMPARE(view.findings()->problemRows(), std::vector<std::uint32_t>{static_cast<std::uint32_t>(three)});
    // Close in, the pair is joined by a dashed orange line between its rings.
    view.resize(400, 300);
    view.setView({view.index()->toWorldX(127.10), 37.50005}, 200000.0);
    const QImage image = view.grab().toImage();
    const QPointF a = *view.screenPosOfRow(one), b = *view.screenPosOfRow(two);
    int orange = 0;
    for (double t = 0.3; t <= 0.7; t += 0.02) {
      const QPointF m = a + (b - a) * t;
      const QColor c = image.pixelColor(m.toPoint());
      if (c.red() > 200 && c.green() > 90 && c.green() < 170 && c.blue() < 80) ++orange;
    }
    QVERIFY2(orange > 5, "no line between the near duplicates");
  }

  void mapOpensFromTheButtonAndTheContextMenu() {
    convert();
    QCOMPARE(dialog_->contextMenuPolicy(), Qt::ActionsContextMenu);
    QVERIFY(dialog_->actions().contains(&dialog_->mapAction()));
    QCOMPARE(dialog_->mapAction().text(), QStringLiteral("Map"));
    QCOMPARE(dialog_->mapButton().text(), QStringLiteral("Map"));

    MapView& view = openMap();
    QCOMPARE(view.index()->size(), std::size_t{kRows});
    QCOMPARE(view.index()->count(solvane::map::RowMark::kSkipped), std::size_t{1});
    QCOMPARE(view.index()->count(solvane::map::RowMark::kAtZero), std::size_t{1});
    dialog_->mapLink().window()->close();
    QVERIFY(!dialog_->mapLink().window()->isVisible());
    dialog_->mapAction().trigger();
    QVERIFY(dialog_->mapLink().window()->isVisible());
  }

  void mapFollowsTheTableWhenItIsSorted() {
    MapView& view = openMap();  // open before loading: it must follow the reload and the sort
    convert();
    const solvane::CameraTable& table = dialog_->table();
    QCOMPARE(view.index()->size(), table.rowCount());
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
      const auto& item = view.index()->item(static_cast<std::size_t>(view.index()->itemOfRow(r)));
      QCOMPARE(item.row, static_cast<std::uint32_t>(r));
      QVERIFY(std::abs(item.y - solvane::scaleCoordinate(table.cell(r, solvane::kY)) / 10000.0) < 1e-4);
    }
  }

  void clickOnTheMapSelectsTheRowInTheTable() {
    convert();
    MapView& view = openMap();
    QAbstractItemModel& model = *dialog_->tableView().model();
    const int row = rowOfIdx(model, QStringLiteral("3"));
    const QPointF centre = view.viewCentre();
    const auto pos = view.screenPosOfRow(row);
    QVERIFY(pos.has_value());
    QTest::mouseClick(&view, Qt::LeftButton, {}, pos->toPoint());
    QCOMPARE(dialog_->tableView().currentIndex().row(), row);
    QVERIFY(dialog_->tableView().selectionModel()->isRowSelected(row, {}));
    QCOMPARE(view.selectedRow(), row);
    // The map stays where it was under the pointer.
    QCOMPARE(view.viewCentre(), centre);
  }

  void compareWithMarksTheDifferencesOnTheMapAndInTheTable() {
    convert();
    // The other release: camera 1 at speed 50, camera 3 0.0002 degree north, camera 5 not
    // there, a camera 9 only there; the section and the rows the conversion treats specially
    // are the same.
    const QString normal = tmp_.filePath(QStringLiteral("other/Solvane.txt"));
    const QString autodoria = tmp_.filePath(QStringLiteral("other/Autodoria.txt"));
    QVERIFY(QDir(tmp_.path()).mkpath(QStringLiteral("other")));
    QVERIFY(writeBytes(normal,
                       "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
                       "1,127.10,37.50,1,50,1,90\n"
                       "2,200.00,36.50,1,60,0,0\n"
                       "3,126.90,35.2002,3,80,0,0\n"
                       "4,127.30,n/a,1,60,0,0\n"
                       "9,128.50,36.50,1,60,1,0\n"));
    QVERIFY(writeBytes(autodoria, kAutodoriaList));
    MapView& view = openMap();
    QCOMPARE(dialog_->mapLink().compareWith({normal, autodoria}), QString());

    const QString status = dialog_->mapLink().window()->statusText();
    QVERIFY2(
        status.endsWith(QStringLiteral("; compared with 2 files: 1 added, 1 removed, 1 moved, 1 changed, 2 unchanged")),
        qPrintable(status));
    QVERIFY(view.diffMarks() != nullptr);
    QCOMPARE(view.diffMarks()->size(), std::size_t{4});

    QAbstractItemModel& model = *dialog_->tableView().model();
    struct Case {
      const char* idx;
      const char* tooltipStart;  // null: not marked
    };
    const Case cases[] = {
        {"5", "added"},
        {"1", "changed from "},
        {"3", "moved from "},
        {"6", nullptr},
    };
    for (const Case& c : cases) {
      const QModelIndex cell = model.index(rowOfIdx(model, QString::fromLatin1(c.idx)), 3);
      const QString tooltip = cell.data(Qt::ToolTipRole).toString();
      if (!c.tooltipStart) {
        QVERIFY2(!tooltip.contains(QStringLiteral("from ")) && !tooltip.startsWith(QStringLiteral("added")), c.idx);
        continue;
      }
      QVERIFY2(tooltip.startsWith(QString::fromLatin1(c.tooltipStart)), qPrintable(tooltip));
      QCOMPARE(cell.data(Qt::BackgroundRole).value<QBrush>().color().rgb(), solvane::map::kDiffRowBackground);
    }
    QVERIFY(model.index(rowOfIdx(model, QStringLiteral("1")), 0)
                .data(Qt::ToolTipRole)
                .toString()
                .endsWith(QStringLiteral(": SPD 50 -> 60")));

    // The added camera has a green ring around it (the legend, which lists the classes, set
    // aside: in so small a view it covers the middle).
    view.resize(400, 300);
    view.setLegendVisible(false);
    const int added = rowOfIdx(model, QStringLiteral("5"));
    view.centerOnRow(added);
    const QImage image = view.grab().toImage();
    const QPointF at = *view.screenPosOfRow(added);
    int green = 0;
    for (const QPointF d : {QPointF(6, 0), QPointF(-6, 0), QPointF(0, 6), QPointF(0, -6)}) {
      const QColor c = image.pixelColor((at + d).toPoint());
      if (c.green() > 90 && c.red() < 120 && c.blue() < 120) ++green;
    }
    QVERIFY2(green >= 2, "no ring around the added camera");

    // Loading the lists again drops the comparison: it was of the rows before.
    convert();
    QVERIFY(view.diffMarks() == nullptr);
    QVERIFY(!dialog_->mapLink().window()->statusText().contains(QStringLiteral("compared with")));
  }

  void selectionInTheTableCentresTheMap() {
    convert();
    MapView& view = openMap();
    QAbstractItemModel& model = *dialog_->tableView().model();
    for (const char* idx : {"5", "2", "1"}) {
      const int row = rowOfIdx(model, QString::fromLatin1(idx));
      dialog_->tableView().selectRow(row);
      QCOMPARE(view.selectedRow(), row);
      const QPointF mid(view.width() / 2.0, view.height() / 2.0);
      QVERIFY2(QLineF(*view.screenPosOfRow(row), mid).length() < 1.0, idx);
    }
  }
};

QTEST_MAIN(MapDialogTest)
#include "map_dialog_test.moc"

// The map canvas on its own: marks at the right pixels in both drawing modes, click to
// select, drag to pan, wheel to zoom around the pointer, centring on a row.
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "app/map/map_view.h"
#include "app/map/map_window.h"

using solvane::CameraTable;
using solvane::ItemData;
using namespace solvane::map;

namespace {

void addRow(CameraTable& t, std::vector<std::string> cells) {
  std::vector<std::string_view> views(cells.begin(), cells.end());
  t.appendRow(views, static_cast<ItemData>(t.rowCount() + 1));
}

// Rows 0..5: three points of two types (one heading east), a section, a row written at
// longitude 0 and one out of range. The written rows' mean latitude is 60.5 degrees, where a
// degree of longitude is half as wide as one of latitude.
CameraTable fixture() {
  CameraTable t;
  addRow(t, {"1", "1.0", "60.0", "1", "60", "1", "90"});
  addRow(t, {"2", "2.0", "60.0", "5", "60", "0", "0"});
  addRow(t, {"3", "1.0", "61.0", "1", "60", "0", "0"});
  addRow(t, {"4", "2.0", "61.0", "3", "80", "0", "0", "5", "3.0", "61.0", "3", "80", "0", "0"});
  addRow(t, {"6", "none", "60.5", "1", "60", "0", "0"});
  addRow(t, {"7", "1.0", "95.0", "1", "60", "0", "0"});
  return t;
}

constexpr int kWidth = 400, kHeight = 300;
constexpr double kScale = 100.0;  // pixels per degree
constexpr double kLat = 60.5;     // the view's centre: 1.5 E, 60.5 N
const double kLonScale = std::cos(kLat * std::numbers::pi / 180.0);

// Where a position must appear with the view centred on (1.5 E, 60.5 N), worked out here
// rather than asked of the view.
QPoint expectedPixel(double lon, double lat) {
  return {static_cast<int>(std::floor(kWidth / 2.0 + (lon - 1.5) * kLonScale * kScale)),
          static_cast<int>(std::floor(kHeight / 2.0 - (lat - kLat) * kScale))};
}

QColor colourOfType(const MapIndex& index, int type) {
  const auto& classes = index.typeClasses();
  for (std::size_t i = 0; i < classes.size(); ++i)
    if (!classes[i].other && classes[i].type == type) return MapView::typeColour(classes[i], i);
  return {};
}

// Rows packed into a small square around (2.6 E, 60.1 N), enough to switch to pixel drawing.
void addFiller(CameraTable& t, int count) {
  for (int i = 0; i < count; ++i)
    addRow(t, {"9", std::to_string(2.55 + (i % 150) * 0.0007), std::to_string(60.05 + (i / 150) * 0.0007), "7", "60",
               "0", "0"});
}

class MapViewTest : public QObject {
  Q_OBJECT

 private slots:
  void marksLandAtTheirPixels_data() {
    QTest::addColumn<int>("filler");
    QTest::addColumn<double>("scale");  // pixels per degree
    QTest::newRow("few rows, antialiased marks") << 0 << kScale;
    // Zoomed in far enough that a grid cell spans more than two pixels: a dot per row.
    QTest::newRow("many rows, plain pixels") << static_cast<int>(MapView::kDetailLimit) + 1000 << 2 * kScale;
  }

  void marksLandAtTheirPixels() {
    QFETCH(int, filler);
    QFETCH(double, scale);
    CameraTable t = fixture();
    addFiller(t, filler);
    MapView view;
    view.resize(kWidth, kHeight);
    view.setIndex(std::make_shared<const MapIndex>(MapIndex::build(t)));
    view.setLegendVisible(false);  // it would cover the section
    const MapIndex& index = *view.index();
    // The filler moves the mean latitude, so the longitude scale is the index's own then.
    if (!filler) QVERIFY(std::abs(index.lonScale() - kLonScale) < 1e-12);
    const double k = index.lonScale();
    view.setView({1.5 * k, kLat}, scale);
    if (filler) QVERIFY(index.cellWidth() * scale >= 2 && index.cellHeight() * scale >= 2);
    const QImage image = view.grab().toImage();
    auto at = [&](double lon, double lat) {
      const QPoint p(static_cast<int>(std::floor(kWidth / 2.0 + (lon - 1.5) * k * scale)),
                     static_cast<int>(std::floor(kHeight / 2.0 - (lat - kLat) * scale)));
      return image.pixelColor(p);
    };

    QCOMPARE(at(1.0, 60.0), colourOfType(index, 1));
    QCOMPARE(at(2.0, 60.0), colourOfType(index, 5));
    QCOMPARE(at(1.0, 61.0), colourOfType(index, 1));
    QVERIFY(colourOfType(index, 1) != colourOfType(index, 5));
    // The section: its start, the middle of its line, and TYPE 16's colour.
    QCOMPARE(at(2.5, 61.0), colourOfType(index, 16));
    // Written at longitude 0: at 0 E, in the warning colour.
    QCOMPARE(at(0.0, 60.5), MapView::markColour(RowMark::kAtZero));
    // Nothing between the marks.
    const QColor background = at(1.5, 60.25);
    for (const QColor& c : {colourOfType(index, 1), colourOfType(index, 5), colourOfType(index, 16),
                            MapView::markColour(RowMark::kAtZero)})
      QVERIFY(background != c);
    QCOMPARE(at(1.3, 60.8), background);

    if (!filler) {
      // Close in, the row heading east carries its tick on the east side only; further out
      // there is none.
      const QPoint a(static_cast<int>(std::floor(kWidth / 2.0 - 0.5 * k * scale)), 200);
      const QRgb tick = colourOfType(index, 1).darker(140).rgb();
      QVERIFY(image.pixel(a + QPoint(9, 0)) != tick);
      view.setView({1.0 * k, 60.0}, MapView::kTickScale);
      const QImage close = view.grab().toImage();
      const QPoint c(kWidth / 2, kHeight / 2);
      QCOMPARE(close.pixel(c + QPoint(9, 0)), tick);
      for (const QPoint& d : {QPoint(-9, 0), QPoint(0, -9), QPoint(0, 9)}) QVERIFY(close.pixel(c + d) != tick);
    }

    // The row out of range lies beyond the pole; centring on it shows it in its colour.
    view.centerOnRow(5);
    const QImage centred = view.grab().toImage();
    QCOMPARE(centred.pixelColor(kWidth / 2, kHeight / 2), MapView::markColour(RowMark::kSkipped));
  }

  // Far out, where a grid cell is under two pixels, the map draws one dot per cell; every
  // row must still show where it is, and warned rows and long sections on their own.
  void farOutCellsStandForTheirRows() {
    CameraTable t;
    addRow(t, {"1", "1.0", "60.0", "1", "60", "0", "0"});
    addRow(t, {"2", "2.0", "60.0", "5", "60", "0", "0"});
    addRow(t, {"3", "1.0", "61.0", "1", "60", "0", "0"});
    addRow(t, {"4", "2.0", "61.0", "3", "80", "0", "0", "5", "3.0", "61.0", "3", "80", "0", "0"});
    addRow(t, {"6", "none", "60.5", "1", "60", "0", "0"});
    for (int i = 0; i < 30000; ++i)  // a city of type 7 around 5.25 E, 62.25 N
      addRow(t, {"9", std::to_string(5.0 + (i % 173) * 0.5 / 173), std::to_string(62.0 + (i / 173) * 0.5 / 174), "7",
                 "60", "0", "0"});
    MapView view;
    view.resize(kWidth, kHeight);
    view.setIndex(std::make_shared<const MapIndex>(MapIndex::build(t)));
    view.setLegendVisible(false);
    const MapIndex& index = *view.index();
    constexpr double kFar = 20.0;  // pixels per degree
    const double k = index.lonScale();
    view.setView({2.5 * k, 61.0}, kFar);
    QVERIFY(index.cellWidth() * kFar < 2 && index.cellHeight() * kFar < 2);
    const QImage image = view.grab().toImage();
    auto at = [&](double lon, double lat) {
      return image.pixelColor(static_cast<int>(std::floor(kWidth / 2.0 + (lon - 2.5) * k * kFar)),
                              static_cast<int>(std::floor(kHeight / 2.0 - (lat - 61.0) * kFar)));
    };
    QCOMPARE(at(1.0, 60.0), colourOfType(index, 1));
    QCOMPARE(at(2.0, 60.0), colourOfType(index, 5));
    QCOMPARE(at(1.0, 61.0), colourOfType(index, 1));
    QCOMPARE(at(2.5, 61.0), colourOfType(index, 16));
    QCOMPARE(at(0.0, 60.5), MapView::markColour(RowMark::kAtZero));
    QCOMPARE(at(5.25, 62.25), colourOfType(index, 7));
    const QColor background = at(1.5, 60.5);
    for (int type : {1, 5, 7, 16}) QVERIFY(background != colourOfType(index, type));
  }

  void clickSelectsTheRowUnderThePointer() {
    MapView view;
    view.resize(kWidth, kHeight);
    view.setIndex(std::make_shared<const MapIndex>(MapIndex::build(fixture())));
    view.setView({1.5 * kLonScale, kLat}, kScale);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy clicked(&view, &MapView::rowClicked);

    struct Case {
      QPoint pos;
      int row;
    };
    const std::vector<Case> cases{
        {expectedPixel(2.0, 60.0) + QPoint(3, -2), 1},  // a few pixels off the mark still hits it
        {expectedPixel(1.0, 61.0), 2},
        {expectedPixel(2.7, 61.0) + QPoint(0, 2), 3},  // on the section's line
        {expectedPixel(0.0, 60.5), 4},
    };
    for (const Case& c : cases) {
      QTest::mouseClick(&view, Qt::LeftButton, {}, c.pos);
      QCOMPARE(clicked.count(), 1);
      QCOMPARE(clicked.takeFirst().at(0).toInt(), c.row);
      QCOMPARE(view.selectedRow(), c.row);
    }
    // Empty sea: nothing is selected anew.
    QTest::mouseClick(&view, Qt::LeftButton, {}, expectedPixel(1.5, 60.25));
    QCOMPARE(clicked.count(), 0);
    QCOMPARE(view.selectedRow(), 4);
  }

  void dragPansAndDoesNotSelect() {
    MapView view;
    view.resize(kWidth, kHeight);
    view.setIndex(std::make_shared<const MapIndex>(MapIndex::build(fixture())));
    view.setView({1.5 * kLonScale, kLat}, kScale);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QSignalSpy clicked(&view, &MapView::rowClicked);
    const QPoint start = expectedPixel(1.0, 60.0);  // starting on a mark
    QTest::mousePress(&view, Qt::LeftButton, {}, start);
    QTest::mouseMove(&view, start + QPoint(20, 10));
    QTest::mouseMove(&view, start + QPoint(40, 20));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, start + QPoint(40, 20));
    QCOMPARE(clicked.count(), 0);
    // The map moved with the pointer: the mark is now 40 right and 20 down.
    const auto pos = view.screenPosOfRow(0);
    QVERIFY(pos.has_value());
    QVERIFY(std::abs(pos->x() - (start.x() + 40)) < 1.0);
    QVERIFY(std::abs(pos->y() - (start.y() + 20)) < 1.0);
  }

  void wheelZoomsAroundThePointer() {
    MapView view;
    view.resize(kWidth, kHeight);
    view.setIndex(std::make_shared<const MapIndex>(MapIndex::build(fixture())));
    view.setView({1.5 * kLonScale, kLat}, kScale);
    const QPointF pointer = *view.screenPosOfRow(1);
    const QPointF before = view.toWorld(pointer);
    for (int delta : {120, 240, -120}) {
      QWheelEvent wheel(pointer, view.mapToGlobal(pointer), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
      QApplication::sendEvent(&view, &wheel);
    }
    QVERIFY(std::abs(view.pixelsPerDegree() - kScale * std::pow(1.25, 2)) < 1e-6);
    const QPointF after = view.toWorld(pointer);
    QVERIFY(std::abs(after.x() - before.x()) < 1e-9);
    QVERIFY(std::abs(after.y() - before.y()) < 1e-9);
    // Row 1 still sits under the pointer.
    QVERIFY(QLineF(*view.screenPosOfRow(1), pointer).length() < 1.0);
  }

  void windowSelectsAndCentres() {
    MapWindow window;
    window.resize(700, 500);
    window.showTable(fixture());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const double scale = window.view()->pixelsPerDegree();
    window.selectAndCenter(3);
    QCOMPARE(window.view()->selectedRow(), 3);
    const QPointF mid(window.view()->width() / 2.0, window.view()->height() / 2.0);
    QVERIFY(QLineF(*window.view()->screenPosOfRow(3), mid).length() < 1.0);
    QCOMPARE(window.view()->pixelsPerDegree(), scale);  // centring keeps the zoom

    // Reading the rows again after a reorder keeps the view where the user left it.
    const QPointF centre = window.view()->viewCentre();
    window.showTable(fixture(), true);
    QCOMPARE(window.view()->viewCentre(), centre);
    QCOMPARE(window.view()->pixelsPerDegree(), scale);
  }
};

}  // namespace

QTEST_MAIN(MapViewTest)
#include "map_view_test.moc"

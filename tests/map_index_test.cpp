#include "map/map_index.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace solvane::map {
namespace {

void addRow(CameraTable& t, std::vector<std::string> cells) {
  std::vector<std::string_view> views(cells.begin(), cells.end());
  t.appendRow(views, static_cast<ItemData>(t.rowCount() + 1));
}

const MapItem& itemOf(const MapIndex& m, std::size_t row) {
  const std::ptrdiff_t i = m.itemOfRow(row);
  EXPECT_GE(i, 0);
  return m.item(static_cast<std::size_t>(i));
}

// Two good points, a section, a row out of range and a row whose X is no number.
CameraTable mixedTable() {
  CameraTable t;
  addRow(t, {"1", "127.0", "37.0", "1", "60", "1", "-90"});
  addRow(t, {"2", "128.0", "35.0", "3", "80", "0", "45"});
  addRow(t, {"3", "127.5", "36.0", "3", "80", "2", "370", "4", "127.6", "36.2", "3", "80", "1", "10"});
  addRow(t, {"5", "200.0", "36.0", "1", "60", "1", "0"});  // swapped or mistyped: skipped
  addRow(t, {"6", "east", "36.5", "1", "60", "0", "0"});   // no number: written at longitude 0
  return t;
}

TEST(MapIndex, PlacesRowsWhereTheyAreWrittenAndMarksTheBadOnes) {
  const MapIndex m = MapIndex::build(mixedTable());
  ASSERT_EQ(m.size(), 5u);
  // The mean latitude counts only the rows written where they stand.
  EXPECT_NEAR(m.meanLatitude(), (37.0 + 35.0 + 36.0) / 3, 1e-4);
  const double k = std::cos(m.meanLatitude() * std::numbers::pi / 180);
  EXPECT_NEAR(m.lonScale(), k, 1e-9);

  const MapItem& a = itemOf(m, 0);
  EXPECT_NEAR(a.x, 127.0 * k, 1e-4);
  EXPECT_NEAR(a.y, 37.0, 1e-4);
  EXPECT_FALSE(a.isSection());
  EXPECT_EQ(a.direction, 270);  // DTYPE 1 gives a direction; -90 points west
  EXPECT_EQ(a.mark, RowMark::kWritten);
  EXPECT_EQ(itemOf(m, 1).direction, kNoDirection);  // DTYPE 0: no direction

  const MapItem& s = itemOf(m, 2);
  ASSERT_TRUE(s.isSection());
  EXPECT_NEAR(s.x2, 127.6 * k, 1e-4);
  EXPECT_NEAR(s.y2, 36.2, 1e-4);
  EXPECT_EQ(s.direction, 10);

  EXPECT_EQ(itemOf(m, 3).mark, RowMark::kSkipped);
  EXPECT_NEAR(itemOf(m, 3).x, 200.0 * k, 1e-3);  // drawn where it claims to be, off the world
  const MapItem& z = itemOf(m, 4);
  EXPECT_EQ(z.mark, RowMark::kAtZero);
  EXPECT_EQ(z.x, 0.0f);
  EXPECT_NEAR(z.y, 36.5, 1e-4);
  EXPECT_EQ(m.count(RowMark::kWritten), 3u);
  EXPECT_EQ(m.count(RowMark::kSkipped), 1u);
  EXPECT_EQ(m.count(RowMark::kAtZero), 1u);

  // The view fits the good rows only, or one bad row would shrink them to a dot.
  const WorldRect e = m.extent();
  EXPECT_NEAR(e.left, 127.0 * k, 1e-4);
  EXPECT_NEAR(e.right, 128.0 * k, 1e-4);
  EXPECT_NEAR(e.bottom, 35.0, 1e-4);
  EXPECT_NEAR(e.top, 37.0, 1e-4);

  // Colours follow the TYPE byte written: sections are 16 whatever their cell says.
  const auto& classes = m.typeClasses();
  ASSERT_EQ(classes.size(), 3u);
  EXPECT_EQ(classes[0].type, 1);
  EXPECT_EQ(classes[0].points, 3u);
  EXPECT_EQ(classes[1].type, 3);
  EXPECT_EQ(classes[1].points, 1u);
  EXPECT_EQ(classes[2].type, 16);
  EXPECT_EQ(classes[2].sections, 1u);
  EXPECT_EQ(s.colour, 2);
  EXPECT_EQ(a.colour, 0);
}

TEST(MapIndex, SectionWithoutANumberForItsEndIsMarkedAtZero) {
  CameraTable t;
  addRow(t, {"1", "127.0", "37.0", "1", "60", "0", "0", "2", "x", "37.1", "1", "60", "0", "0"});
  const MapIndex m = MapIndex::build(t);
  const MapItem& s = itemOf(m, 0);
  EXPECT_EQ(s.mark, RowMark::kAtZero);
  EXPECT_TRUE(s.isSection());
  EXPECT_EQ(s.x2, 0.0f);
}

TEST(MapIndex, RareTypesShareOneColour) {
  CameraTable t;
  for (int type = 1; type <= 14; ++type)
    for (int n = 0; n < (type <= 8 ? 10 - type : 1); ++n)
      addRow(t, {"1", std::to_string(127 + n * 0.01), "37.0", std::to_string(type), "60", "0", "0"});
  const MapIndex m = MapIndex::build(t);
  const auto& classes = m.typeClasses();
  ASSERT_EQ(classes.size(), kMaxTypeColours);
  EXPECT_TRUE(classes.back().other);
  std::size_t total = 0;
  for (const TypeClass& c : classes) total += c.points;
  EXPECT_EQ(total, t.rowCount());
  // The nine commonest (types 1..8 and the lowest of the single ones) keep their own colour.
  for (std::size_t i = 0; i + 1 < classes.size(); ++i) EXPECT_FALSE(classes[i].other);
  EXPECT_EQ(classes.back().points, 5u);  // types 10..14, one row each
}

TEST(MapIndex, RowAtFindsPointsSectionLinesAndOutliers) {
  CameraTable t;
  addRow(t, {"1", "127.0", "37.0", "1", "60", "0", "0"});
  // A section 5 degrees long: far longer than a grid cell.
  addRow(t, {"2", "120.0", "30.0", "3", "80", "0", "0", "3", "125.0", "30.0", "3", "80", "0", "0"});
  addRow(t, {"4", "127.001", "37.0", "1", "60", "0", "0"});
  addRow(t, {"5", "37.0", "127.0", "1", "60", "0", "0"});  // swapped: out of range, far off
  for (int i = 0; i < 200; ++i) addRow(t, {"9", std::to_string(126 + i * 0.01), "36.0", "1", "60", "0", "0"});
  const MapIndex m = MapIndex::build(t);
  const double k = m.lonScale();
  EXPECT_EQ(m.rowAt(127.0 * k, 37.0, 0.0003), 0);
  EXPECT_EQ(m.rowAt(127.0009 * k, 37.0, 0.0003), 2);  // the nearer of two close points
  EXPECT_EQ(m.rowAt(127.0 * k, 37.01, 0.0003), -1);   // nothing within the radius
  EXPECT_EQ(m.rowAt(122.5 * k, 30.001, 0.01), 1);     // on the line, far from both ends
  EXPECT_EQ(m.rowAt(37.0 * k, 127.0, 0.01), 3);
}

// Everything that lies in a rectangle must be visited, whatever the grid does.
TEST(MapIndex, ForEachNearVisitsEveryItemInTheRectangle) {
  CameraTable t;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> lon(124.0, 130.0), lat(33.0, 39.0), d(-0.05, 0.05);
  for (int i = 0; i < 20000; ++i) {
    const double x = lon(rng), y = lat(rng);
    if (i % 10 == 0) {
      const double len = i % 100 == 0 ? 3.0 : 1.0;  // some longer than a cell
      addRow(t, {"1", std::to_string(x), std::to_string(y), "3", "80", "0", "0", "2", std::to_string(x + d(rng) * len),
                 std::to_string(y + d(rng) * len), "3", "80", "0", "0"});
    } else {
      addRow(t, {"1", std::to_string(x), std::to_string(y), "1", "60", "0", "0"});
    }
  }
  addRow(t, {"1", "500", "36", "1", "60", "0", "0"});
  const MapIndex m = MapIndex::build(t);
  std::uniform_real_distribution<double> size(0.001, 2.0);
  for (int q = 0; q < 200; ++q) {
    const double x = lon(rng) * m.lonScale(), y = lat(rng), w = size(rng), h = size(rng);
    const WorldRect r{x, y, x + w, y + h};
    std::set<std::size_t> visited;
    m.forEachNear(r, [&](std::size_t i) { visited.insert(i); });
    EXPECT_EQ(visited.size(), m.countNear(r));
    for (std::size_t i = 0; i < m.size(); ++i) {
      const MapItem& it = m.item(i);
      double l = it.x, rr = it.x, b = it.y, tp = it.y;
      if (it.isSection()) {
        l = std::min(l, double{it.x2});
        rr = std::max(rr, double{it.x2});
        b = std::min(b, double{it.y2});
        tp = std::max(tp, double{it.y2});
      }
      const bool touches = rr >= r.left && l <= r.right && tp >= r.bottom && b <= r.top;
      if (touches) {
        ASSERT_TRUE(visited.count(i)) << "query " << q << " item " << i;
      }
    }
  }
}

TEST(MapIndex, EmptyTableAndViewsFarAwayAreHarmless) {
  const MapIndex empty = MapIndex::build(CameraTable{});
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_EQ(empty.rowAt(0, 0, 1), -1);
  EXPECT_EQ(empty.itemOfRow(0), -1);
  EXPECT_FALSE(empty.extent().isEmpty());

  const MapIndex m = MapIndex::build(mixedTable());
  std::size_t n = 0;
  m.forEachNear({1e12, 1e12, 2e12, 2e12}, [&](std::size_t) { ++n; });
  EXPECT_EQ(n, m.countNear({1e12, 1e12, 2e12, 2e12}));
  EXPECT_EQ(m.rowAt(-1e300, 1e300, 1), -1);
}

}  // namespace
}  // namespace solvane::map

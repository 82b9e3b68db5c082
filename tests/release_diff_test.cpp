// The release diff's matcher and classes: a table of the cases where a matcher goes wrong
// (ties, the antimeridian, cameras closer than --near, a camera moved onto another one's
// place, turned directions, sections), and the grid against the all-pairs reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "compare/camera_matcher.h"
#include "compare/release_diff.h"
#include "convert/record_encoder.h"

namespace solvane::compare {
namespace {

// A point camera at lat/lon given in degrees, with values as a list would hold them.
DiffCamera point(double lat, double lon, int type = 1, int speed = 60, int dtype = 1, int dir = 90) {
  DiffCamera c;
  c.lat = static_cast<std::int32_t>(std::lround(lat * 10000));
  c.lon = static_cast<std::int32_t>(std::lround(lon * 10000));
  c.type = type;
  c.speed = speed;
  c.dtype = dtype;
  c.direction = dir;
  c.h = halfDirection(dir, static_cast<std::uint8_t>(dtype));
  return c;
}

DiffCamera section(double lat, double lon, double lat2, double lon2, int dir = 90) {
  DiffCamera c = point(lat, lon, 3, 80, 1, dir);
  c.section = true;
  c.lat2 = static_cast<std::int32_t>(std::lround(lat2 * 10000));
  c.lon2 = static_cast<std::int32_t>(std::lround(lon2 * 10000));
  c.direction2 = dir;
  c.h2 = c.h;
  return c;
}

Side sideOf(std::vector<DiffCamera> cameras) {
  Side s;
  s.files.push_back({"list.txt", FileKind::kNormalList, "normal list"});
  for (std::size_t i = 0; i < cameras.size(); ++i) cameras[i].place = static_cast<std::uint32_t>(i + 1);
  s.cameras = std::move(cameras);
  return s;
}

// The diff in one line: each change as kind:old>new (1-based; - for none), then the counts.
std::string describe(const ReleaseDiff& d) {
  std::string s;
  const auto at = [](const std::optional<std::uint32_t>& i) { return i ? std::to_string(*i + 1) : std::string("-"); };
  for (const CameraChange& c : d.changes) s += std::string(kindName(c.kind)) + ":" + at(c.old) + ">" + at(c.neu) + " ";
  s += "unchanged " + std::to_string(d.summary.unchanged);
  return s;
}

// 1/10000 degree of latitude is about 11.1 m; 0.0003 degree about 33 m.
constexpr double kLat = 37.5, kLon = 127.0;

TEST(ReleaseDiff, TableOfMatchingCases) {
  struct Case {
    const char* what;
    std::vector<DiffCamera> old, neu;
    std::string expected;
  };
  const Case cases[] = {
      {"the same cameras in another order",
       {point(kLat, kLon), point(kLat + 0.01, kLon)},
       {point(kLat + 0.01, kLon), point(kLat, kLon)},
       "unchanged 2"},
      {"two old cameras equally near one new one: the first in source order wins, once",
       {point(kLat - 0.0001, kLon), point(kLat + 0.0001, kLon)},
       {point(kLat, kLon)},
       "removed:2>- moved:1>1 unchanged 0"},
      {"equally near, but one agrees in its values: it wins",
       {point(kLat - 0.0001, kLon, 1, 50), point(kLat + 0.0001, kLon)},
       {point(kLat, kLon)},
       "removed:1>- moved:2>1 unchanged 0"},
      {"two cameras closer than --near, one changed",
       {point(kLat, kLon), point(kLat + 0.0001, kLon)},
       {point(kLat, kLon), point(kLat + 0.0001, kLon, 1, 80)},
       "changed:2>2 unchanged 1"},
      {"two cameras closer than --near, one removed, the other moved towards its place",
       {point(kLat, kLon, 2), point(kLat + 0.0002, kLon)},
       {point(kLat + 0.0001, kLon)},
       "removed:1>- moved:2>1 unchanged 0"},
      {"a camera moved onto another one's place: that place stays with its camera",
       {point(kLat, kLon, 4, 70), point(kLat + 0.0003, kLon)},
       {point(kLat + 0.0003, kLon, 4, 70), point(kLat + 0.0003, kLon)},
       "moved:1>1 unchanged 1"},
      {"the same with equal values: source order keeps each camera's place",
       {point(kLat, kLon), point(kLat + 0.0003, kLon)},
       {point(kLat + 0.0003, kLon), point(kLat + 0.0003, kLon)},
       "moved:1>1 unchanged 1"},
      {"a camera listed twice, once in the new release, equally far in source order: the earlier",
       {point(kLat, kLon), point(kLat + 0.01, kLon), point(kLat, kLon)},
       {point(kLat + 0.01, kLon), point(kLat, kLon)},
       "removed:3>- unchanged 2"},
      {"moved farther than --near: removed and added",
       {point(kLat, kLon)},
       {point(kLat + 0.001, kLon)},
       "added:->1 removed:1>- unchanged 0"},
      {"across the antimeridian: moved 11 m",
       {point(kLat, 179.9999)},
       {point(kLat, -179.9999)},
       "moved:1>1 unchanged 0"},
      {"longitude 180 and -180 are one place", {point(kLat, 180.0)}, {point(kLat, -180.0)}, "unchanged 1"},
      {"across the pole: 22 m apart on opposite meridians",
       {point(89.9999, 0.0)},
       {point(89.9999, 180.0)},
       "moved:1>1 unchanged 0"},
      {"two cameras at one place facing opposite ways keep their own directions",
       {point(kLat, kLon, 1, 60, 1, 0), point(kLat, kLon, 1, 60, 1, 180)},
       {point(kLat, kLon, 1, 60, 1, 180), point(kLat, kLon, 1, 60, 1, 0)},
       "unchanged 2"},
      {"a camera turned round, nothing else facing its way near: changed",
       {point(kLat, kLon, 1, 60, 1, 10)},
       {point(kLat, kLon, 1, 60, 1, 190)},
       "changed:1>1 unchanged 0"},
      {"a turned camera does not take the place of one that kept its direction",
       {point(kLat, kLon, 1, 60, 1, 10), point(kLat + 0.0001, kLon, 1, 60, 1, 190)},
       {point(kLat + 0.0001, kLon, 1, 60, 1, 190)},
       "removed:1>- unchanged 1"},
      {"DTYPE 2 agrees either way along its axis, DTYPE 0 with anything",
       {point(kLat, kLon, 1, 60, 2, 10), point(kLat + 0.01, kLon, 1, 60, 0, 0)},
       {point(kLat + 0.0001, kLon, 1, 60, 2, 190), point(kLat + 0.0101, kLon, 1, 60, 1, 270)},
       "moved:1>1 moved:2>2 unchanged 0"},
      {"a section matches by both ends; its end moved",
       {section(kLat, kLon, kLat + 0.02, kLon)},
       {section(kLat, kLon, kLat + 0.0202, kLon)},
       "moved:1>1 unchanged 0"},
      {"a section whose end is farther than --near is another section",
       {section(kLat, kLon, kLat + 0.02, kLon)},
       {section(kLat, kLon, kLat + 0.03, kLon)},
       "added:->1 removed:1>- unchanged 0"},
      {"a point and a section at one place are not the same camera",
       {point(kLat, kLon, 3, 80)},
       {section(kLat, kLon, kLat + 0.02, kLon)},
       "added:->1 removed:1>- unchanged 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Side old = sideOf(c.old), neu = sideOf(c.neu);
    const ReleaseDiff d = diffReleases(old, neu);
    EXPECT_EQ(describe(d), c.expected);
    const std::size_t classes = d.summary.added + d.summary.removed + d.summary.moved + d.summary.changed;
    EXPECT_EQ(classes, d.changes.size());
    EXPECT_EQ(d.summary.removed + d.summary.moved + d.summary.changed + d.summary.unchanged, c.old.size());
    EXPECT_EQ(d.summary.added + d.summary.moved + d.summary.changed + d.summary.unchanged, c.neu.size());
    EXPECT_EQ(describe(diffReleases(old, neu)), describe(d)) << "the same every run";
  }
}

TEST(ReleaseDiff, MovedAndChangedValuesAreReportedWithMetres) {
  const Side old = sideOf({point(kLat, 179.9999, 1, 60, 1, 90)});
  const Side neu = sideOf({point(kLat, -179.9999, 2, 80, 1, 100)});
  const ReleaseDiff d = diffReleases(old, neu);
  ASSERT_EQ(d.changes.size(), 1u);
  const CameraChange& c = d.changes[0];
  EXPECT_EQ(c.kind, ChangeKind::kMoved);
  EXPECT_NEAR(c.metres, 17.7, 0.1);  // 0.0002 degree of longitude at 37.5 degrees
  std::string values;
  for (const ValueChange& v : c.values)
    values += std::string(v.field) + std::to_string(v.before) + ">" + std::to_string(v.after) + " ";
  EXPECT_EQ(values, "TYPE1>2 SPD60>80 DIR90>100 ");
}

TEST(ReleaseDiff, StoredFormComparesWhatTheDatabaseHolds) {
  // DIR 90 and 91 give one H; SPD 5 is written as 0: equal in stored form, different as listed.
  DiffCamera a = point(kLat, kLon, 1, 5, 1, 90), b = point(kLat, kLon, 1, 0, 1, 91);
  EXPECT_FALSE(valueDifferences(a, b, true).any());
  EXPECT_EQ(valueDifferences(a, b, false).count(), 2);
  MatchOptions stored;
  stored.storedForm = true;
  EXPECT_EQ(describe(diffReleases(sideOf({a}), sideOf({b}), stored)), "unchanged 1");
}

// Releases of random cameras with the cases of the table mixed in: clusters closer than the
// distance, duplicates, turned directions, sections, both sides of the antimeridian.
std::vector<DiffCamera> randomRelease(std::mt19937_64& rng, double centreLat, double centreLon, std::size_t n) {
  std::uniform_real_distribution<double> spread(-0.01, 0.01), unit(0, 1);
  std::uniform_int_distribution<int> dir(0, 7), speed(5, 11);
  std::vector<DiffCamera> out;
  while (out.size() < n) {
    double lon = centreLon + spread(rng);
    if (lon > 180) lon -= 360;
    const double lat = std::min(90.0, centreLat + spread(rng));
    const double r = unit(rng);
    if (r < 0.04 && !out.empty()) {
      out.push_back(out[static_cast<std::size_t>(unit(rng) * static_cast<double>(out.size()))]);  // listed twice
    } else if (r < 0.1) {
      out.push_back(section(lat, lon, lat + spread(rng) * 0.01, lon + spread(rng) * 0.01, dir(rng) * 45));
    } else {
      out.push_back(point(lat, lon, 1 + dir(rng) % 3, speed(rng) * 10, dir(rng) % 3, dir(rng) * 45));
    }
  }
  return out;
}

TEST(ReleaseDiff, GridMatchesAsAllPairs) {
  std::mt19937_64 rng(22);
  std::uniform_real_distribution<double> unit(0, 1), step(-0.0006, 0.0006);
  struct Centre {
    double lat, lon;
  };
  for (const Centre centre : {Centre{kLat, 127.0}, Centre{kLat, 179.995}, Centre{89.995, 0.0}}) {
    for (const double near : {5.0, 50.0, 120.0}) {
      SCOPED_TRACE("centre " + std::to_string(centre.lat) + ", " + std::to_string(centre.lon) + ", near " +
                   std::to_string(near));
      const std::vector<DiffCamera> old = randomRelease(rng, centre.lat, centre.lon, 1500);
      std::vector<DiffCamera> neu;
      for (const DiffCamera& c : old) {
        const double r = unit(rng);
        if (r < 0.05) continue;  // removed
        DiffCamera n = c;
        if (r < 0.3) n.lat = std::min(900000, n.lat + static_cast<std::int32_t>(step(rng) * 10000));  // moved a little
        if (r > 0.9) n.speed += 10;
        neu.push_back(n);
        if (r > 0.97) neu.push_back(n);  // listed twice in the new release
      }
      const std::vector<DiffCamera> added = randomRelease(rng, centre.lat, centre.lon, 100);
      neu.insert(neu.begin() + 37, added.begin(), added.end());
      MatchOptions options;
      options.nearMetres = near;
      const std::vector<CameraMatch> fast = matchCameras(old, neu, options);
      const std::vector<CameraMatch> slow = matchCamerasByAllPairs(old, neu, options);
      ASSERT_EQ(fast.size(), slow.size());
      std::set<std::uint32_t> olds, news;
      for (std::size_t k = 0; k < fast.size(); ++k) {
        ASSERT_EQ(fast[k].old, slow[k].old);
        ASSERT_EQ(fast[k].neu, slow[k].neu);
        EXPECT_TRUE(olds.insert(fast[k].old).second) << "old camera matched twice";
        EXPECT_TRUE(news.insert(fast[k].neu).second) << "new camera matched twice";
      }
      EXPECT_GT(fast.size(), old.size() / 2);
    }
  }
}

TEST(ReleaseDiff, ACrowdOfEqualCamerasMatchesAsAllPairs) {
  // Rows written at 0 (coordinates that are no numbers) pile up at one place with equal values:
  // the identical cameras' pass takes them by source order as the reference does, without
  // building every pair.
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<DiffCamera> old, neu;
  for (int k = 0; k < 400; ++k) {
    if (unit(rng) < 0.7) old.push_back(point(0, 0));
    if (unit(rng) < 0.5) neu.push_back(point(0, 0));
    old.push_back(point(kLat + unit(rng) * 0.01, kLon));
    if (unit(rng) < 0.3) neu.push_back(point(0, 0, 1, 50));
  }
  const std::vector<CameraMatch> fast = matchCameras(old, neu, {});
  const std::vector<CameraMatch> slow = matchCamerasByAllPairs(old, neu, {});
  ASSERT_EQ(fast.size(), slow.size());
  for (std::size_t k = 0; k < fast.size(); ++k) {
    ASSERT_EQ(fast[k].old, slow[k].old) << k;
    ASSERT_EQ(fast[k].neu, slow[k].neu) << k;
  }
}

}  // namespace
}  // namespace solvane::compare

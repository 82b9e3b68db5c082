// import --merge: which cameras become one, whose values win, what is taken from the others,
// and what the command says about it.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import/camera_merge.h"
#include "import/camera_set.h"
#include "tests/solvane_process.h"

namespace solvane::importer {
namespace {

// 0.0001 degree of latitude is 11.1 m.
Camera at(double lat, double lon, std::optional<std::int64_t> speed, std::optional<std::int64_t> dir,
          std::optional<std::int64_t> dtype = std::nullopt) {
  Camera c;
  std::string error;
  const auto text = [](double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return std::string(buf);
  };
  c.at = *positionFromTexts(text(lon), text(lat), error);
  c.speed = speed;
  c.direction = dir;
  c.dtype = dtype;
  return c;
}

Camera sectionAt(double lat, double lon, double lat2, double lon2) {
  Camera c = at(lat, lon, 80, 90);
  std::string error;
  const Camera end = at(lat2, lon2, std::nullopt, std::nullopt);
  c.end = end.at;
  return c;
}

// Each camera kept as speed/direction, then each merge as mergedFile:place>keptFile:place.
std::string describe(const CameraSet& set, const MergeReport& r) {
  std::string s;
  for (const Camera& c : set.cameras()) {
    s += (c.speed ? std::to_string(*c.speed) : "-") + "/" + (c.direction ? std::to_string(*c.direction) : "-") + " ";
  }
  s += "|";
  for (const CameraMerge& m : r.merges) {
    s += " " + std::to_string(m.mergedFile) + ":" + m.merged + ">" + std::to_string(m.keptFile) + ":" + m.kept;
  }
  return s;
}

TEST(CameraMerge, TableOfCases) {
  constexpr double la = 48.1, lo = 11.5, m = 0.00001;  // m: 1.1 m of latitude
  struct Case {
    const char* what;
    std::vector<std::vector<Camera>> files;
    std::string expected;
  };
  const Case cases[] = {
      {"the first file's values win, what it lacks comes from the second",
       {{at(la, lo, std::nullopt, 90), at(la + 0.01, lo, 60, std::nullopt)},
        {at(la + 3 * m, lo, 50, 95), at(la + 0.01, lo, 70, 180)}},
       "50/90 60/180 | 1:b0>0:a0 1:b1>0:a1"},
      {"within one file too", {{at(la, lo, 60, 90), at(la + 2 * m, lo, 80, 90)}}, "60/90 | 0:a1>0:a0"},
      {"opposite directions stay two cameras; DTYPE 2 agrees either way",
       {{at(la, lo, 60, 0), at(la + 0.01, lo, 60, 0, 2)}, {at(la + m, lo, 60, 180), at(la + 0.01 + m, lo, 60, 180, 2)}},
       "60/0 60/0 60/180 | 1:b1>0:a1"},
      {"farther than METRES apart: two cameras",
       {{at(la, lo, 60, 90)}, {at(la + 0.0002, lo, 60, 90)}},
       "60/90 60/90 |"},
      {"no chains: a camera joins only one that kept its own place, so the third stays",
       {{at(la, lo, 60, 90)}, {at(la + 7 * m, lo, 70, 90)}, {at(la + 14 * m, lo, 80, 90)}},
       "60/90 80/90 | 1:b0>0:a0"},
      {"the nearest camera wins, not the first",
       {{at(la, lo, 60, 90), at(la + 12 * m, lo, 80, 90)}, {at(la + 8 * m, lo, std::nullopt, 90)}},
       "60/90 80/90 | 1:b0>0:a1"},
      {"sections by both ends; a point never joins a section",
       {{sectionAt(la, lo, la + 0.02, lo), sectionAt(la + 0.05, lo, la + 0.07, lo)},
        {sectionAt(la + m, lo, la + 0.02 + m, lo), sectionAt(la + 0.05, lo, la + 0.071, lo), at(la, lo, 60, 90)}},
       "80/90 80/90 80/90 60/90 | 1:b0>0:a0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CameraSet set;
    std::vector<std::size_t> perFile;
    for (std::size_t f = 0; f < c.files.size(); ++f) {
      for (std::size_t k = 0; k < c.files[f].size(); ++k) {
        set.add(c.files[f][k], std::string(1, static_cast<char>('a' + f)) + std::to_string(k));
      }
      perFile.push_back(c.files[f].size());
    }
    const MergeReport r = mergeCameras(set, perFile, 10.0);
    EXPECT_EQ(describe(set, r), c.expected);
    std::size_t counted = 0;
    for (const auto& row : r.merged) {
      for (const std::size_t n : row) counted += n;
    }
    EXPECT_EQ(counted, r.merges.size());
    EXPECT_EQ(set.places().size(), set.cameras().size());
  }
}

TEST(CameraMerge, TheCommandSaysWhatMergedFromWhere) {
  const std::filesystem::path dir = solvane::testing::freshFolder("camera_merge_cli");
  solvane::testing::writeAll(dir / "a.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "geometry": {"type": "Point", "coordinates": [11.5, 48.1]}, "properties": {"direction": 90}},
    {"type": "Feature", "geometry": {"type": "Point", "coordinates": [11.6, 48.1]}, "properties": {"speed": 80}}]})");
  solvane::testing::writeAll(dir / "b.geojson", R"({"type": "FeatureCollection", "features": [
    {"type": "Feature", "geometry": {"type": "Point", "coordinates": [11.50003, 48.1]}, "properties": {"speed": 50, "direction": 92}}]})");
  const std::string a = (dir / "a.geojson").string(), b = (dir / "b.geojson").string();
  const solvane::testing::Outcome merged =
      solvane::testing::runSolvane({"import", a, b, "--merge", "5", "--verbose", "--output-dir", dir.string()});
  ASSERT_EQ(merged.exitCode, 0) << merged.err;
  EXPECT_NE(merged.out.find("merged 1 camera(s) within 5 m: 1 from \"" + b + "\" into \"" + a + "\"\n"),
            std::string::npos)
      << merged.out;
  EXPECT_NE(merged.out.find("  merged \"" + b + "\" feature 1 into \"" + a + "\" feature 1 (2.2 m, took its speed)\n"),
            std::string::npos)
      << merged.out;
  const std::string list = solvane::testing::readAll(dir / "Solvane.txt");
  EXPECT_NE(list.find("\n1,11.5,48.1"), std::string::npos) << list;
  EXPECT_NE(list.find(",1,50,1,90\r\n"), std::string::npos) << list;
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 3);

  // Without --merge every camera is kept, and nothing is said about merging.
  const solvane::testing::Outcome plain = solvane::testing::runSolvane({"import", a, b, "--output-dir", dir.string()});
  EXPECT_EQ(plain.out.find("merged"), std::string::npos);
  const std::string all = solvane::testing::readAll(dir / "Solvane.txt");
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 4);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace solvane::importer

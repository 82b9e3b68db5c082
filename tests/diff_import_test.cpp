// solvane diff with imports on one side: an import and the lists `solvane import` made of it
// compare equal, and a change shows with the import's item as its source.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/solvane_process.h"

namespace {

namespace fs = std::filesystem;
using solvane::testing::Outcome;
using solvane::testing::runSolvane;

TEST(DiffImport, AnImportAndItsListsCompareEqual) {
  const fs::path dir = solvane::testing::freshFolder("diff_import");
  for (const char* name : {"osm_cameras.osm", "osm_enforcement.osm", "gpx_waypoints.gpx", "geojson_features.geojson",
                           "csv_open_data_approaches.csv"}) {
    SCOPED_TRACE(name);
    const fs::path source = fs::path(SOLVANE_SOURCE_DIR) / "tests" / "import_fixtures" / name;
    const fs::path out = dir / name;
    fs::create_directories(out);
    ASSERT_EQ(runSolvane({"import", source.string(), "--output-dir", out.string()}).exitCode, 0);
    std::vector<std::string> args{"diff", "--old", (out / "Solvane.txt").string()};
    if (fs::exists(out / "Autodoria.txt")) args.push_back((out / "Autodoria.txt").string());
    args.insert(args.end(), {"--new", source.string()});
    const Outcome same = runSolvane(args);
    EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
    EXPECT_NE(same.out.find(" 0 changed, "), std::string::npos) << same.out;
  }

  // One camera's speed changed in the list: named by the OSM node it came from.
  const fs::path osm = fs::path(SOLVANE_SOURCE_DIR) / "tests" / "import_fixtures" / "osm_cameras.osm";
  std::string list = solvane::testing::readAll(dir / "osm_cameras.osm" / "Solvane.txt");
  const std::size_t first = list.find('\n') + 1;  // the first camera's line
  const std::size_t speed = [&] {
    std::size_t p = first;
    for (int f = 0; f < 4; ++f) p = list.find(',', p) + 1;
    return p;
  }();
  list.replace(speed, list.find(',', speed) - speed, "130");
  solvane::testing::writeAll(dir / "changed.txt", list);
  const Outcome changed =
      runSolvane({"diff", "--old", (dir / "changed.txt").string(), "--new", osm.string(), "--format", "json"});
  EXPECT_EQ(changed.exitCode, 1) << changed.err;
  EXPECT_NE(changed.out.find("\"changed\": 1,"), std::string::npos) << changed.out;
  EXPECT_NE(changed.out.find("\"id\": \"node "), std::string::npos) << changed.out;
  EXPECT_NE(changed.out.find("{\"field\": \"SPD\", \"old\": 130"), std::string::npos) << changed.out;
  fs::remove_all(dir);
}

}  // namespace

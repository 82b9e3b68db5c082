// `solvane import` as a user runs it: what it prints, its exit statuses, and that a failed run
// leaves the output folder exactly as it was.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/import_progress.h"
#include "tests/solvane_process.h"

namespace solvane::testing {
namespace {

const fs::path kFixtures = fs::path(SOLVANE_SOURCE_DIR) / "tests/import_fixtures";

std::string fixture(const char* name) { return (kFixtures / name).string(); }

TEST(ImportCli, MergesFilesWritesBothListsAndConvertAndCheckTakeThem) {
  const fs::path dir = freshFolder("import_merge");
  writeAll(dir / "Solvane.txt", "old list, replaced whole\n");
  const Outcome r = runSolvane({"import", fixture("csv_quotes@50.csv"), fixture("kml_placemarks.kml"),
                                fixture("osm_cameras.osm"), "--output-dir", dir.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("(CSV): 3 point(s), 0 section(s), 3 skipped"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(KML): 2 point(s), 1 section(s), 3 skipped"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("(OpenStreetMap XML): 6 point(s), 1 section(s), 0 skipped"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("note: " + fixture("osm_cameras.osm") + ", relation 101: to node 999 is not in the file"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Solvane.txt\" (11 point(s))"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Autodoria.txt\" (2 section(s))"), std::string::npos) << r.out;
  const std::string normal = readAll(dir / "Solvane.txt");
  EXPECT_EQ(normal.substr(0, 28), "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n");
  EXPECT_NE(normal.find("\r\n4,127.1,37.1,1,30,0,\r\n"), std::string::npos) << normal;  // KML after CSV

  const Outcome check = runSolvane(
      {"check", "--normal", (dir / "Solvane.txt").string(), "--autodoria", (dir / "Autodoria.txt").string()});
  // The lists load whole; check may still report the sources' own data (a DTYPE 2 without DIR).
  EXPECT_NE(check.out.find("13 rows, 13 records would be written (2 sections); problems: 0 skipped, 0 written at 0, "
                           "0 sections without end point"),
            std::string::npos)
      << check.out << check.err;
  const Outcome convert = runSolvane({"convert", "--normal", (dir / "Solvane.txt").string(), "--autodoria",
                                      (dir / "Autodoria.txt").string(), "--output-dir", dir.string(), "--date",
                                      "2024-11-05", "--seed", "1"});
  EXPECT_EQ(convert.exitCode, 0) << convert.err;
  const Outcome inspect = runSolvane({"inspect", (dir / "DB_241105.dbh").string()});
  EXPECT_NE(inspect.out.find("13"), std::string::npos) << inspect.out;
  fs::remove_all(dir);
}

// A bad file anywhere in the run: exit 1, the file and place named, nothing written or changed.
TEST(ImportCli, AFileThatCannotBeParsedWritesNothing) {
  const fs::path dir = freshFolder("import_fail");
  writeAll(dir / "Solvane.txt", "old normal\n");
  writeAll(dir / "Autodoria.txt", "old autodoria\n");
  const Snapshot before = snapshot(dir);
  struct Case {
    std::vector<std::string> files;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{fixture("gpx_waypoints.gpx"), fixture("kml_truncated.kml")},
       "\"" + fixture("kml_truncated.kml") + "\": line 3, column 21: not well-formed XML (no element found)"},
      {{fixture("geojson_truncated.geojson")}, "line 2, byte 133: not valid JSON"},
      {{fixture("csv_utf16.csv")}, "line 1, byte 1: UTF-16 text; save the file as UTF-8 or Latin-1"},
      {{fixture("osm_truncated.osm")}, "line 4, column 1: not valid OSM XML (unclosed token)"},
      {{fixture("csv_empty.csv")}, "no cameras to write"},
      {{(dir / "missing.gpx").string()}, "no such file"},
      {{(kFixtures / "..").string()}, "it is a folder"},
      {{fixture("osm_cameras.osm.expected")}, "the format is not known from its name or content; give --format"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args{"import"};
    args.insert(args.end(), c.files.begin(), c.files.end());
    args.insert(args.end(), {"--output-dir", dir.string()});
    const Outcome r = runSolvane(args);
    EXPECT_EQ(r.exitCode, 1) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nothing was written."), std::string::npos) << r.err;
    EXPECT_EQ(snapshot(dir), before) << c.message;
  }
  // A folder that cannot take the lists: the same.
  const Outcome r = runSolvane({"import", fixture("gpx_waypoints.gpx"), "--output-dir", (dir / "nope").string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("File open Error"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(dir), before);
  fs::remove_all(dir);
}

TEST(ImportCli, RegionOptionsDefaultsAndUsageErrors) {
  const fs::path dir = freshFolder("import_region");
  writeAll(dir / "area.geojson",
           R"({"type": "Polygon", "coordinates": [[[11, 48], [12, 48], [12, 48.45], [11, 48.45], [11, 48]],
                [[11.69, 48.29], [11.71, 48.29], [11.71, 48.31], [11.69, 48.31], [11.69, 48.29]]]})");
  Outcome r = runSolvane({"import", fixture("osm_cameras.osm"), "--within", (dir / "area.geojson").string(), "--bbox",
                          "11.6,48,13,49", "--type", "7", "--red-light-type", "9", "--dtype", "1", "--output-dir",
                          dir.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Inside both: node 2 and the red-light camera at node 4 (node 3 is in the hole, node 1 west of
  // the box); the section starting at node 10 (48.4) too. Outside: nodes 1 and 3 and the
  // cameras of relations 102 and 103 (at 48.6 and 48.7).
  EXPECT_EQ(readAll(dir / "Solvane.txt"),
            "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,11.6,48.2,7,48,1,\r\n2,11.75,48.35,9,,1,\r\n");
  EXPECT_NE(r.out.find("4 outside the region"), std::string::npos) << r.out;
  writeAll(dir / "Autodoria.txt", "an older list\n");
  r = runSolvane({"import", fixture("gpx_waypoints.gpx"), "--output-dir", dir.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readAll(dir / "Autodoria.txt"), "an older list\n");
  EXPECT_NE(r.out.find("was left as it was"), std::string::npos) << r.out;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"import", fixture("gpx_waypoints.gpx"), "--bbox", "1,2,3"},
        std::vector<std::string>{"import", fixture("gpx_waypoints.gpx"), "--bbox", "3,2,1,4"},
        std::vector<std::string>{"import", fixture("gpx_waypoints.gpx"), "--format", "shp"},
        std::vector<std::string>{"import", "--output-dir", dir.string()}}) {
    EXPECT_EQ(runSolvane(args).exitCode, 2) << args.back();
  }
  r = runSolvane({"import", fixture("gpx_waypoints.gpx"), "--within", fixture("gpx_waypoints.gpx")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("not valid JSON"), std::string::npos) << r.err;
  fs::remove_all(dir);
}

// A table whose names are not recognised: the error lists them; --columns names them.
TEST(ImportCli, ColumnsNamedByTheUser) {
  const fs::path dir = freshFolder("import_columns");
  writeAll(dir / "cams.csv", "Ort;Ost;Nord;Tempo\r\nA;11,5;48,1;50\r\nB;11,6;48,2;30\r\n");
  Outcome r = runSolvane({"import", (dir / "cams.csv").string(), "--output-dir", dir.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("(\"Ort\", \"Ost\", \"Nord\", \"Tempo\"); name them with --columns"), std::string::npos)
      << r.err;
  r = runSolvane(
      {"import", (dir / "cams.csv").string(), "--columns", "lon=ost,lat=NORD", "--output-dir", dir.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readAll(dir / "Solvane.txt"),
            "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,11.5,48.1,1,50,0,\r\n2,11.6,48.2,1,30,0,\r\n");
  r = runSolvane(
      {"import", (dir / "cams.csv").string(), "--columns", "lon=Ost,lat=Breite", "--output-dir", dir.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("--columns lat=Breite: no such column in the header"), std::string::npos) << r.err;
  for (const char* bad : {"lon", "height=Ost", "lon=Ost,"}) {
    EXPECT_EQ(
        runSolvane({"import", (dir / "cams.csv").string(), "--columns", bad, "--output-dir", dir.string()}).exitCode, 2)
        << bad;
  }
  fs::remove_all(dir);
}

// The progress line: nothing when standard error is no terminal or the import ends within a
// second; then a few updates a second on one line, the last state, a line feed.
TEST(ImportCli, ProgressLineOnlyOnATerminalAndOnlyAfterASecond) {
  using Clock = cli::ImportProgressLine::Clock;
  Clock::time_point t{};
  const auto clock = [&] { return t; };
  const importer::ImportProgress half{50'000'000, 100'000'000, 1234};
  for (const bool terminal : {false, true}) {
    std::ostringstream out;
    cli::ImportProgressLine line(terminal, out, clock);
    t += std::chrono::milliseconds(900);
    line.update(half);
    EXPECT_EQ(out.str(), "");  // under a second: nothing yet
    t += std::chrono::milliseconds(200);
    line.update(half);
    line.update({60'000'000, 100'000'000, 1300});  // within 200 ms of the last: not shown
    t += std::chrono::milliseconds(300);
    line.update({0, 0, 7});
    line.update({100'000'000, 100'000'000, 1400});  // the end, too soon for an update: shown by finish
    line.finish();
    EXPECT_EQ(out.str(), terminal ? "\rimporting:  50 % (50.0 of 100.0 MB read), 1234 camera(s)"
                                    "\rimporting: 0.0 MB read, 7 camera(s)" +
                                        std::string(21, ' ') +
                                        "\rimporting: 100 % (100.0 of 100.0 MB read), 1400 camera(s)\n"
                                  : "");
  }
}

}  // namespace
}  // namespace solvane::testing

// solvane diff as a user runs it: two releases of the bundled lists, their database, the
// report forms and the exit statuses.
#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/solvane_process.h"

namespace {

namespace fs = std::filesystem;
using solvane::testing::Outcome;
using solvane::testing::readAll;
using solvane::testing::runSolvane;
using Args = std::vector<std::string>;

// The line of `list` whose first field is `idx` (the first such line after the header).
std::size_t lineStart(const std::string& list, const std::string& idx) {
  const std::size_t at = list.find("\n" + idx + ",");
  EXPECT_NE(at, std::string::npos) << idx;
  return at + 1;
}

void replaceField(std::string& list, const std::string& idx, int field, const std::string& value) {
  std::size_t p = lineStart(list, idx);
  for (int f = 0; f < field; ++f) p = list.find(',', p) + 1;
  const std::size_t end = list.find_first_of(",\r\n", p);
  list.replace(p, end - p, value);
}

class DiffCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = solvane::testing::freshFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_ / "old");
    fs::create_directories(dir_ / "new");
    normal_ = readAll(SOLVANE_EXAMPLES "/Solvane.txt");
    autodoria_ = readAll(SOLVANE_EXAMPLES "/Autodoria.txt");
    solvane::testing::writeAll(dir_ / "old" / "Solvane.txt", normal_);
    solvane::testing::writeAll(dir_ / "old" / "Autodoria.txt", autodoria_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& rel) const { return (dir_ / rel).string(); }
  Args oldSide() const { return {path("old/Solvane.txt"), path("old/Autodoria.txt")}; }
  Args newSide() const { return {path("new/Solvane.txt"), path("new/Autodoria.txt")}; }
  Outcome diff(const Args& old, const Args& neu, const Args& more = {}) const {
    Args args{"diff", "--old"};
    args.insert(args.end(), old.begin(), old.end());
    args.push_back("--new");
    args.insert(args.end(), neu.begin(), neu.end());
    args.insert(args.end(), more.begin(), more.end());
    return runSolvane(args);
  }

  fs::path dir_;
  std::string normal_, autodoria_;
};

TEST_F(DiffCli, TwoReleasesOfTheBundledLists) {
  std::string normal = normal_, autodoria = autodoria_;
  // Removed: IDX 5. Moved: IDX 7, 0.0002 degree east (17.8 m). Changed: IDX 9's speed.
  // Added: a camera far from all others. A section's speed changed: IDX 3/4 of Autodoria.
  const std::size_t five = lineStart(normal, "5");
  normal.erase(five, normal.find('\n', five) + 1 - five);
  replaceField(normal, "7", 1, "127.520116");
  replaceField(normal, "9", 4, "110");
  normal += "400,126.500000,37.900000,1,60,1,90\r\n";
  replaceField(autodoria, "3", 4, "110");
  solvane::testing::writeAll(dir_ / "new" / "Solvane.txt", normal);
  solvane::testing::writeAll(dir_ / "new" / "Autodoria.txt", autodoria);

  const Outcome text = diff(oldSide(), newSide());
  EXPECT_EQ(text.exitCode, 1) << text.err;
  EXPECT_NE(text.out.find("diff: 1 added, 1 removed, 1 moved, 2 changed, 356 unchanged\n"), std::string::npos)
      << text.out;
  EXPECT_TRUE(std::regex_search(text.out, std::regex("removed  .*old.Solvane.txt:9: point 128.9845,35.3293")));
  EXPECT_TRUE(std::regex_search(text.out, std::regex("moved    .*old.Solvane.txt:11 -> .*new.Solvane.txt:10: 17.8 m")));
  EXPECT_TRUE(
      std::regex_search(text.out, std::regex("changed  .*old.Solvane.txt:13 -> .*new.Solvane.txt:12: SPD 100 -> 110")));
  EXPECT_TRUE(std::regex_search(text.out,
                                std::regex("changed  .*old.Autodoria.txt:4 -> .*new.Autodoria.txt:4: SPD 100 -> 110")));
  EXPECT_TRUE(std::regex_search(text.out, std::regex("added    .*new.Solvane.txt:336: point 126.5000,37.9000")));

  const Outcome json = diff(oldSide(), newSide(), {"--format", "json"});
  EXPECT_EQ(json.exitCode, 1);
  EXPECT_NE(
      json.out.find("\"summary\": {\"added\": 1, \"removed\": 1, \"moved\": 1, \"changed\": 2, \"unchanged\": 356}"),
      std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("{\"kind\": \"added\", \"old\": null, \"new\": {\"source\": "), std::string::npos);
  EXPECT_NE(json.out.find("\"line\": 13, \"x\": 128.9548"), std::string::npos);

  const Outcome geojson = diff(oldSide(), newSide(), {"--format", "geojson"});
  EXPECT_NE(geojson.out.find("{\"type\": \"LineString\", \"coordinates\": [[127.5199, 36.9150], [127.5201, 36.9150]]}"),
            std::string::npos)
      << geojson.out;
  const Outcome csv = diff(oldSide(), newSide(), {"--format", "csv"});
  EXPECT_EQ(csv.out.substr(0, 17), "kind,old_source,o");
  EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 6);

  // With --near below the move, the moved camera is another camera.
  const Outcome tight = diff(oldSide(), newSide(), {"--near", "10"});
  EXPECT_NE(tight.out.find("diff: 2 added, 2 removed, 0 moved, 2 changed, 356 unchanged\n"), std::string::npos)
      << tight.out;
}

TEST_F(DiffCli, NothingChangedAgainstItsOwnDatabase) {
  fs::create_directories(dir_ / "db");
  const Outcome converted = runSolvane({"convert", "--normal", path("old/Solvane.txt"), "--autodoria",
                                        path("old/Autodoria.txt"), "--output-dir", path("db"), "--date", "2025-01-01"});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  const std::string db = path("db/DB_250101.dbh");
  const Outcome same = diff({db}, oldSide());
  EXPECT_EQ(same.exitCode, 0) << same.out << same.err;
  EXPECT_EQ(same.out, "diff: 0 added, 0 removed, 0 moved, 0 changed, 360 unchanged\n");
  // The lists in the other order on one side are told apart by name and header all the same.
  EXPECT_EQ(diff({path("old/Autodoria.txt"), path("old/Solvane.txt")}, {db}).exitCode, 0);
}

TEST_F(DiffCli, TroubleExitsTwo) {
  for (const Args& args : std::vector<Args>{
           {"diff", "--old", path("old/Solvane.txt"), "--new", path("missing.txt")},
           {"diff", "--old", path("old"), "--new", path("old/Solvane.txt")},
           {"diff", "--old", path("old/Solvane.txt")},
           {"diff", "--old", path("old/Solvane.txt"), "--new", path("old/Solvane.txt"), "--near", "0"},
           {"diff", "--old", path("old/Solvane.txt"), "--new", path("old/Solvane.txt"), "--format", "xml"},
       }) {
    const Outcome r = runSolvane(args);
    EXPECT_EQ(r.exitCode, 2) << args.back() << r.out << r.err;
    EXPECT_FALSE(r.err.empty());
  }
  solvane::testing::writeAll(dir_ / "bad.txt", "hello world\n");
  const Outcome bad = runSolvane({"diff", "--old", path("bad.txt"), "--new", path("old/Solvane.txt")});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("bad.txt"), std::string::npos) << bad.err;
}

}  // namespace

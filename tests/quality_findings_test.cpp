#include "check/quality_findings.h"
#include "check/table_findings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace solvane {
namespace {

// A table from list lines: "IDX,X,Y,TYPE,SPD,DTYPE,DIR" and, for a section, the end point's
// seven fields after them.
CameraTable tableOf(const std::vector<std::string>& lines) {
  CameraTable table;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::vector<std::string_view> cells;
    std::string_view rest = lines[i];
    while (true) {
      const auto comma = rest.find(',');
      cells.push_back(rest.substr(0, comma));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    table.appendRow(cells, static_cast<ItemData>(i + 1));
  }
  return table;
}

std::vector<QualityFinding> findingsOf(const std::vector<std::string>& lines, QualityOptions options = {}) {
  // The table refers to the lines' bytes only through views it copies, so a temporary is fine.
  const CameraTable table = tableOf(lines);
  return checkQuality(table, options, [](std::size_t row) { return "row " + std::to_string(row + 1); });
}

const QualityFinding* find(const std::vector<QualityFinding>& all, std::string_view kind, std::size_t row) {
  for (const QualityFinding& f : all) {
    if (f.kind == kind && f.row == row) return &f;
  }
  return nullptr;
}

// Thirty points spread over a degree square (lon 10..11, lat 50..51), for the list's area.
std::vector<std::string> area() {
  std::vector<std::string> lines;
  for (int k = 0; k < 30; ++k) {
    const std::string lon = std::to_string(10.0 + k / 29.0), lat = std::to_string(50.0 + ((k * 7) % 30) / 29.0);
    lines.push_back(std::to_string(k + 100) + "," + lon + "," + lat + ",3,100,0,0");
  }
  return lines;
}

std::vector<std::string> withArea(std::vector<std::string> lines) {
  for (std::string& l : area()) lines.push_back(std::move(l));
  return lines;
}

std::vector<std::string> speedTypeList(int withSpeed, int without) {
  std::vector<std::string> lines{"1,10.5,50.5,1,,0,0"};
  for (int k = 0; k < withSpeed; ++k) lines.push_back("2,10." + std::to_string(k + 10) + ",50.3,1,60,0,0");
  for (int k = 1; k < without; ++k) lines.push_back("3,10." + std::to_string(k + 40) + ",50.2,1,0,0,0");
  return lines;
}

// Each finding on a fixture that shows it, and on one just across its threshold that does
// not; the finding (or its absence) is looked for on the list's first row.
TEST(QualityFindings, EachFindingAndItsAbsenceAcrossTheThreshold) {
  struct Case {
    const char* kind;
    bool problem;
    std::vector<std::string> shows, doesNot;
  };
  // A section from (10, 50) to the north: 0.001 degree is about 111 m.
  const auto section = [](const std::string& startRest, const std::string& end) {
    return "1,10,50," + startRest + ",2," + end;
  };
  const std::vector<Case> cases{
      {"directionMissing", true, {"1,10.5,50.5,1,60,1,"}, {"1,10.5,50.5,1,60,0,"}},
      {"directionMissing", false, {"1,10.5,50.5,1,60,2,north"}, {"1,10.5,50.5,1,60,2,0"}},
      {"directionOutOfRange", true, {"1,10.5,50.5,1,60,1,361"}, {"1,10.5,50.5,1,60,1,360"}},
      {"directionOutOfRange", true, {"1,10.5,50.5,1,60,2,-1"}, {"1,10.5,50.5,1,60,2,0"}},
      {"directionTypeUnknown", false, {"1,10.5,50.5,1,60,3,90"}, {"1,10.5,50.5,1,60,2,90"}},
      {"speedWrapped", true, {"1,10.5,50.5,1,256,0,0"}, {"1,10.5,50.5,1,250,0,0"}},
      {"speedWrapped", true, {"1,10.5,50.5,1,-5,0,0"}, {"1,10.5,50.5,1,0,0,0"}},
      {"speedImplausible", false, {"1,10.5,50.5,1,155,0,0"}, {"1,10.5,50.5,1,150,0,0"}},
      {"speedImplausible", false, {"1,10.5,50.5,1,63,0,0"}, {"1,10.5,50.5,1,65,0,0"}},
      {"speedMissing", true, {section("3,,1,0", "10,50.01,3,,1,0")}, {section("3,10,1,0", "10,50.01,3,10,1,0")}},
      {"speedMissing", true, {section("3,9,1,0", "10,50.01,3,9,1,0")}, {section("3,10,1,0", "10,50.01,3,10,1,0")}},
      // 9 of 10 TYPE 1 points carry a speed, so the tenth lost it; 8 of 10 is not enough.
      {"speedMissing", false, speedTypeList(9, 1), speedTypeList(8, 2)},
      {"sectionSameSpot",
       true,
       {section("3,80,1,0", "10,50.000005,3,80,1,0")},
       {section("3,80,1,0", "10,50.00002,3,80,1,0")}},
      {"sectionShort",
       false,
       {section("3,80,1,0", "10,50.0017,3,80,1,0")},
       {section("3,80,1,0", "10,50.0019,3,80,1,0")}},
      {"sectionLong", false, {section("3,80,1,0", "10,50.455,3,80,1,0")}, {section("3,80,1,0", "10,50.445,3,80,1,0")}},
      {"sectionEndFar", true, {section("3,80,1,0", "10,52.71,3,80,1,0")}, {section("3,80,1,0", "10,52.69,3,80,1,0")}},
      {"sectionSpeeds", false, {section("3,80,1,0", "10,50.01,3,100,1,0")}, {section("3,80,1,0", "10,50.01,3,80,1,0")}},
      {"sectionDirection",
       false,
       {section("3,80,1,91", "10,50.01,3,80,1,0")},
       {section("3,80,1,89", "10,50.01,3,80,1,0")}},
      {"sectionDirection",
       false,
       {section("3,80,1,269", "10,50.01,3,80,1,0")},
       {section("3,80,1,271", "10,50.01,3,80,1,0")}},
      // Exchanged, the first row falls inside the area's fences (lon up to about 13.3); one
      // exchanged to lon 13.6 does not.
      {"swappedCoordinates", true, withArea({"1,50.5,13.0,3,100,0,0"}), withArea({"1,50.5,13.6,3,100,0,0"})},
      {"swappedCoordinates", true, withArea({"1,50.5,10.5,3,100,0,0"}), area()},
      // 0.00017 degree of latitude is 18.9 m, 0.00019 is 21.1 m.
      {"nearDuplicate",
       false,
       {"1,10.5,50.5,1,60,1,90", "2,10.5,50.50017,1,60,1,90"},
       {"1,10.5,50.5,1,60,1,90", "2,10.5,50.50019,1,60,1,90"}},
      {"nearCluster",
       false,
       {"1,10.5,50.5,1,60,1,90", "2,10.5,50.50017,1,60,1,90", "3,10.5,50.50034,1,60,1,90"},
       {"1,10.5,50.5,1,60,1,90", "2,10.5,50.50017,1,60,1,90", "3,10.5,50.50036,1,60,1,90"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + " on " + c.shows.front());
    const std::vector<QualityFinding> shown = findingsOf(c.shows);
    const QualityFinding* f = find(shown, c.kind, 0);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->problem, c.problem);
    EXPECT_FALSE(f->text.empty());
    EXPECT_FALSE(f->cells.empty());
    EXPECT_EQ(find(findingsOf(c.doesNot), c.kind, 0), nullptr) << "still found on " << c.doesNot.front();
  }
}

TEST(QualityFindings, NearDuplicateSaysHowFarAndWhatAgrees) {
  const auto text = [](const std::vector<std::string>& lines) {
    const std::vector<QualityFinding> all = findingsOf(lines);
    const QualityFinding* f = find(all, "nearDuplicate", 0);
    return f ? f->text : std::string("(none)");
  };
  EXPECT_EQ(text({"1,10.5,50.5,1,60,1,90", "2,10.5,50.5001,1,60,1,115"}),
            "near duplicate: 11.1 m from row 2, facing the same way, same TYPE, same speed");
  EXPECT_EQ(text({"1,10.5,50.5,1,60,1,90", "2,10.5,50.5001,3,80,1,125"}),
            "near duplicate: 11.1 m from row 2, directions 35° apart, TYPE 1 and 3, speeds 60 and 80");
  // Both ways along an axis: 90 and 270 are the same axis.
  EXPECT_EQ(text({"1,10.5,50.5,1,60,2,90", "2,10.5,50.5001,1,60,1,270"}),
            "near duplicate: 11.1 m from row 2, facing the same way, same TYPE, same speed");
  EXPECT_EQ(text({"1,10.5,50.5,1,60,0,0", "1,10.5,50.5001,3,80,1,0,2,10.5,50.6,3,80,1,0"}),
            "near duplicate: 11.1 m from row 2, TYPE 1 and 16, speeds 60 and 80, a point and a section start");
  // --near 10 leaves them apart, --near 0 turns the search off.
  EXPECT_EQ(
      find(findingsOf({"1,10.5,50.5,1,60,0,0", "2,10.5,50.5001,1,60,0,0"}, {.nearMetres = 10}), "nearDuplicate", 0),
      nullptr);
  EXPECT_EQ(find(findingsOf({"1,10.5,50.5,1,60,0,0", "2,10.5,50.5,1,60,0,0"}, {.nearMetres = 0}), "nearDuplicate", 0),
            nullptr);
}

TEST(QualityFindings, ClusterIsReportedOnceWithItsSize) {
  std::vector<std::string> lines;
  for (int k = 0; k < 1000; ++k)
    lines.push_back(std::to_string(k) + ",10.5,50.5000" + std::to_string(k % 7) + ",1,60,1,90");
  // k % 7 spreads them over 0.00006 degree (7 m) of latitude.
  const std::vector<QualityFinding> all = findingsOf(lines);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_STREQ(all[0].kind, "nearCluster");
  EXPECT_EQ(all[0].groupSize, 1000u);
  EXPECT_EQ(all[0].others.size(), 999u);
  EXPECT_EQ(all[0].text.rfind("near duplicates: 1000 rows within 6.7 m of this one (row 2, row 3,", 0), 0u)
      << all[0].text;
}

TEST(QualityFindings, SectionBoundsFollowTheOptions) {
  const std::vector<std::string> oneKm{"1,10,50,3,80,1,0,2,10,50.009,3,80,1,0"};
  EXPECT_EQ(find(findingsOf(oneKm), "sectionShort", 0), nullptr);
  EXPECT_NE(find(findingsOf(oneKm, {.sectionMinMetres = 1500}), "sectionShort", 0), nullptr);
  EXPECT_NE(find(findingsOf(oneKm, {.sectionMaxMetres = 900}), "sectionLong", 0), nullptr);
}

TEST(QualityFindings, RowsTheRowCheckFlagsGetNoFurtherFindings) {
  // Skipped (out of range) and written at 0: the row check says so; a direction or a
  // near duplicate measured at a wrong place would only add noise.
  const std::vector<QualityFinding> all =
      findingsOf({"1,200,50.5,1,60,1,", "2,,50.5,1,60,1,400", "3,,50.5,1,60,1,400"});
  EXPECT_TRUE(all.empty()) << all.front().kind;
}

TEST(QualityFindings, FormatMetres) {
  EXPECT_EQ(formatMetres(0.04), "0.0 m");
  EXPECT_EQ(formatMetres(12.345), "12.3 m");
  EXPECT_EQ(formatMetres(1250), "1.25 km");
  EXPECT_EQ(formatMetres(450000), "450 km");
}

}  // namespace
}  // namespace solvane

namespace solvane {
namespace {

TEST(TableFindings, EveryMemberOfAGroupSaysWhereItBelongsAndProblemsComeFirst) {
  // Rows 1-3 within 20 m of each other; row 4 is 11 m from row 5 and has a DIR of 400.
  const CameraTable table = tableOf({"1,10.5,50.5,1,60,0,0", "2,10.5,50.50015,1,60,0,0", "3,10.5,50.5003,1,60,0,0",
                                     "4,10.7,50.7,1,60,0,0", "5,10.7,50.7001,1,65,1,400"});
  const TableFindings f = TableFindings::build(table);
  EXPECT_EQ(f.text(0), "near duplicates: 3 rows within 33.4 m of this one (row 2, row 3)");
  EXPECT_EQ(f.text(1), "near duplicates: one of 3 rows within 33.4 m of row 1");
  EXPECT_EQ(f.text(2), "near duplicates: one of 3 rows within 33.4 m of row 1");
  EXPECT_EQ(f.text(3), "near duplicate: 11.1 m from row 5, same TYPE, speeds 60 and 65");
  EXPECT_EQ(f.text(4),
            "DIR 400 is outside 0..360 for DTYPE 1: written as half-direction 110; near duplicate: 11.1 m from row 4");
  EXPECT_FALSE(f.problem(3));
  EXPECT_TRUE(f.problem(4));
  EXPECT_EQ(f.problemRows(), std::vector<std::uint32_t>{4});
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> joined{{0, 1}, {0, 2}, {3, 4}};
  EXPECT_EQ(f.joined(), joined);
}

}  // namespace
}  // namespace solvane

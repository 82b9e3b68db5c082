// The two list parsers, from small fixtures.
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "table/camera_table.h"
#include "load/autodoria_list.h"
#include "load/load_command.h"
#include "load/normal_list.h"
#include "tests/solvane_process.h"

namespace solvane {
namespace {

// A row as "cell|cell|..." up to its last non-empty cell, then "#itemdata".
std::vector<std::string> dump(const CameraTable& t) {
  std::vector<std::string> out;
  for (std::size_t r = 0; r < t.rowCount(); ++r) {
    const RowCells cells = t.cells(r);
    int last = kColumnCount;
    while (last > 0 && cells[static_cast<std::size_t>(last - 1)].empty()) --last;
    std::string s;
    for (int c = 0; c < last; ++c) {
      if (c) s += '|';
      s += cells[static_cast<std::size_t>(c)];
    }
    out.push_back(s + "#" + std::to_string(t.itemData(r)));
  }
  return out;
}

using Rows = std::vector<std::string>;

// Where the rows came from, one "line:fields" (a section: "line:fields>endLine:endFields") per
// row, the TYPE rule as "+empty" or "+2".
std::vector<std::string> dump(const std::vector<RowSource>& sources) {
  std::vector<std::string> out;
  for (const RowSource& s : sources) {
    std::string text = std::to_string(s.line) + ":" + std::to_string(s.fields);
    if (s.endLine) text += ">" + std::to_string(s.endLine) + ":" + std::to_string(s.endFields);
    if (s.typeRule == TypeRule::kEmptyStoredAsThree) text += "+empty";
    if (s.typeRule == TypeRule::kTwoStoredAsThree) text += "+2";
    out.push_back(text);
  }
  return out;
}

struct NormalCase {
  const char* name;
  std::string input;
  Rows rows;
  const char* error;  // nullptr: success
};

const std::string kHead = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n";

TEST(NormalList, Cases) {
  const NormalCase cases[] = {
      {"crlf data line with TYPE 2",
       "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n1,127.1,37.5,2,60,1,90\r\n",
       {"1|127.1|37.5|3|60|1|90#1"},
       nullptr},
      {"empty TYPE becomes 3, other TYPEs stay",
       kHead + "1,1,2,,60,0,0\n2,1,2,02,60,0,0\n3,1,2, 2,9,0,0\n",
       {"1|1|2|3|60|0|0#1", "2|1|2|02|60|0|0#2", "3|1|2| 2|9|0|0#3"},
       nullptr},
      {"TYPE ending its line is stored as read", kHead + "1,1,2,2\n", {"1|1|2|2#1"}, nullptr},
      {"rule touches column 3 only", kHead + "2,2,2,5,2,,2\n", {"2|2|2|5|2||2#1"}, nullptr},
      {"comments anywhere keep item data without gaps",
       "// top\n" + kHead + "// mid,1,2\n1,a\n//x\n2,b\n// end\n",
       {"1|a#1", "2|b#2"},
       nullptr},
      {"not comments", kHead + " //a,1\nx,//b\n", {" //a|1#1", "x|//b#2"}, nullptr},
      {"empty lines and bare CRs leave no row", "\n\r\n" + kHead + "\n\r\r\n1,a\n\n", {"1|a#1"}, nullptr},
      {"CR inside a field vanishes", kHead + "1,12\r.5,3\r\r7\n", {"1|12.5|37#1"}, nullptr},
      {"line of sixteen fields keeps fourteen",
       kHead + "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\n",
       {"0|1|2|3|4|5|6|7|8|9|10|11|12|13#1"},
       nullptr},
      {"line without a comma fills column 0", kHead + "lonely\n", {"lonely#1"}, nullptr},
      {"a lone comma makes an empty row", kHead + ",\n", {"#1"}, nullptr},
      {"quotes and blanks are plain bytes", kHead + "\"1\", 2 ,x\n", {"\"1\"| 2 |x#1"}, nullptr},
      {"last line without a line feed is kept whole", kHead + "1,a\n2,b,c", {"1|a#1", "2|b|c#2"}, nullptr},
      {"tail of carriage returns is nothing", kHead + "1,a\n\r\r", {"1|a#1"}, nullptr},
      {"header only", "// c\r\n" + kHead, {}, nullptr},
      {"header without final line feed", "IDX,X", {}, nullptr},
      {"zero bytes", "", {}, "Error : Wrong DB file !!!"},
      {"only comments", "// a\n// b\n", {}, "Error : Wrong DB file !!!"},
      {"header second field lower case", "IDX,x,Y\n1,2,3\n", {"IDX|x|Y#0", "1|2|3#1"}, "Error : Wrong DB file !!!"},
      {"header second field with a blank", "IDX, X\n", {"IDX| X#0"}, "Error : Wrong DB file !!!"},
  };
  for (const auto& c : cases) {
    CameraTable t;
    const auto error = parseNormalList(c.input, true, t, "list.txt");
    EXPECT_EQ(error ? error->message : std::string(), c.error ? c.error : "") << c.name;
    EXPECT_EQ(dump(t), c.rows) << c.name;
  }
}

// The loader says which line made each row, how many fields it had and whether the TYPE rule
// changed it: the list check reports from this alone.
TEST(NormalList, HandsOutEachRowsLineFieldsAndTypeRule) {
  CameraTable t;
  std::vector<RowSource> sources;
  ASSERT_FALSE(parseNormalList("// top\r\n" + kHead +
                                   "1,1,2,2,x\r\n"        // 3: "2" ended by a comma
                                   "\n"                   // 4
                                   "2,1,2,,x\n"           // 5: empty, ended by a comma
                                   "// 3,1,2,2,x\n"       // 6: a comment
                                   "4,1,2,2\n"            // 7: TYPE ends the line: stored as read
                                   "5,1,2,02,x\n"         // 8
                                   "6,1,2, 2,x\n"         // 9
                                   "7,1,2,3,x,5,6,7,8\n"  // 10: nine fields
                                   "8,1,2,2,",            // 11: last line without a line feed
                               true, t, "n.txt", 0, &sources));
  EXPECT_EQ(dump(sources), (Rows{"3:5+2", "5:5+empty", "7:4", "8:5", "9:5", "10:9", "11:5+2"}));
  ASSERT_EQ(sources.size(), t.rowCount());
  EXPECT_EQ(t.cell(0, kType), "3");
  EXPECT_EQ(t.cell(2, kType), "2");
}

TEST(NormalList, InterruptedReadKeepsTheEndedFieldsOfTheLastLine) {
  CameraTable t;
  EXPECT_FALSE(parseNormalList(kHead + "1,a\n2,b,2,2,pending", false, t, "list.txt"));
  // Header row still there (the completion never ran); the cut line has item data 0.
  EXPECT_EQ(dump(t), (Rows{"IDX|X|Y|TYPE|SPD|DTYPE|DIR#0", "1|a#1", "2|b|2|3#0"}));
}

TEST(NormalList, WrongHeaderNamesTheLine) {
  CameraTable t;
  const auto error = parseNormalList("// c\n\nIDX,Lon,Y\n", true, t, "/data/list.txt");
  ASSERT_TRUE(error);
  EXPECT_NE(error->detail.find("/data/list.txt"), std::string::npos) << error->detail;
  EXPECT_NE(error->detail.find("line 3"), std::string::npos) << error->detail;
  EXPECT_NE(error->detail.find("Lon"), std::string::npos) << error->detail;
}

// A large list is parsed in two parts on two threads: wherever the cut falls, rows, item
// data, messages and line numbers are those of the one-thread parse.
TEST(NormalList, ParsedInTwoPartsLikeInOne) {
  struct Input {
    std::string bytes;
    bool complete;
  };
  const Input inputs[] = {
      {"// top\r\n\n" + kHead + "1,a,2,2\r\n// mid\n2,b\r,3\n\n3,c\n4,d,e", true},
      {"// a\n// b\n\n// c\nIDX,X\n1,a\n", true},      // header after most cuts
      {"// a\n\n//b\nIDX,Lon,Y\n1,2,3\n2,3\n", true},  // wrong header, named by line
      {"// a\n// b\n\n", true},                        // no header at all
      {kHead + "1,a\n2,b,2,2,pending", false},         // read stopped in a line
      {kHead + "1,a\n2,b\n", false},                   // read stopped after a line
      {"// a\n\nIDX,X\n1,a\n2,b\r\n\r\r", true},       // tail of carriage returns
  };
  for (const Input& in : inputs) {
    CameraTable one;
    std::vector<RowSource> oneSources;
    const auto oneError = parseNormalList(in.bytes, in.complete, one, "n.txt", 0, &oneSources);
    for (std::size_t cut = 0; cut <= in.bytes.size(); ++cut) {
      CameraTable two;
      std::vector<RowSource> twoSources;
      const auto twoError = parseNormalListInTwo(in.bytes, in.complete, two, "n.txt", cut, 0, &twoSources);
      if (!oneError) {
        EXPECT_EQ(dump(twoSources), dump(oneSources)) << in.bytes << " cut at " << cut;
      }
      EXPECT_EQ(twoError.has_value(), oneError.has_value()) << in.bytes << " cut at " << cut;
      if (twoError && oneError) {
        EXPECT_EQ(twoError->message, oneError->message) << in.bytes << " cut at " << cut;
        EXPECT_EQ(twoError->detail, oneError->detail) << in.bytes << " cut at " << cut;
      }
      EXPECT_EQ(dump(two), dump(one)) << in.bytes << " cut at " << cut;
    }
  }
}

struct AutodoriaCase {
  const char* name;
  std::string input;
  Rows rows;
  const char* error;
};

const std::string kAHead = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n";

TEST(AutodoriaList, Cases) {
  const AutodoriaCase cases[] = {
      {"a pair of seven-field lines",
       kAHead + "1,1.1,2.1,2,80,1,10\n2,1.2,2.2,,80,1,20\n",
       {"1|1.1|2.1|2|80|1|10|2|1.2|2.2||80|1|20#1"},
       nullptr},
      {"header only", kAHead, {}, nullptr},
      {"header with one comma", "IDX,\n", {}, nullptr},
      {"six-field first line shifts the second",
       kAHead + "1,2,3,4,5,6\na,b,c,d,e,f,g\n",
       {"1|2|3|4|5|6|a|b|c|d|e|f|g#1"},
       nullptr},
      {"eight-field first line drops the second's seventh",
       kAHead + "1,2,3,4,5,6,7,8\na,b,c,d,e,f,g\n",
       {"1|2|3|4|5|6|7|8|a|b|c|d|e|f#1"},
       nullptr},
      {"ends after a first line",
       kAHead + "1,2,3,4,5,6,7\n2,2,3,4,5,6,7\n3,x,y,3,80,1,0\n",
       {"1|2|3|4|5|6|7|2|2|3|4|5|6|7#1", "3|x|y|3|80|1|0#0"},
       nullptr},
      {"stop line without a comma", kAHead + "1,a\n2,b\n//end\n3,c\n4,d\n", {"1|a|2|b#1"}, nullptr},
      {"stop line of three fields as a first line", kAHead + "1,a\n2,b\n5,6,//x\n", {"1|a|2|b#1", "5|6#0"}, nullptr},
      {"// in the first field is no stop line", kAHead + "//1,a\n2,b\n", {"//1|a|2|b#1"}, nullptr},
      {"blank lines are skipped",
       "\n" + kAHead + "\r\n1,a\n\n2,b\n\n3,c\n\r\n4,d\n",
       {"1|a|2|b#1", "3|c|4|d#2"},
       nullptr},
      {"last line without a line feed", kAHead + "1,a\n2,b", {"1|a|2|b#1"}, nullptr},
      {"CRs vanish", "IDX,X\r\n1,a\r\n2,b\r\r\n", {"1|a|2|b#1"}, nullptr},
      {"IDX without a comma", "IDX\n", {}, "Error : Wrong DB file !!!"},
      {"header first field lower case", "idx,X\n", {"idx|X#0"}, "Error : Wrong DB file !!!"},
      {"header first field with a blank", " IDX,X\n", {" IDX|X#0"}, "Error : Wrong DB file !!!"},
      {"empty file", "", {}, "Error : Wrong DB file !!!"},
      {"a non-empty line without a comma",
       kAHead + "1,a\nstray\n2,b\n",
       {"IDX|X|Y|TYPE|SPD|DTYPE|DIR#0", "1|a#0"},
       "Error : Wrong DB file !!!"},
  };
  for (const auto& c : cases) {
    CameraTable t;
    const auto error = parseAutodoriaList(c.input, true, t, "a.txt");
    EXPECT_EQ(error ? error->message : std::string(), c.error ? c.error : "") << c.name;
    EXPECT_EQ(dump(t), c.rows) << c.name;
  }
}

TEST(AutodoriaList, HandsOutEachSectionsTwoLines) {
  CameraTable t;
  std::vector<RowSource> sources;
  ASSERT_FALSE(parseAutodoriaList("\n" + kAHead +          // 1, 2
                                      "1,a\n"              // 3
                                      "\r\n"               // 4
                                      "2,b,c\n"            // 5
                                      "3,1,2,3,4,5,6,7\n"  // 6: eight fields
                                      "4,d\n"              // 7
                                      "5,e\n"              // 8: its end point never comes
                                      "6,f,//stop\n"       // 9
                                      "7,g\n",
                                  true, t, "a.txt", &sources));
  EXPECT_EQ(dump(sources), (Rows{"3:2>5:3", "6:8>7:2", "8:2"}));
  EXPECT_EQ(sources.size(), t.rowCount());
  // A stop line that starts a section still makes a row of its ended fields.
  sources.clear();
  ASSERT_FALSE(parseAutodoriaList(kAHead + "1,a\n2,b\n5,6,//x\n", true, t, "a.txt", &sources));
  EXPECT_EQ(dump(sources), (Rows{"2:2>3:2", "4:3"}));
}

TEST(AutodoriaList, ContinuesTheItemDataSeriesAfterNormalRows) {
  CameraTable t;
  ASSERT_FALSE(parseNormalList(kHead + "1,a\n2,b\n", true, t, "n.txt"));
  ASSERT_FALSE(parseAutodoriaList(kAHead + "s,1\ne,2\nt,3\nf,4\n", true, t, "a.txt"));
  EXPECT_EQ(dump(t), (Rows{"1|a#1", "2|b#2", "s|1|e|2#3", "t|3|f|4#4"}));
}

TEST(AutodoriaList, StrayLineIsReportedWithItsLineNumber) {
  CameraTable t;
  const auto error = parseAutodoriaList(kAHead + "\n1,a\nstray\n", true, t, "a.txt");
  ASSERT_TRUE(error);
  EXPECT_NE(error->detail.find("line 4"), std::string::npos) << error->detail;
  // The same as the last line, without a line feed.
  const auto atEnd = parseAutodoriaList(kAHead + "\n1,a\nstray", true, t, "a.txt");
  ASSERT_TRUE(atEnd);
  EXPECT_NE(atEnd->detail.find("line 4"), std::string::npos) << atEnd->detail;
}

class LoadCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("solvane_load_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path write(const std::string& name, const std::string& text) {
    const auto p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::filesystem::path dir_;
};

TEST_F(LoadCommand, LoadsBothListsAndCountsRows) {
  CameraTable t;
  const auto r = loadSources(t, {write("n.txt", kHead + "1,a\n2,b\n"), write("a.txt", kAHead + "s,1\ne,2\n")});
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.total, 3u);
  // Loading again gives the same table: rows never accumulate.
  const auto again = loadSources(t, {dir_ / "n.txt", dir_ / "a.txt"});
  EXPECT_EQ(again.total, 3u);
  EXPECT_EQ(dump(t), (Rows{"1|a#1", "2|b#2", "s|1|e|2#3"}));
}

TEST_F(LoadCommand, NoPathsEmptiesTheTable) {
  CameraTable t;
  t.insertRow(0, "old");
  const auto r = loadSources(t, {});
  EXPECT_TRUE(r.ok());
  EXPECT_FALSE(r.total);
  EXPECT_EQ(t.rowCount(), 0u);
}

TEST_F(LoadCommand, FailuresStopTheLoadWithTheirMessage) {
  CameraTable t;
  auto r = loadSources(t, {dir_ / "missing.txt", write("a.txt", kAHead)});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error->message, "Error[5009]");
  EXPECT_NE(r.error->detail.find("missing.txt"), std::string::npos);
  EXPECT_TRUE(r.error->detail.ends_with(": " + SOLVANE_SYSTEM_REASON(ENOENT, ERROR_FILE_NOT_FOUND))) << r.error->detail;
  EXPECT_EQ(t.rowCount(), 0u);

  r = loadSources(t, {dir_, {}});  // a folder is not a list
  EXPECT_EQ(r.error->message, "Error[5009]");

  // The Autodoria list fails after the normal list loaded: its count stays.
  r = loadSources(t, {write("n.txt", kHead + "1,a\n"), write("bad.txt", "ID,X\n")});
  EXPECT_EQ(r.error->message, "Error : Wrong DB file !!!");
  EXPECT_EQ(r.total, 1u);
}

}  // namespace
}  // namespace solvane

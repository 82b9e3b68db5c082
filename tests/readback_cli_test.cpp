// solvane inspect, dump and check as a user runs them, and check's report in detail.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/check_command.h"
#include "cli/text_output.h"
#include "base/c_number.h"
#include "check/database_reader.h"
#include "convert/record_encoder.h"
#include "load/load_command.h"
#include "tests/solvane_process.h"

namespace fs = std::filesystem;

namespace solvane {
namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class Readback : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("solvane_readback_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  static std::string q(const fs::path& p) { return "'" + testing::text(p) + "'"; }

  // Runs solvane directly, without a shell: the words of `args` are split at blanks, and a
  // part in single quotes (a path from q()) is one word.
  static Outcome run(const std::string& args) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char c : args) {
      if (c == '\'') {
        quoted = !quoted;
        inWord = true;
      } else if (c == ' ' && !quoted) {
        if (inWord) words.push_back(word);
        word.clear();
        inWord = false;
      } else {
        word += c;
        inWord = true;
      }
    }
    if (inWord) words.push_back(word);
    const testing::Outcome r = testing::runSolvane(words);
    return {r.exitCode, r.out, r.err};
  }

  // Converts the example lists into dir_/DB_241105.dbh.
  fs::path convertExamples() {
    const Outcome c = run("convert --normal " SOLVANE_EXAMPLES "/Solvane.txt --autodoria " SOLVANE_EXAMPLES
                          "/Autodoria.txt --date 2024-11-05 --seed 1 --output-dir " +
                          q(dir_));
    EXPECT_EQ(c.exitCode, 0) << c.err;
    return dir_ / "DB_241105.dbh";
  }

  fs::path dir_;
};

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  std::string cur;
  for (const char c : s) {
    if (c == sep) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

TEST_F(Readback, InspectExitCodesAndReport) {
  const fs::path db = convertExamples();
  Outcome r = run("inspect " + q(db));
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("records      360: 324 one-point, 36 two-point"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\nvalid\n"), std::string::npos);

  std::string bytes = slurp(db);
  bytes[15] = static_cast<char>(bytes[15] ^ 0x10);
  bytes[bytes.size() - 1] = 0x00;
  const fs::path bad = write("bad.dbh", bytes);
  r = run("inspect " + q(bad));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("problem at offset 15 (0x000F): stored checksum"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("problem at offset " + std::to_string(bytes.size() - 1)), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("invalid: 2 problems"), std::string::npos) << r.out;

  r = run("inspect --format json " + q(bad));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("\"valid\": false"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("{\"offset\": 15, \"what\": \"stored checksum"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"records\": {\"total\": 360, \"onePoint\": 324, \"twoPoint\": 36"), std::string::npos);

  EXPECT_EQ(run("inspect").exitCode, 2);  // usage
  EXPECT_EQ(run("inspect --format xml " + q(db)).exitCode, 2);
}

// The example lists, converted and dumped as CSV, give back what the lists said.
TEST_F(Readback, DumpCsvRoundTripOfTheExampleLists) {
  const fs::path db = convertExamples();
  const Outcome r = run("dump " + q(db) + " -o " + q(dir_ / "cameras.csv"));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  const std::string csv = slurp(dir_ / "cameras.csv");
  std::vector<std::string> lines = split(csv, '\n');
  ASSERT_EQ(lines.back(), "");  // ends with CRLF
  lines.pop_back();
  for (std::string& l : lines) {
    ASSERT_EQ(l.back(), '\r');  // RFC 4180 line ends
    l.pop_back();
  }
  ASSERT_EQ(lines.front(),
            "record,offset,kind,latitude,longitude,type,speed,dtype,h,direction,latitude2,longitude2,h2,direction2,"
            "ambiguous");

  CameraTable table;
  ASSERT_TRUE(loadSources(table, {SOLVANE_EXAMPLES "/Solvane.txt", SOLVANE_EXAMPLES "/Autodoria.txt"}).ok());
  table.sortByLatitude();
  ASSERT_EQ(lines.size(), table.rowCount() + 1);  // every example row is in range
  const auto isNear = [](std::string_view text, const std::string& decoded) {
    return std::abs(parseCDouble(text) - parseCDouble(decoded)) < 1e-4;
  };
  const auto dirNear = [](std::string_view text, const std::string& decoded) {
    const int d = parseCInt(text) % 360, back = parseCInt(decoded);
    return back == d || back == (d + 359) % 360;
  };
  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    const RecordCells c = RecordCells::fromRow(table.cells(i));
    const std::vector<std::string> f = split(lines[i + 1], ',');
    SCOPED_TRACE(lines[i + 1]);
    ASSERT_EQ(f.size(), 15u);
    EXPECT_EQ(f[0], std::to_string(i + 1));
    EXPECT_EQ(f[1], std::to_string(32 + 24 * i));
    EXPECT_EQ(f[2], c.hasSecondPoint() ? "section" : "point");
    EXPECT_TRUE(isNear(c.y, f[3]));
    EXPECT_TRUE(isNear(c.x, f[4]));
    EXPECT_EQ(f[5], c.hasSecondPoint() ? "16" : std::to_string(parseCInt(c.type) & 0xFF));
    EXPECT_EQ(f[6], std::to_string(speedByte(parseCInt(c.spd))));
    EXPECT_EQ(f[7], std::to_string(parseCInt(c.dtype)));
    EXPECT_TRUE(dirNear(c.dir, f[9]));
    if (c.hasSecondPoint()) {
      EXPECT_TRUE(isNear(c.y2, f[10]));
      EXPECT_TRUE(isNear(c.x2, f[11]));
      EXPECT_TRUE(dirNear(c.dir2, f[13]));
    } else {
      EXPECT_EQ(f[10] + f[11] + f[12] + f[13], "");
    }
    EXPECT_EQ(f[14], "false");
  }
}

TEST_F(Readback, DumpGeoJsonAndFailures) {
  const fs::path db = convertExamples();
  Outcome r = run("dump --format geojson " + q(db));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"type\": \"FeatureCollection\", \"features\": [", 0), 0u);
  std::size_t points = 0, lines = 0, pos = 0;
  while ((pos = r.out.find("\"type\": \"Point\"", pos)) != std::string::npos) ++points, ++pos;
  pos = 0;
  while ((pos = r.out.find("\"type\": \"LineString\"", pos)) != std::string::npos) ++lines, ++pos;
  EXPECT_EQ(points, 324u);
  EXPECT_EQ(lines, 36u);
  // Positions are longitude first: the examples lie near 127 E, 36 N.
  EXPECT_NE(r.out.find("\"coordinates\": [12"), std::string::npos);
  EXPECT_EQ(r.out.find("\"coordinates\": [3"), std::string::npos);

  // Not a database at all: nothing on standard output, exit 1.
  r = run("dump " + q(write("list.txt", "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n1,127,37,1,60,0,0\n")));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("is not a camera database"), std::string::npos) << r.err;

  // Damaged but readable: dumped with a warning, exit 1.
  std::string bytes = slurp(db);
  bytes[15] = static_cast<char>(bytes[15] ^ 1);
  r = run("dump " + q(write("bad.dbh", bytes)));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 361);
  EXPECT_NE(r.err.find("warning"), std::string::npos);

  EXPECT_EQ(run("dump " + q(dir_ / "missing.dbh")).exitCode, 2);
  r = run("dump " + q(db) + " -o " + q(dir_ / "no" / "such" / "dir.csv"));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("File open Error"), std::string::npos) << r.err;
}

// inspect and dump read a database with the lists' reader: what is no file is refused at once,
// with the loaders' reason (a pipe is read: Cli.StandardInputAndPipesGiveWhatTheSameBytesInAFileGive).
TEST_F(Readback, WhatIsNoFileIsRefusedAtOnceLikeAList) {
#ifdef _WIN32
  GTEST_SKIP() << "/dev/null is Linux's; missing files and folders are refused in InspectExitCodesAndReport";
#else
  const struct {
    fs::path path;
    std::string why;
  } cases[] = {
      {dir_ / "missing.dbh", "No such file or directory"},
      {dir_, "it is a folder, not a file"},
      {"/dev/null", "it is a device, not a file"},
  };
  for (const auto& c : cases) {
    for (const std::string command : {"inspect", "dump"}) {
      const Outcome r = run(command + " " + q(c.path));
      EXPECT_EQ(r.exitCode, 2) << command << " " << c.path;
      EXPECT_EQ(r.err, "solvane " + command + ": Cannot open \"" + c.path.string() + "\": " + c.why + "\n");
      EXPECT_EQ(r.out, "");
    }
  }
#endif
}

// A normal list and an Autodoria list with one of each finding.
class Check : public Readback {
 protected:
  void SetUp() override {
    Readback::SetUp();
    normal_ = write("n.txt",
                    "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n"                      // 1
                    "1,127.0,37.5,2,60,0,90\r\n"                          // 2 TYPE rule
                    "// a comment\r\n"                                    // 3
                    "2,200.5,36.0,1,60,0,0\r\n"                           // 4 skipped (X)
                    "3,,36.0,,60,0,0\r\n"                                 // 5 X empty; empty TYPE
                    "\r\n"                                                // 6
                    "4,127.0,37.5,1,60,0,0\r\n"                           // 7 same place as line 2
                    "5,127.1,37.6,1,60,0,0,6,127.2,37.7,1,60,0,0,99\r\n"  // 8 16 fields: a section
                    "6,127.2,37.8,2\r\n");                                // 9 TYPE ends the line: kept
    autodoria_ = write("a.txt",
                       "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"  // 1
                       "1,127.3,37.1,3,80,1,90\n"      // 2
                       "2,127.4,37.2,3,80,1,90\n"      // 3
                       "\n"                            // 4 skipped by the loader
                       "3,127.5,95.0,3,80,1,90\n"      // 5 skipped (Y)
                       "4,127.6,37.3,3,80,1,90\n"      // 6
                       "5,127.7,abc,3,80,1,90\n");     // 7 Y no number, and no end point
  }
  fs::path normal_, autodoria_;
};

TEST_F(Check, ReportsEveryFindingWithItsLine) {
  const CheckReport r = checkSources({normal_, autodoria_});
  ASSERT_FALSE(r.loadError);
  const std::string n = normal_.string(), a = autodoria_.string();
  struct Expected {
    std::string file;
    std::size_t line;
    bool problem;
    std::string kind;
  };
  const std::vector<Expected> expected = {
      {n, 2, false, "typeRule"},       {n, 2, false, "nearDuplicate"}, {n, 4, true, "skipped"},
      {n, 5, true, "xNotNumber"},      {n, 5, false, "typeRule"},      {n, 8, false, "sectionType16"},
      {n, 8, false, "extraFields"},    {a, 5, true, "skipped"},        {a, 7, true, "yNotNumber"},
      {a, 7, true, "endPointMissing"},
  };
  std::string got;
  for (const auto& f : r.findings) {
    got += f.file + ":" + std::to_string(f.line) + " " + f.kind + " " + f.what + "\n";
  }
  ASSERT_EQ(r.findings.size(), expected.size()) << got;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(r.findings[i].file, expected[i].file) << got;
    EXPECT_EQ(r.findings[i].line, expected[i].line) << got;
    EXPECT_EQ(r.findings[i].problem, expected[i].problem) << got;
    EXPECT_EQ(r.findings[i].kind, expected[i].kind) << got;
  }
  EXPECT_NE(r.findings[2].what.find("X scales to 2005000, above 1800000 (X \"200.5\", Y \"36.0\")"), std::string::npos)
      << r.findings[2].what;
  // Points at the same place: a near duplicate 0 m apart (the same-coordinates note is left to
  // a search shorter than the truncation's 16 m, below).
  EXPECT_EQ(r.findings[1].what, "near duplicate: 0.0 m from " + n +
                                    ":7, TYPE 3 and 1, same speed (X \"127.0\", Y \"37.5\"; X \"127.0\", Y \"37.5\")");
  const CheckReport shortSearch = checkSources({normal_, autodoria_}, {.nearMetres = 10});
  const auto shared = std::find_if(shortSearch.findings.begin(), shortSearch.findings.end(),
                                   [](const CheckFinding& f) { return f.kind == "sharedCoordinates"; });
  ASSERT_NE(shared, shortSearch.findings.end());
  EXPECT_EQ(shared->line, 7u);
  EXPECT_NE(shared->what.find(n + ":2"), std::string::npos) << shared->what;
  EXPECT_NE(r.findings[6].what.find("fields after the 14th are dropped"), std::string::npos);
  EXPECT_EQ(r.rows, 9u);
  EXPECT_EQ(r.records, 7u);
  EXPECT_EQ(r.sections, 2u);  // line 8 of the normal list and the first pair; the second is skipped
  EXPECT_EQ(r.skipped, 2u);
  EXPECT_EQ(r.atZero, 2u);
  EXPECT_EQ(r.withoutEndPoint, 1u);
  EXPECT_EQ(r.exitCode(), 1);
}

TEST_F(Check, ExitCodesAndOutputs) {
  // Notes only: exit 0.
  const fs::path clean = write("clean.txt", "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n1,127,37,2,60,0,0\n2,127,37,1,60,0,0\n");
  Outcome r = run("check --normal " + q(clean));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find(clean.string() + ":2: note: TYPE \"2\" stored as \"3\" (TYPE rule)"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(clean.string() + ":2: note: near duplicate: 0.0 m from " + clean.string() + ":3"),
            std::string::npos);
  EXPECT_NE(r.out.find("check: 2 rows, 2 records would be written (0 sections); problems: 0 skipped, 0 written at 0, "
                       "0 sections without end point, 0 in directions, speeds or places; 2 notes\n"),
            std::string::npos)
      << r.out;

  r = run("check --normal " + q(normal_) + " --autodoria " + q(autodoria_));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find(normal_.string() + ":4: problem: skipped: X scales to 2005000"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(autodoria_.string() + ":7: problem: section without an end point"), std::string::npos);

  r = run("check --format json --normal " + q(normal_) + " --autodoria " + q(autodoria_));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("\"problemCount\": 5"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"line\": 4, \"severity\": \"problem\", \"kind\": \"skipped\""), std::string::npos);
  EXPECT_NE(r.out.find("(X \\\"200.5\\\", Y \\\"36.0\\\")"), std::string::npos);  // quotes escaped

  // A wrong list: the conversion would stop; exit 1. An unreadable one: exit 2. No list: usage.
  r = run("check --normal " + q(write("wrong.txt", "IDX,LON,LAT\n1,2,3\n")));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("Error : Wrong DB file !!!"), std::string::npos);
  EXPECT_EQ(run("check --autodoria " + q(dir_ / "missing.txt")).exitCode, 2);
  EXPECT_EQ(run("check").exitCode, 2);
  // Nothing to convert is a problem too.
  EXPECT_EQ(run("check --normal " + q(write("empty.txt", "IDX,X,Y\n"))).exitCode, 1);
}

TEST_F(Check, QualityFindingsOptionsAndGeoJson) {
  // Two points 11 m apart (a note) and a section 150 m long (a note): exit 0.
  const fs::path notes = write("notes.txt",
                               "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
                               "1,10.5,50.5,1,60,1,90\n"
                               "2,10.5,50.5001,1,60,1,100\n");
  const fs::path sections = write("sections.txt",
                                  "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
                                  "1,10.6,50.6,3,80,1,0\n"
                                  "2,10.6,50.60135,3,80,1,0\n");
  Outcome r = run("check --normal " + q(notes) + " --autodoria " + q(sections));
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_NE(r.out.find(
                notes.string() + ":2: note: near duplicate: 11.1 m from " + notes.string() +
                ":3, facing the same way, same TYPE, same speed (X \"10.5\", Y \"50.5\"; X \"10.5\", Y \"50.5001\")\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(sections.string() + ":2: note: section only 150.2 m long (shorter than 200.0 m)"),
            std::string::npos)
      << r.out;

  // The thresholds move with the options; --near 0 turns the search off.
  r = run("check --near 0 --section-min 100 --normal " + q(notes) + " --autodoria " + q(sections));
  EXPECT_EQ(r.out.find("near duplicate"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("section only"), std::string::npos) << r.out;
  r = run("check --near 11 --section-min 100 --section-max 140 --normal " + q(notes) + " --autodoria " + q(sections));
  EXPECT_EQ(r.out.find("near duplicate"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("note: section 150.2 m long (longer than 140.0 m)"), std::string::npos) << r.out;
  EXPECT_NE(run("check --near -1 --normal " + q(notes)).exitCode, 0);

  // A direction outside the compass is a problem: exit 1, counted in the summary.
  const fs::path wrong = write("wrong_dir.txt", "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n1,10.5,50.5,1,60,1,400\n");
  r = run("check --normal " + q(wrong));
  EXPECT_EQ(r.exitCode, 1) << r.out;
  EXPECT_NE(
      r.out.find(wrong.string() + ":2: problem: DIR 400 is outside 0..360 for DTYPE 1: written as half-direction 110 "
                                  "(DTYPE \"1\", DIR \"400\")"),
      std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(", 1 in directions, speeds or places; 0 notes"), std::string::npos) << r.out;

  // GeoJSON: a near duplicate and a section as lines, a point finding as a point; findings
  // without a place are counted, not drawn.
  const fs::path mixed = write("mixed.txt",
                               "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
                               "1,10.5,50.5,1,60,1,90\n"
                               "2,10.5,50.5001,1,60,1,100\n"
                               "3,10.7,50.7,1,63,0,0\n"
                               "4,200,50.7,1,60,0,0\n");
  r = run("check --format geojson --normal " + q(mixed) + " --autodoria " + q(sections));
  EXPECT_EQ(r.exitCode, 1);  // the row out of range
  EXPECT_EQ(r.out.rfind("{\"type\": \"FeatureCollection\", \"features\": [\n", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("{\"type\": \"Feature\", \"geometry\": {\"type\": \"LineString\", \"coordinates\": "
                       "[[10.5, 50.5], [10.5, 50.5001]]}, \"properties\": {\"file\": " +
                       cli::jsonString(mixed.string()) +
                       ", \"line\": 2, \"severity\": \"note\", \"kind\": \"nearDuplicate\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("{\"type\": \"Point\", \"coordinates\": [10.7, 50.7]}, \"properties\": {\"file\": " +
                       cli::jsonString(mixed.string()) +
                       ", \"line\": 4, \"severity\": \"note\", \"kind\": \"speedImplausible\""),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("[[10.6, 50.6], [10.6, 50.60135]]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n], \"unplaced\": 1, \"problemCount\": 1}\n"), std::string::npos) << r.out;
}

TEST(TextOutput, JsonAndCsvEscaping) {
  EXPECT_EQ(cli::jsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(cli::jsonString("caf\xC3\xA9"), "\"caf\xC3\xA9\"");                        // valid UTF-8 passes
  EXPECT_EQ(cli::jsonString("\xB0\xED\xBC\xD3"), "\"\\u00B0\\u00ED\\u00BC\\u00D3\"");  // code-page bytes
  EXPECT_EQ(cli::jsonString("\xE0\x80\x80"), "\"\\u00E0\\u0080\\u0080\"");             // overlong form
  EXPECT_EQ(cli::csvField("plain"), "plain");
  EXPECT_EQ(cli::csvField("a,b"), "\"a,b\"");
  EXPECT_EQ(cli::csvField("say \"hi\"\r\n"), "\"say \"\"hi\"\"\r\n\"");
}

}  // namespace
}  // namespace solvane

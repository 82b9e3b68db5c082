// Whole conversion runs, checked by reading the written file back.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "convert/conversion.h"
#include "tests/database_builder.h"
#include "tests/solvane_process.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::int32_t le32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("solvane_conv_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "out");
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return dir_ / name;
  }
  ConversionRequest request(SourcePaths sources) {
    ConversionRequest r;
    r.sources = std::move(sources);
    r.outputDir = dir_ / "out";
    r.date = {2024, 11, 5};
    r.seed = 7;
    return r;
  }
  fs::path dir_;
};

TEST_F(Conversion, WritesASortedFileWhoseHeaderLengthChecksumAndFillAgree) {
  const auto normal = write("n.txt",
                            "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n"
                            "1,127.0,37.5,1,60,0,90\r\n"
                            "2,127.1,35.25,2,80,1,0\r\n"
                            "3,200.0,36.0,1,60,0,0\r\n"  // out of range: skipped
                            "4,126.9,-10.5,1,5,0,0\r\n"
                            "// 5,0,0\r\n"
                            "6,,,1,60,0,0");  // no line feed: still a camera at 0,0
  const auto sections = write("a.txt",
                              "IDX,X,Y,TYPE,SPD,DTYPE,DIR\n"
                              "10,128.0,36.5,3,100,1,45\n11,128.1,36.6,3,100,1,50\n");
  CameraTable table;
  const ConversionResult r = runConversion(request({normal, sections}), table);
  ASSERT_EQ(r.status, ConversionStatus::kConverted) << r.message << " " << r.detail;
  EXPECT_EQ(r.rowsLoaded, 6u);
  EXPECT_EQ(r.recordsWritten, 5u);
  EXPECT_EQ(r.outputPath, dir_ / "out" / "DB_241105.dbh");
  EXPECT_EQ(r.message, "DB Conversion end. [" + (dir_ / "out" / "DB_241105.dbh").string() + "]");

  const auto file = readAll(r.outputPath);
  ASSERT_EQ(file.size(), 192u);  // 56 + 24*5 = 176, filled to 192
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "rudb");
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 11), "r1r");
  EXPECT_EQ(file[4], 5);
  EXPECT_EQ(file[5], 11);
  EXPECT_EQ(file[6] | file[7] << 8, 2024);
  const auto dataLength = static_cast<std::uint32_t>(le32(&file[11]));
  EXPECT_EQ(dataLength, 16u + 24 * 5 + 24);
  std::uint8_t check = 0x4A;
  for (std::size_t i = 16; i < 32 + 24 * 5; ++i) check ^= file[i];
  EXPECT_EQ(file[15], check);
  for (std::size_t i = 32 + 24 * 5; i < file.size(); ++i) ASSERT_EQ(file[i], 0xFF) << i;

  // Latitudes ascending: undo the scrambling of byte 0.
  std::vector<std::int32_t> lats;
  for (std::size_t k = 0; k < 5; ++k) {
    const std::uint8_t* rec = &file[32 + 24 * k];
    std::uint8_t plain[4] = {rec[0], rec[1], rec[2], rec[3]};
    plain[0] ^= static_cast<std::uint8_t>(rec[4] ^ rec[11]);  // LON byte 0
    lats.push_back(le32(plain));
  }
  EXPECT_EQ(lats, (std::vector<std::int32_t>{-105000, 0, 352500, 365000, 375000}));
  // The section is a two-point record with TYPE 16; the TYPE 2 point was stored as 3.
  EXPECT_EQ(file[32 + 24 * 3 + 8], 16);
  EXPECT_EQ(file[32 + 24 * 2 + 8], 3);
}

TEST_F(Conversion, SameInputsDateAndSeedGiveTheSameBytes) {
  const auto normal = write("n.txt", "IDX,X\n1,1,1,1,60,0,0\n2,2,2,1,60,0,0\n");
  CameraTable t;
  auto req = request({normal, {}});
  ASSERT_EQ(runConversion(req, t).status, ConversionStatus::kConverted);
  const auto first = readAll(dir_ / "out" / "DB_241105.dbh");
  ASSERT_EQ(runConversion(req, t).status, ConversionStatus::kConverted);
  EXPECT_EQ(readAll(dir_ / "out" / "DB_241105.dbh"), first);
  req.seed = 8;
  ASSERT_EQ(runConversion(req, t).status, ConversionStatus::kConverted);
  EXPECT_NE(readAll(dir_ / "out" / "DB_241105.dbh"), first);  // random block and one-point bytes
}

TEST_F(Conversion, AFailedLoadWritesNothingAndKeepsAnEarlierFile) {
  const auto target = dir_ / "out" / "DB_241105.dbh";
  std::ofstream(target, std::ios::binary) << "earlier";
  const struct {
    SourcePaths sources;
    const char* message;
  } cases[] = {
      {{dir_ / "missing.txt", {}}, "Error[5009]"},
      {{write("bad.txt", "IDX,Lon\n1,2\n"), {}}, "Error : Wrong DB file !!!"},
      {{write("ok.txt", "IDX,X\n1,2\n"), write("bad_a.txt", "IDX,X\n1,a\nstray\n")}, "Error : Wrong DB file !!!"},
  };
  for (const auto& c : cases) {
    CameraTable t;
    const auto r = runConversion(request(c.sources), t);
    EXPECT_EQ(r.status, ConversionStatus::kLoadFailed);
    EXPECT_EQ(r.message, c.message);
    EXPECT_FALSE(r.detail.empty());
  }
  EXPECT_EQ(readAll(target), (std::vector<std::uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'}));
}

TEST_F(Conversion, NothingToConvertWritesNothing) {
  CameraTable t;
  const auto r = runConversion(request({write("n.txt", "IDX,X\n// nothing\n"), {}}), t);
  EXPECT_EQ(r.status, ConversionStatus::kNothingToConvert);
  EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(Conversion, WriteFailureNamesTheRealPathAndLeavesNoTemporaryFile) {
  CameraTable t;
  auto req = request({write("n.txt", "IDX,X\n1,1,1\n"), {}});
  req.outputDir = dir_ / "no" / "such" / "folder";
  auto r = runConversion(req, t);
  EXPECT_EQ(r.status, ConversionStatus::kOpenFailed);
  EXPECT_EQ(r.message, "File open Error : " + (req.outputDir / "DB_241105.dbh").string());
  EXPECT_EQ(r.detail, SOLVANE_SYSTEM_REASON(ENOENT, ERROR_PATH_NOT_FOUND));

  fs::create_directories(dir_ / "out" / "DB_241105.dbh");  // a folder in the way
  r = runConversion(request({dir_ / "n.txt", {}}), t);
  EXPECT_EQ(r.status, ConversionStatus::kOpenFailed);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), {}), 1);
}

TEST(ConversionDates, ParseAndEpoch) {
  EXPECT_EQ(parseIsoDate("2024-11-05"), (FileDate{2024, 11, 5}));
  EXPECT_EQ(parseIsoDate("2024-02-29"), (FileDate{2024, 2, 29}));
  EXPECT_FALSE(parseIsoDate("2023-02-29"));
  EXPECT_FALSE(parseIsoDate("2024-13-01"));
  EXPECT_FALSE(parseIsoDate("2024-11-05x"));
  EXPECT_FALSE(parseIsoDate("yesterday"));
  EXPECT_EQ(dateFromUnixSeconds(0), (FileDate{1970, 1, 1}));
  EXPECT_EQ(dateFromUnixSeconds(1730764800 + 86399), (FileDate{2024, 11, 5}));  // 23:59:59 UTC
}

}  // namespace
}  // namespace solvane

namespace solvane {
namespace {

// A large table is encoded in two parts on two threads, the second part written where its
// records would go if no row were left out. Rows left out in either part (out of range) must
// give the file that adding the records one by one gives, in memory and on disk alike.
TEST(EncodeDatabase, TwoPartsGiveTheOneByOneFileWhereverRowsAreLeftOut) {
  constexpr std::size_t kRows = 80'000;  // well above the two-thread threshold
  const RandomBytes random(5);
  const FileDate date{2024, 11, 5};
  const Header header = makeHeader(date);
  const fs::path dir = fs::temp_directory_path() / ("solvane-two-parts-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  struct Case {
    const char* name;
    std::vector<std::size_t> outOfRange;
  };
  const Case cases[] = {
      {"none left out", {}},
      {"left out in the first part", {0, 1, 17, kRows / 2 - 1}},
      {"left out in the second part", {kRows / 2, kRows - 1}},
      {"left out in both", {3, kRows / 2 + 5, kRows - 2}},
      {"a whole first part left out", {}},
  };
  for (const Case& c : cases) {
    const bool wholeFirstPart = std::string_view(c.name) == "a whole first part left out";
    CameraTable table;
    for (std::size_t i = 0; i < kRows; ++i) {
      const bool out = (wholeFirstPart && i < kRows / 2) ||
                       std::find(c.outOfRange.begin(), c.outOfRange.end(), i) != c.outOfRange.end();
      const std::string lat = out ? "95.5" : std::to_string(33.0 + static_cast<double>(i) * 1e-5);
      const std::string x2 = i % 7 == 0 ? "127.5" : "";
      const std::vector<std::string> row{std::to_string(i),
                                         "126.9",
                                         lat,
                                         std::to_string(i % 40),
                                         "60",
                                         "1",
                                         std::to_string(i % 360),
                                         "",
                                         x2,
                                         "37.5",
                                         "",
                                         "",
                                         "",
                                         "12"};
      const std::vector<std::string_view> views(row.begin(), row.end());
      table.appendRow(views, static_cast<ItemData>(i));
    }
    DatabaseBuilder oneByOne(header, random.block());
    for (std::size_t i = 0; i < kRows; ++i) {
      const auto [r1, r2] = random.recordBytes(i);
      if (const auto record = encodeRecord(RecordCells::fromRow(table.cells(i)), r1, r2)) oneByOne.add(*record);
    }
    const FileBytes expectedBytes = oneByOne.finish();
    const std::string expected(expectedBytes.begin(), expectedBytes.end());

    const EncodedDatabase db = encodeDatabase(table, header, random.block(), random);
    EXPECT_EQ(db.records, oneByOne.recordCount()) << c.name;
    EXPECT_TRUE(std::string(db.bytes.begin(), db.bytes.end()) == expected) << c.name;

    const ConversionResult written = convertTable(table, dir, header, random.block(), random);
    ASSERT_EQ(written.status, ConversionStatus::kConverted) << c.name << ": " << written.detail;
    EXPECT_EQ(written.recordsWritten, oneByOne.recordCount()) << c.name;
    std::ifstream in(written.outputPath, std::ios::binary);
    const std::string onDisk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(onDisk == expected) << c.name << ": " << onDisk.size() << " bytes on disk, " << expected.size()
                                    << " expected";
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
}  // namespace solvane

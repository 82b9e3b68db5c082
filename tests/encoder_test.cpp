// Record encoding and file assembly, checked against hand-worked bytes.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "convert/database_file.h"
#include "table/line_fields.h"
#include "convert/record_encoder.h"
#include "tests/database_builder.h"

namespace solvane {
namespace {

Record bytes(std::initializer_list<int> v) {
  Record r{};
  std::size_t i = 0;
  for (const int b : v) r[i++] = static_cast<std::uint8_t>(b);
  return r;
}

TEST(EncodeRecord, OnePointWorkedExample) {
  RecordCells c{"12.3456", "-65.4321", "1", "60", "0", "90", "", "", ""};
  const auto r = encodeRecord(c, 0xA1, 0xB2);
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, bytes({0x30, 0x04, 0xF6, 0xFF, 0xB8, 0xE2, 0x01, 0x00, 0x01, 0x3C, 0x00, 0x87,
                       0xA1, 0x04, 0xF6, 0xFF, 0xB2, 0xE2, 0x01, 0x00, 0x01, 0x3C, 0x00, 0x87}));
  EXPECT_EQ(xorBytes(*r), 0x9B);
}

TEST(EncodeRecord, TwoPointWorkedExample) {
  RecordCells c{"12.3456", "45.6789", "3", "80", "1", "270", "12.4", "45.7", "275"};
  const auto r = encodeRecord(c, 0xEE, 0xEE);  // a two-point record uses no random bytes
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, bytes({0x6A, 0xF8, 0x06, 0x00, 0x12, 0xE2, 0x01, 0x00, 0x10, 0x50, 0x01, 0x2D,
                       0x48, 0xF9, 0x06, 0x00, 0x4F, 0xE4, 0x01, 0x00, 0x10, 0x50, 0x01, 0x2F}));
  EXPECT_EQ(xorBytes(*r), 0x7A);
}

TEST(EncodeRecord, FieldRules) {
  const struct {
    const char* name;
    RecordCells cells;
    int byteIndex;
    int expected;
  } cases[] = {
      {"DIR 0 -> 90", {"1", "1", "1", "60", "0", "0"}, 11, 90},
      {"DIR 0 with DTYPE 2 -> 0", {"1", "1", "1", "60", "2", "0"}, 11, 0},
      {"DIR 360 -> 90", {"1", "1", "1", "60", "1", "360"}, 11, 90},
      {"DIR 360 with DTYPE 2 -> 0", {"1", "1", "1", "60", "2", "360"}, 11, 0},
      {"DIR 180 -> 0", {"1", "1", "1", "60", "2", "180"}, 11, 0},
      {"DIR 359 -> 89", {"1", "1", "1", "60", "2", "359"}, 11, 89},
      {"DIR -200 -> 0xF6", {"1", "1", "1", "60", "0", "-200"}, 11, 0xF6},
      {"DIR 1000 -> 0x9A", {"1", "1", "1", "60", "0", "1000"}, 11, 0x9A},
      {"DIR beyond int32 saturates", {"1", "1", "1", "60", "0", "99999999999"}, 11, 0xA5},
      {"DIR below int32 saturates", {"1", "1", "1", "60", "0", "-99999999999"}, 11, 0x5A},
      {"SPD 9 -> 0", {"1", "1", "1", "9"}, 9, 0},
      {"SPD 10 -> 10", {"1", "1", "1", "10"}, 9, 10},
      {"SPD 265 -> 0", {"1", "1", "1", "265"}, 9, 0},
      {"SPD 266 -> 10", {"1", "1", "1", "266"}, 9, 10},
      {"TYPE 300 -> 0x2C", {"1", "1", "300"}, 8, 0x2C},
      {"TYPE of a section is 16", {"1", "1", "300", "", "", "", " "}, 8, 16},
      {"TYPE of a section, copy", {"1", "1", "300", "", "", "", " "}, 20, 16},
      {"DTYPE low byte", {"1", "1", "1", "1", "258"}, 10, 2},
  };
  for (const auto& c : cases) {
    const auto r = encodeRecord(c.cells, 0, 0);
    ASSERT_TRUE(r) << c.name;
    EXPECT_EQ((*r)[static_cast<std::size_t>(c.byteIndex)], c.expected) << c.name;
  }
}

TEST(EncodeRecord, RangeTestOnTheFirstPointOnly) {
  const struct {
    const char* x;
    const char* y;
    bool written;
  } cases[] = {
      {"180", "90", true},     {"-180", "-90", true},    {"180.0001", "0", false},
      {"0", "90.0001", false}, {"0", "-90.0001", false}, {"-180.0001", "0", false},
      {"", "", true},          {"abc", "x", true},       {"1e999", "0", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encodeRecord({c.x, c.y, "1", "60"}, 0, 0).has_value(), c.written) << c.x << "," << c.y;
  }
  // An out-of-range or unscalable second point is written all the same.
  const auto r = encodeRecord({"0", "0", "1", "60", "0", "0", "200", "1e999", "0"}, 0, 0);
  ASSERT_TRUE(r);
  EXPECT_EQ((*r)[13], 0x00);  // LAT2 = INT32_MIN: 00 00 00 80, byte 0 scrambled
  EXPECT_EQ((*r)[15], 0x80);
  // LON2 = 2000000 = 0x001E8480; its byte 0 is XORed with H2 = 90.
  EXPECT_EQ((*r)[16], 0x80 ^ 90);
  EXPECT_EQ((*r)[17], 0x84);
  EXPECT_EQ((*r)[18], 0x1E);
}

// The encoder reads a loaded row straight from its line; it must see the cells that the
// table shows for that line.
TEST(EncodeRecord, ReadingTheLineGivesTheRecordOfTheTableCells) {
  const char* const lines[] = {
      "",
      "1",
      "1,126.85,35.15",
      "1,126.850439,35.157071,1,60,2,8",
      "1,126.85,35.15,2,60,2,8,",
      "1,126.85,35.15,,60,2,8,,,,,,",
      "1,126.85,35.15,1,60,2,8,2, ,35.2,1,60,2,9",
      "1,127.1,37.5,1,80,1,90,2,127.2,37.6,1,80,1,95",
      "1,127.1,37.5,1,80,1,90,2,127.2,37.6,1,80,1,95,extra,,more",
      "1,127.1,37.5,1,80,1,90,2,127.2",
      " 1 , 1e2 ,-3.5,x,y,z,w,,,,,,,",
      "1,12.5e1x,+3.5 ,0x7,  -60,2e3,1e40,,",
      "1,-180.00001,35,1,60,2,8",
      "1,127,-90.0001,1,60,2,8,2,1,1,1,1,1,1",
      "1,1.5e,2.5E+,99999999999,-99999999999,258,-200",
      "1,126.85 35.15,35.15\r,1,60,2,8",
  };
  for (const char* text : lines) {
    for (const bool typeAsThree : {false, true}) {
      LineFields f = splitFields(text);
      if (typeAsThree) f.cells[kType] = "3";
      const RecordCells fromRow = RecordCells::fromRow(f.cells);
      const RecordCells fromLine = RecordCells::fromLine(text, typeAsThree);
      const std::string name = std::string("\"") + text + "\"" + (typeAsThree ? " TYPE as 3" : "");
      EXPECT_EQ(fromLine.x, fromRow.x) << name;
      EXPECT_EQ(fromLine.y, fromRow.y) << name;
      EXPECT_EQ(fromLine.type, fromRow.type) << name;
      EXPECT_EQ(fromLine.spd, fromRow.spd) << name;
      EXPECT_EQ(fromLine.dtype, fromRow.dtype) << name;
      EXPECT_EQ(fromLine.dir, fromRow.dir) << name;
      EXPECT_EQ(fromLine.x2, fromRow.x2) << name;
      if (fromRow.hasSecondPoint()) {  // a one-point record never reads Y2 and DIR2
        EXPECT_EQ(fromLine.y2, fromRow.y2) << name;
        EXPECT_EQ(fromLine.dir2, fromRow.dir2) << name;
      }
      const std::optional<Record> want = encodeRecord(fromRow, 7, 9);
      EXPECT_EQ(encodeRecord(fromLine, 7, 9), want) << name;
      // The conversion's one way in, through a row that refers to the line.
      CameraTable table;
      table.appendLine(text, typeAsThree, 0);
      ASSERT_TRUE(table.rowLine(0)) << name;
      Record got{};
      ASSERT_EQ(encodeRowInto(table, 0, 7, 9, got.data()), want.has_value()) << name;
      if (want) {
        EXPECT_EQ(got, *want) << name;
      }
    }
  }
}

TEST(DatabaseFile, WholeFileWorkedExample) {
  RandomBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i);
  const Header header = makeHeader({2024, 11, 5});
  DatabaseBuilder builder(header, block);
  builder.add(*encodeRecord({"12.3456", "45.6789", "3", "80", "1", "270", "12.4", "45.7", "275"}, 0, 0));
  const FileBytes file = builder.finish();
  ASSERT_EQ(file.size(), 128u);
  const std::vector<std::uint8_t> expectedHeader{0x72, 0x75, 0x64, 0x62, 0x05, 0x0B, 0xE8, 0x07,
                                                 0x72, 0x31, 0x72, 0x40, 0x00, 0x00, 0x00, 0x30};
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 16), expectedHeader);
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + 16, file.begin() + 32),
            std::vector<std::uint8_t>(block.begin(), block.end()));
  for (std::size_t i = 56; i < 128; ++i) EXPECT_EQ(file[i], 0xFF) << i;
  EXPECT_EQ(databaseFileName(header), "DB_241105.dbh");
}

TEST(DatabaseFile, LengthsAndFillForEveryRecordCountModEight) {
  const std::size_t fills[] = {8, 48, 24, 0, 40, 16, 56, 32};
  RandomBlock block{};
  block[3] = 0x5A;
  for (std::size_t n = 0; n < 17; ++n) {
    EXPECT_EQ(fillLength(n), fills[n % 8]) << n;
    DatabaseBuilder b(makeHeader({2024, 1, 1}), block);
    for (std::size_t i = 0; i < n; ++i) b.add(*encodeRecord({"1", "1", "1", "60"}, 0x11, 0x22));
    const auto file = b.finish();
    const std::uint32_t dataLength = file[11] | file[12] << 8 | file[13] << 16 | file[14] << 24;
    EXPECT_EQ(dataLength, 16 + 24 * n + 24) << n;
    EXPECT_EQ(file.size(), 16 + dataLength + fills[n % 8]) << n;
    EXPECT_EQ(file.size() % 64, 0u) << n;
    const std::uint8_t check = static_cast<std::uint8_t>(0x4A ^ xorBytes(std::span(file).subspan(16, 16 + 24 * n)));
    EXPECT_EQ(file[15], check) << n;
  }
  // No record at all: 64 bytes, data length 40, checksum 0x4A ^ the random block.
  const auto empty = DatabaseBuilder(makeHeader({2024, 1, 1}), block).finish();
  EXPECT_EQ(empty.size(), 64u);
  EXPECT_EQ(empty[11], 40);
  EXPECT_EQ(empty[15], 0x4A ^ 0x5A);
}

TEST(DatabaseFile, XorOfBytesForEveryLengthAndOffset) {
  std::vector<std::uint8_t> bytes(64);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 37 + 11);
  for (std::size_t from = 0; from < 9; ++from) {
    for (std::size_t length = 0; from + length <= bytes.size(); ++length) {
      std::uint8_t expected = 0;
      for (std::size_t i = from; i < from + length; ++i) expected ^= bytes[i];
      ASSERT_EQ(xorBytes(std::span(bytes).subspan(from, length)), expected) << from << "+" << length;
    }
  }
}

TEST(DatabaseFile, NameUsesTheYearModuloTwoHundredFiftySix) {
  EXPECT_EQ(databaseFileName(makeHeader({2100, 1, 1})), "DB_1000101.dbh");
  EXPECT_EQ(databaseFileName(makeHeader({2000, 12, 31})), "DB_001231.dbh");
  EXPECT_EQ(databaseFileName(makeHeader({2256, 3, 6})), "DB_000306.dbh");
  EXPECT_EQ(databaseFileName(makeHeader({1999, 3, 6})), "DB_2550306.dbh");
}

}  // namespace
}  // namespace solvane

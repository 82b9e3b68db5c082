// Reading the database back: decoding, inspection of damaged files, and round trips from the
// lists through the encoder and back.
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/c_number.h"
#include "convert/conversion.h"
#include "check/database_reader.h"
#include "convert/record_encoder.h"
#include "tests/database_builder.h"

namespace solvane {
namespace {

Record bytesOf(std::initializer_list<int> v) {
  Record r{};
  std::size_t i = 0;
  for (const int b : v) r[i++] = static_cast<std::uint8_t>(b);
  return r;
}

TEST(DecodeRecord, WorkedExamples) {
  const DecodedRecord one =
      decodeRecord(bytesOf({0x30, 0x04, 0xF6, 0xFF, 0xB8, 0xE2, 0x01, 0x00, 0x01, 0x3C, 0x00, 0x87,
                            0xA1, 0x04, 0xF6, 0xFF, 0xB2, 0xE2, 0x01, 0x00, 0x01, 0x3C, 0x00, 0x87}));
  EXPECT_FALSE(one.twoPoint);
  EXPECT_FALSE(one.ambiguous);
  EXPECT_EQ(one.first.latitude, -654321);
  EXPECT_EQ(one.first.longitude, 123455);
  EXPECT_EQ(one.type, 1);
  EXPECT_EQ(one.speed, 60);
  EXPECT_EQ(one.dtype, 0);
  EXPECT_EQ(one.first.h, 135);
  EXPECT_EQ(directionFromH(one.first.h), 90);

  const DecodedRecord two =
      decodeRecord(bytesOf({0x6A, 0xF8, 0x06, 0x00, 0x12, 0xE2, 0x01, 0x00, 0x10, 0x50, 0x01, 0x2D,
                            0x48, 0xF9, 0x06, 0x00, 0x4F, 0xE4, 0x01, 0x00, 0x10, 0x50, 0x01, 0x2F}));
  EXPECT_TRUE(two.twoPoint);
  EXPECT_EQ(two.first.latitude, 456789);
  EXPECT_EQ(two.first.longitude, 123455);
  EXPECT_EQ(two.second.latitude, 457000);
  EXPECT_EQ(two.second.longitude, 124000);
  EXPECT_EQ(two.type, 16);
  EXPECT_EQ(directionFromH(two.first.h), 270);
  EXPECT_EQ(directionFromH(two.second.h), 274);  // 275 written: exact to 2 degrees
}

TEST(DecodeRecord, TheAmbiguousCase) {
  // A section whose end point shares the upper three bytes of both coordinates and the
  // direction of its start point is byte-for-byte a one-point record of TYPE 16.
  const Record r = *encodeRecord({"12.3456", "45.6789", "3", "80", "1", "270", "12.35", "45.68", "270"}, 0, 0);
  const DecodedRecord d = decodeRecord(r);
  EXPECT_FALSE(d.twoPoint);
  EXPECT_TRUE(d.ambiguous);
  EXPECT_EQ(d.second.latitude, 456800);  // the end point is there for whoever wants it
  EXPECT_EQ(d.second.longitude, 123500);

  // One step further in either coordinate and the copies differ.
  EXPECT_TRUE(
      decodeRecord(*encodeRecord({"12.3456", "45.6789", "3", "80", "1", "270", "12.3456", "45.6960", "270"}, 0, 0))
          .twoPoint);
  // A different direction at the end point also tells it apart.
  EXPECT_TRUE(decodeRecord(*encodeRecord({"12.3456", "45.6789", "3", "80", "1", "270", "12.35", "45.68", "274"}, 0, 0))
                  .twoPoint);
  // A one-point record whose random bytes happen to be what the copy would hold is still
  // one point, and with a TYPE other than 16 never ambiguous.
  const Record p = *encodeRecord({"12.3456", "45.6789", "3", "80", "1", "270"}, 0x00, 0x00);
  EXPECT_FALSE(decodeRecord(p).twoPoint);
  EXPECT_FALSE(decodeRecord(p).ambiguous);
}

TEST(DecodeRecord, DirectionsAndDegrees) {
  for (int d = 0; d < 360; ++d) {
    for (const std::uint8_t dtype : {0, 1}) {
      const auto back = directionFromH(halfDirection(d, dtype));
      ASSERT_TRUE(back.has_value());
      EXPECT_TRUE(*back == d || *back == (d + 359) % 360) << d;
    }
  }
  EXPECT_EQ(directionFromH(halfDirection(0, 2)), 180);  // DTYPE 2 folds 0 onto 180
  EXPECT_EQ(directionFromH(180), std::nullopt);
  EXPECT_EQ(degreesText(-654321), "-65.4321");
  EXPECT_EQ(degreesText(5), "0.0005");
  EXPECT_EQ(degreesText(-5), "-0.0005");
  EXPECT_EQ(degreesText(0), "0.0000");
  EXPECT_EQ(degreesText(INT32_MIN), "-214748.3648");
}

// A small valid file: five records in latitude order, the third a section.
std::vector<std::uint8_t> goodFile(std::size_t records = 5) {
  RandomBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(0x30 + i);
  DatabaseBuilder b(makeHeader({2024, 11, 5}), block);
  for (std::size_t i = 0; i < records; ++i) {
    const std::string lat = std::to_string(35 + i) + ".25";
    if (i == 2) {
      b.add(*encodeRecord({"127.5", lat, "16", "80", "1", "90", "127.9", "36.5", "95"}, 0, 0));
    } else {
      b.add(*encodeRecord({"127.125", lat, "1", "60", "0", "180"}, static_cast<std::uint8_t>(i * 7),
                          static_cast<std::uint8_t>(i * 13)));
    }
  }
  const FileBytes file = b.finish();
  return {file.begin(), file.end()};
}

TEST(InspectDatabase, AGoodFileIsValid) {
  for (const std::size_t n : {0, 1, 5, 8, 11}) {
    const auto file = goodFile(n);
    const DatabaseInspection r = inspectDatabase(file);
    EXPECT_TRUE(r.valid()) << n << ": " << (r.problems.empty() ? "" : r.problems[0].what);
    EXPECT_TRUE(r.notes.empty());
    EXPECT_TRUE(r.isCameraDatabase);
    EXPECT_EQ(r.records.size(), n);
    EXPECT_EQ(r.twoPoint, n > 2 ? 1u : 0u);
    EXPECT_EQ(r.onePoint + r.twoPoint, n);
    EXPECT_EQ(r.year, 2024);
    EXPECT_EQ(r.month, 11);
    EXPECT_EQ(r.day, 5);
    EXPECT_EQ(r.dataLength, 40 + 24 * n);
    EXPECT_EQ(r.storedChecksum, r.computedChecksum);
  }
}

TEST(InspectDatabase, FindsEachKindOfDamageAtItsOffset) {
  using File = std::vector<std::uint8_t>;
  constexpr std::size_t kRec = 32;           // first record
  constexpr std::size_t kEnd = 32 + 5 * 24;  // end record, 152
  constexpr std::size_t kSize = 192;         // 176 + 16 fill
  struct Case {
    const char* name;
    std::function<void(File&)> damage;
    std::size_t offset;
    const char* says;
    bool only = false;  // the one problem reported
  };
  const auto setLe32 = [](File& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  const Case cases[] = {
      {"magic", [](File& f) { f[1] = 'U'; }, 0, "magic is \"rUdb\"", true},
      {"format mark", [](File& f) { f[9] = '2'; }, 8, "format mark", true},
      {"month", [](File& f) { f[5] = 13; }, 5, "month 13", true},
      {"day", [](File& f) { f[4] = 0; }, 4, "day 0", true},
      {"data length not 40 + 24n", [&](File& f) { setLe32(f, 11, 41); }, 11, "not 40 + 24", true},
      {"data length one record short", [&](File& f) { setLe32(f, 11, 40 + 4 * 24); }, 11, "end record at offset 128",
       true},
      {"data length one record long", [&](File& f) { setLe32(f, 11, 40 + 6 * 24); }, 11, "announces 6 records", true},
      {"checksum byte", [](File& f) { f[15] ^= 0x01; }, 15, "stored checksum", true},
      {"random block byte", [](File& f) { f[20] ^= 0x40; }, 15, "computed", true},
      {"record speed byte", [](File& f) { f[kRec + 24 + 9] ^= 0x01; }, 15, "checksum"},
      {"latitude out of range",
       [](File& f) {
         f[kRec + 3] = 0x7F;
         f[kRec + 15] = 0x7F;
       },
       kRec, "outside -900000..900000"},
      {"records out of latitude order",
       [](File& f) { std::swap_ranges(f.begin() + kRec, f.begin() + kRec + 24, f.begin() + kRec + 24); }, kRec + 24,
       "below the previous record's", true},
      {"section copy of TYPE differs", [](File& f) { f[kRec + 48 + 20] = 3; }, kRec + 48 + 8, "bytes 20-22"},
      {"section speed differs", [](File& f) { f[kRec + 48 + 9] ^= 0x20; }, kRec + 48 + 9, "bytes 20-22"},
      {"record turned into 0xFF", [](File& f) { std::fill_n(f.begin() + kRec + 24, 24, 0xFF); }, kRec + 24,
       "takes for the end record"},
      {"end record byte", [](File& f) { f[kEnd + 5] = 0x00; }, kEnd + 5, "end record byte 5", true},
      {"fill byte", [](File& f) { f[kSize - 3] = 0x00; }, kSize - 3, "fill byte(s) are not 0xFF", true},
      {"fill cut short", [](File& f) { f.resize(kSize - 1); }, kSize - 1, "must be 192", true},
      {"bytes after the fill", [](File& f) { f.push_back(0xFF); }, kSize, "after the end of the fill", true},
      {"cut inside the records", [](File& f) { f.resize(100); }, 100, "the file ends at offset 100"},
      {"cut after a whole record", [](File& f) { f.resize(80); }, 80, "the file ends at offset 80"},
      {"cut inside the header", [](File& f) { f.resize(10); }, 10, "shorter than the 16-byte header", true},
      {"cut inside the random block", [](File& f) { f.resize(20); }, 20, "inside the random block", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    File f = goodFile();
    ASSERT_EQ(f.size(), kSize);
    c.damage(f);
    const DatabaseInspection r = inspectDatabase(f);
    EXPECT_FALSE(r.valid());
    bool found = false;
    std::string all;
    for (const DatabaseIssue& p : r.problems) {
      all += std::to_string(p.offset) + ": " + p.what + "\n";
      found = found || (p.offset == c.offset && p.what.find(c.says) != std::string::npos);
    }
    EXPECT_TRUE(found) << all;
    if (c.only) {
      EXPECT_EQ(r.problems.size(), 1u) << all;
    }
  }
}

TEST(InspectDatabase, EndPointOutOfRangeIsANoteOnly) {
  DatabaseBuilder b(makeHeader({2024, 1, 1}), RandomBlock{});
  b.add(*encodeRecord({"127", "37", "16", "80", "1", "90", "200", "37.1", "90"}, 0, 0));
  const auto file = b.finish();
  const DatabaseInspection r = inspectDatabase(file);
  EXPECT_TRUE(r.valid());
  ASSERT_EQ(r.notes.size(), 1u);
  EXPECT_EQ(r.notes[0].offset, 32u + 12u);
}

// Every row of the (sorted) table against the records, skipping what the conversion skips.
void expectRoundTrip(const CameraTable& table, std::span<const std::uint8_t> file) {
  const DatabaseInspection r = inspectDatabase(file);
  ASSERT_TRUE(r.valid()) << r.problems[0].offset << ": " << r.problems[0].what;
  std::size_t k = 0;
  for (std::size_t row = 0; row < table.rowCount(); ++row) {
    const RecordCells c = RecordCells::fromRow(table.cells(row));
    const std::int32_t lon = scaleCoordinate(c.x), lat = scaleCoordinate(c.y);
    if (!inRange(lon, lat)) continue;
    SCOPED_TRACE("row " + std::to_string(row) + " X " + std::string(c.x) + " Y " + std::string(c.y));
    ASSERT_LT(k, r.records.size());
    const DecodedRecord& d = r.records[k++];
    // Coordinates: exactly the truncated scaling, so within 1/10000 degree of the text.
    EXPECT_EQ(d.first.longitude, lon);
    EXPECT_EQ(d.first.latitude, lat);
    EXPECT_LT(std::abs(parseCDouble(c.y) - d.first.latitude / 10000.0), 1e-4);
    EXPECT_LT(std::abs(parseCDouble(c.x) - d.first.longitude / 10000.0), 1e-4);
    const std::uint8_t dtype = static_cast<std::uint8_t>(parseCInt(c.dtype));
    EXPECT_EQ(d.type, c.hasSecondPoint() ? 16 : static_cast<std::uint8_t>(parseCInt(c.type)));
    EXPECT_EQ(d.speed, speedByte(parseCInt(c.spd)));
    EXPECT_EQ(d.dtype, dtype);
    const auto expectDirection = [&](std::string_view text, std::uint8_t h) {
      const int dir = parseCInt(text);
      const auto back = directionFromH(h);
      ASSERT_TRUE(back.has_value()) << text;
      if (dtype == 2 && (dir == 0 || dir == 360)) {
        EXPECT_EQ(*back, 180);
      } else {
        EXPECT_TRUE(*back == dir % 360 || *back == (dir + 359) % 360) << text << " read back as " << *back;
      }
    };
    expectDirection(c.dir, d.first.h);
    // A point is never read as a section; a section is, unless it is the ambiguous case.
    if (!c.hasSecondPoint()) {
      EXPECT_FALSE(d.twoPoint);
    }
    if (c.hasSecondPoint()) {
      EXPECT_TRUE(d.twoPoint || d.ambiguous);
    }
    if (c.hasSecondPoint()) {
      EXPECT_EQ(d.second.longitude, scaleCoordinate(c.x2));
      EXPECT_EQ(d.second.latitude, scaleCoordinate(c.y2));
      expectDirection(c.dir2, d.second.h);
    }
  }
  EXPECT_EQ(k, r.records.size());
}

TEST(RoundTrip, ExampleLists) {
  CameraTable table;
  ConversionRequest request;
  request.sources = {SOLVANE_EXAMPLES "/Solvane.txt", SOLVANE_EXAMPLES "/Autodoria.txt"};
  request.date = {2024, 11, 5};
  request.seed = 3;
  ASSERT_TRUE(loadSources(table, request.sources).ok());
  table.sortByLatitude();
  const EncodedDatabase db = encodeDatabase(table, makeHeader(request.date), RandomBytes(3).block(), RandomBytes(3));
  ASSERT_GT(db.records, 300u);
  expectRoundTrip(table, db.bytes);
  const DatabaseInspection r = inspectDatabase(db.bytes);
  EXPECT_EQ(r.twoPoint + r.ambiguous, 36u);
}

TEST(RoundTrip, GeneratedList) {
  std::mt19937 gen(12345);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
  const auto coord = [&](int limit) {
    // Up to six decimals, sometimes beyond the range to exercise the skip.
    const double v = pick(-limit * 1000 - 5000, limit * 1000 + 5000) / 1000.0 + pick(0, 999) / 1e6;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return std::string(buf);
  };
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::string> r = {std::to_string(i),
                                  coord(180),
                                  coord(90),
                                  std::to_string(pick(0, 300)),
                                  std::to_string(pick(0, 300)),
                                  std::to_string(pick(0, 2)),
                                  std::to_string(pick(0, 360))};
    if (i % 5 == 0) {
      r.insert(r.end(), {std::to_string(i), coord(180), coord(90), "3", "80", "1", std::to_string(pick(0, 359))});
    }
    rows.push_back(std::move(r));
  }
  CameraTable table;
  for (const auto& r : rows) {
    std::vector<std::string_view> v(r.begin(), r.end());
    table.appendRow(v, 0);
  }
  table.sortByLatitude();
  const EncodedDatabase db = encodeDatabase(table, makeHeader({2030, 2, 28}), RandomBytes(9).block(), RandomBytes(9));
  EXPECT_LT(db.records, rows.size());  // some were out of range
  expectRoundTrip(table, db.bytes);
}

}  // namespace
}  // namespace solvane

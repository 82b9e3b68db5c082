#include "fuzz/fuzz_checks.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "table/camera_table.h"
#include "check/near_duplicates.h"
#include "check/quality_findings.h"
#include "check/row_check.h"
#include "base/bytes.h"
#include "base/c_number.h"
#include "convert/conversion.h"
#include "convert/database_file.h"
#include "convert/random_bytes.h"
#include "convert/record_encoder.h"
#include "load/autodoria_list.h"
#include "base/load_error.h"
#include "load/normal_list.h"

namespace solvane::fuzz {
namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The message is built only when the property is broken: the checks run on every input.
#define REQUIRE(ok, what)  \
  do {                     \
    if (!(ok)) fail(what); \
  } while (false)

// At most 80 bytes of a cell, escaped; "..." inside the quotes when there was more.
std::string shown(std::string_view s) {
  const std::string_view head = s.substr(0, 80);
  std::string out = escapedBytes({reinterpret_cast<const std::uint8_t*>(head.data()), head.size()});
  if (s.size() > head.size()) out.insert(out.size() - 1, "...");
  return out;
}

// ---------------------------------------------------------------------------------------------
// A plain model of the camera table and of both parsers, written byte by byte from the list
// rules rather than line by line like the real parsers.

struct ModelRow {
  std::array<std::string, kColumnCount> cells;
  ItemData itemData = 0;
};

struct ModelTable {
  std::vector<ModelRow> rows;

  void insert(std::size_t position, std::string_view column0) {
    ModelRow row;
    row.cells[0] = column0;
    if (position >= rows.size()) {
      rows.push_back(std::move(row));
    } else {
      rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(position), std::move(row));
    }
  }
  void set(std::size_t row, std::size_t column, std::string_view text) {
    if (row < rows.size() && column < static_cast<std::size_t>(kColumnCount)) rows[row].cells[column] = text;
  }
  [[nodiscard]] std::string_view get(std::size_t row, std::size_t column) const {
    return row < rows.size() ? std::string_view(rows[row].cells[column]) : std::string_view();
  }
  void setItem(std::size_t row, std::size_t value) {
    if (row < rows.size()) rows[row].itemData = static_cast<ItemData>(value);
  }
  void erase(std::size_t row) {
    if (row < rows.size()) rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
  }
};

ModelTable snapshot(const CameraTable& table) {
  ModelTable m;
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    ModelRow row;
    const RowCells cells = table.cells(r);
    for (std::size_t c = 0; c < cells.size(); ++c) row.cells[c] = cells[c];
    row.itemData = table.itemData(r);
    m.rows.push_back(std::move(row));
  }
  return m;
}

void requireSameTable(const CameraTable& table, const ModelTable& model, const char* what) {
  REQUIRE(table.rowCount() == model.rows.size(), std::string(what) + ": " + std::to_string(table.rowCount()) +
                                                     " rows, the model has " + std::to_string(model.rows.size()));
  for (std::size_t r = 0; r < model.rows.size(); ++r) {
    const RowCells cells = table.cells(r);
    for (int c = 0; c < kColumnCount; ++c) {
      const auto col = static_cast<std::size_t>(c);
      REQUIRE(cells[col] == model.rows[r].cells[col] && table.cell(r, c) == cells[col],
              std::string(what) + ": row " + std::to_string(r) + " column " + std::to_string(c) + " is " +
                  shown(cells[col]) + ", the model has " + shown(model.rows[r].cells[col]));
    }
    // The encoder reads a row through its line where it has one: the same record must come out.
    // The sort reads the latitude straight from the line where it can.
    REQUIRE(std::bit_cast<std::uint64_t>(rowLatitude(table, r)) ==
                std::bit_cast<std::uint64_t>(parseCDouble(model.rows[r].cells[kY])),
            std::string(what) + ": row " + std::to_string(r) + " sorts by another latitude than its Y cell's");
    RowCells modelCells;
    std::copy(model.rows[r].cells.begin(), model.rows[r].cells.end(), modelCells.begin());
    const std::optional<Record> want = encodeRecord(RecordCells::fromRow(modelCells), 1, 2);
    Record got{};
    const bool written = encodeRowInto(table, r, 1, 2, got.data());
    REQUIRE(written == want.has_value() && (!written || got == *want) &&
                encodeRecord(RecordCells::fromTable(table, r), 1, 2) == want,
            std::string(what) + ": row " + std::to_string(r) + " encodes differently when read for encoding");
    REQUIRE(table.itemData(r) == model.rows[r].itemData,
            std::string(what) + ": row " + std::to_string(r) + " item data " + std::to_string(table.itemData(r)) +
                ", the model has " + std::to_string(model.rows[r].itemData));
  }
}

// No cell ever holds a byte that the rules treat as a separator.
void requireCleanCells(const CameraTable& table, const char* what) {
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    for (const std::string_view cell : table.cells(r)) {
      REQUIRE(cell.find_first_of(",\n\r") == std::string_view::npos,
              std::string(what) + ": row " + std::to_string(r) + " holds a separator in " + shown(cell));
    }
  }
}

// After a successful load the item data run 1..n in table order; only a last section whose
// end line never came keeps the 0 of a new row.
void requireItemDataRun(const CameraTable& table, bool lastMayBeUnfinished, const char* what) {
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    const ItemData got = table.itemData(r);
    const bool unfinished = lastMayBeUnfinished && r + 1 == table.rowCount() && got == 0;
    REQUIRE(unfinished || got == static_cast<ItemData>(r + 1),
            std::string(what) + ": row " + std::to_string(r) + " has item data " + std::to_string(got));
  }
}

bool startsWithComment(std::string_view s) { return s.size() >= 2 && s[0] == '/' && s[1] == '/'; }

std::optional<std::string> modelNormalList(std::string_view bytes, bool complete, ModelTable& m) {
  std::string field;
  std::size_t column = 0;
  std::size_t row = 0;
  auto endLine = [&] {
    if (column == 0 && field.empty()) return;  // an empty line
    if (column == 0) {
      m.insert(row, field);
    } else {
      m.set(row, column, field);
    }
    if (startsWithComment(m.get(row, 0))) {
      m.erase(row);
    } else {
      m.setItem(row, row);
      ++row;
    }
    field.clear();
    column = 0;
  };
  for (const char b : bytes) {
    if (b == ',') {
      if (column == 0) {
        m.insert(row, field);
      } else if (column == 3) {
        m.set(row, 3, field == "2" || field.empty() ? std::string_view("3") : std::string_view(field));
      } else {
        m.set(row, column, field);
      }
      field.clear();
      ++column;
    } else if (b == '\n') {
      endLine();
    } else if (b != '\r') {
      field += b;
    }
  }
  if (!complete) return std::nullopt;
  endLine();  // text after the last line feed
  if (m.rows.empty() || m.get(0, 1) != "X") return std::string(kErrorWrongFile);
  m.erase(0);
  return std::nullopt;
}

std::optional<std::string> modelAutodoriaList(std::string_view bytes, bool complete, ModelTable& m) {
  std::string field;
  std::size_t row = m.rows.size();
  const std::size_t header = row;
  std::size_t column = 0;
  std::size_t lineCounter = 0;
  bool sawComma = false;
  bool sawText = false;
  enum class State { kGoing, kStopped, kWrong } state = State::kGoing;
  auto endLine = [&] {
    const bool blank = !sawText;
    const bool hadComma = sawComma;
    sawText = sawComma = false;
    if (blank) return;  // skipped, not counted
    if (startsWithComment(field)) {
      state = State::kStopped;
      return;
    }
    if (!hadComma) {
      state = State::kWrong;
      return;
    }
    m.set(row, column, field);
    field.clear();
    if (lineCounter % 2 == 0) {
      m.setItem(row, row);
      ++row;
      column = 0;
    } else {
      ++column;
    }
    ++lineCounter;
  };
  for (const char b : bytes) {
    if (state != State::kGoing) break;
    if (b == ',') {
      if (column == 0) {
        m.insert(row, field);
      } else {
        m.set(row, column, field);
      }
      field.clear();
      ++column;
      sawComma = sawText = true;
    } else if (b == '\n') {
      endLine();
    } else if (b != '\r') {
      field += b;
      sawText = true;
    }
  }
  if (state == State::kGoing) {
    if (!complete) return std::nullopt;
    endLine();
  }
  if (state == State::kWrong) return std::string(kErrorWrongFile);
  if (m.get(header, 0) != "IDX") return std::string(kErrorWrongFile);
  m.erase(header);
  return std::nullopt;
}

std::string messageOf(const std::optional<LoadError>& e) { return e ? e->message : std::string("success"); }

// ---------------------------------------------------------------------------------------------
// A reference record encoder: numbers through strtod/strtoll on the numeric prefix, 64-bit
// arithmetic, bytes laid out one by one.

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The text that atof (decimal only) or atoi would read.
std::string numericPrefix(std::string_view s, bool decimal) {
  std::size_t i = 0;
  while (i < s.size() && isCSpace(s[i])) ++i;
  const std::size_t start = i;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (decimal && i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return "0";
  if (decimal && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      i = j;
    }
  }
  return std::string(s.substr(start, i - start));
}

std::int32_t refScale(std::string_view text) {
  const double degrees = std::strtod(numericPrefix(text, true).c_str(), nullptr);
  const double product = degrees * 10000.0;
  if (std::isnan(product)) return INT32_MIN;
  const double whole = std::trunc(product);
  if (whole < -2147483648.0 || whole > 2147483647.0) return INT32_MIN;
  return static_cast<std::int32_t>(whole);
}

std::int32_t refAtoi(std::string_view text) {
  errno = 0;
  const long long v = std::strtoll(numericPrefix(text, false).c_str(), nullptr, 10);
  return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

std::uint8_t low8(std::int64_t v) { return static_cast<std::uint8_t>(((v % 256) + 256) % 256); }

std::uint8_t refHalf(std::int32_t d, std::uint8_t dtype) {
  std::int64_t r = d < 180 ? std::int64_t{d} + 180 : std::int64_t{d} - 180;
  if (dtype == 2 && r == 180) r = 0;
  return low8(r / 2);
}

std::uint8_t refSpeed(std::int32_t s) {
  const std::uint8_t b = low8(s);
  return b < 10 ? 0 : b;
}

std::uint8_t byteOf(std::int32_t v, int i) {
  return static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFFu);
}

using Cells9 = std::array<std::string_view, 9>;  // X, Y, TYPE, SPD, DTYPE, DIR, X2, Y2, DIR2

std::optional<Record> refEncode(const Cells9& c, std::uint8_t random1, std::uint8_t random2) {
  const bool twoPoint = !c[6].empty();
  const std::int32_t lon = refScale(c[0]);
  const std::int32_t lat = refScale(c[1]);
  if (lon < -1800000 || lon > 1800000 || lat < -900000 || lat > 900000) return std::nullopt;
  const std::uint8_t type = twoPoint ? 16 : low8(refAtoi(c[2]));
  const std::uint8_t speed = refSpeed(refAtoi(c[3]));
  const std::uint8_t dtype = low8(refAtoi(c[4]));
  const std::uint8_t h = refHalf(refAtoi(c[5]), dtype);
  Record r{};
  r[0] = byteOf(lat, 0) ^ byteOf(lon, 0);
  r[4] = byteOf(lon, 0) ^ h;
  for (int i = 1; i < 4; ++i) {
    r[static_cast<std::size_t>(i)] = byteOf(lat, i);
    r[static_cast<std::size_t>(4 + i)] = byteOf(lon, i);
  }
  r[8] = type;
  r[9] = speed;
  r[10] = dtype;
  r[11] = h;
  if (twoPoint) {
    const std::int32_t lon2 = refScale(c[6]);
    const std::int32_t lat2 = refScale(c[7]);
    const std::uint8_t h2 = refHalf(refAtoi(c[8]), dtype);
    r[12] = byteOf(lat2, 0) ^ byteOf(lon2, 0);
    r[16] = byteOf(lon2, 0) ^ h2;
    for (int i = 1; i < 4; ++i) {
      r[static_cast<std::size_t>(12 + i)] = byteOf(lat2, i);
      r[static_cast<std::size_t>(16 + i)] = byteOf(lon2, i);
    }
    r[23] = h2;
  } else {
    r[12] = random1;
    r[16] = random2;
    for (int i = 1; i < 4; ++i) {
      r[static_cast<std::size_t>(12 + i)] = byteOf(lat, i);
      r[static_cast<std::size_t>(16 + i)] = byteOf(lon, i);
    }
    r[23] = h;
  }
  r[20] = type;
  r[21] = speed;
  r[22] = dtype;
  return r;
}

Cells9 cellsOf(const RowCells& row) {
  return {row[kX], row[kY], row[kType], row[kSpd], row[kDtype], row[kDir], row[kX2], row[kY2], row[kDir2]};
}

std::string hex(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (const std::uint8_t b : bytes) {
    char h[4];
    std::snprintf(h, sizeof h, "%02X ", b);
    out += h;
  }
  return out;
}

std::uint32_t le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

void checkNormalList(std::string_view input) {
  if (input.empty()) return;
  const bool complete = (input[0] & 1) != 0;
  const std::string_view bytes = input.substr(1);
  CameraTable table;
  const std::optional<LoadError> error = parseNormalList(bytes, complete, table, "fuzz.txt");
  ModelTable model;
  const std::optional<std::string> expected = modelNormalList(bytes, complete, model);
  REQUIRE(messageOf(error) == expected.value_or("success"),
          "normal list: " + messageOf(error) + ", the model says " + expected.value_or("success"));
  requireSameTable(table, model, "normal list");
  requireCleanCells(table, "normal list");
  if (complete && !error) requireItemDataRun(table, false, "normal list");

  // Large lists are parsed in two parts on two threads; cut this one where its first byte says.
  // The table keeps these bytes, as after a load from a file, so its rows refer to their lines
  // instead of copying them.
  const std::size_t cut = (static_cast<unsigned char>(input[0]) >> 1) * bytes.size() / 128;
  const std::shared_ptr<char[]> kept = std::make_shared<char[]>(bytes.size() + 1);
  std::copy(bytes.begin(), bytes.end(), kept.get());
  const std::string_view keptBytes(kept.get(), bytes.size());
  CameraTable two;
  two.keepText(kept, keptBytes);
  const std::optional<LoadError> twoError = parseNormalListInTwo(keptBytes, complete, two, "fuzz.txt", cut);
  REQUIRE(messageOf(twoError) == expected.value_or("success"),
          "normal list in two parts: " + messageOf(twoError) + ", the model says " + expected.value_or("success"));
  REQUIRE(!twoError || !error || twoError->detail == error->detail,
          "normal list in two parts: detail \"" + twoError.value_or(LoadError{}).detail + "\", in one part \"" +
              error.value_or(LoadError{}).detail + "\"");
  requireSameTable(two, model, "normal list in two parts");
}

void checkAutodoriaList(std::string_view input) {
  if (input.empty()) return;
  const bool complete = (input[0] & 1) != 0;
  const std::size_t normalRows = (static_cast<unsigned char>(input[0]) >> 1) & 3;
  const std::string_view bytes = input.substr(1);
  CameraTable table;
  ModelTable model;
  for (std::size_t i = 0; i < normalRows; ++i) {
    const std::string_view cells[] = {"n", "127.5", "37.5"};
    table.appendRow(cells, static_cast<ItemData>(i + 1));
    model.insert(i, "n");
    model.set(i, 1, "127.5");
    model.set(i, 2, "37.5");
    model.setItem(i, i + 1);
  }
  const std::optional<LoadError> error = parseAutodoriaList(bytes, complete, table, "fuzz.txt");
  const std::optional<std::string> expected = modelAutodoriaList(bytes, complete, model);
  REQUIRE(messageOf(error) == expected.value_or("success"),
          "Autodoria list: " + messageOf(error) + ", the model says " + expected.value_or("success"));
  requireSameTable(table, model, "Autodoria list");
  requireCleanCells(table, "Autodoria list");
  if (complete && !error) requireItemDataRun(table, true, "Autodoria list");
}

void checkConversion(std::string_view input) {
  if (input.empty()) return;
  const auto flags = static_cast<unsigned char>(input[0]);
  const std::string_view rest = input.substr(1);
  const std::size_t nul = rest.find('\0');
  const std::string_view normal = rest.substr(0, nul);
  const bool withNormal = (flags & 1) == 0 || nul == std::string_view::npos;
  const bool withAutodoria = nul != std::string_view::npos;

  // The load: normal list first, then the Autodoria list; the first failure ends the road.
  CameraTable table;
  if (withNormal && parseNormalList(normal, true, table, "normal.txt")) return;
  if (withAutodoria && parseAutodoriaList(rest.substr(nul + 1), true, table, "autodoria.txt")) return;
  requireItemDataRun(table, withAutodoria, "load");
  if (table.rowCount() == 0) return;

  // The sort: stable, by each row's own latitude.
  ModelTable expected = snapshot(table);
  std::stable_sort(expected.rows.begin(), expected.rows.end(), [](const ModelRow& a, const ModelRow& b) {
    return parseCDouble(a.cells[kY]) < parseCDouble(b.cells[kY]);
  });
  table.sortByLatitude();
  requireSameTable(table, expected, "sort");

  // The quality findings: the near-duplicate grid finds the groups that measuring every pair
  // finds, wherever the rows lie (poles, the antimeridian, strange numbers), and the whole check
  // runs through.
  std::vector<GeoPoint> points;
  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    const RowCells cells = table.cells(i);
    const RowCheck c = checkRow(cells);
    if (!c.skipped() && !c.atZero()) points.push_back({parseCDouble(cells[kY]), parseCDouble(cells[kX])});
  }
  if (points.size() <= 500) {
    for (const double near : {kDefaultNearMetres, 3000.0}) {
      const std::vector<NearGroup> fast = findNearGroups(points, near), slow = findNearGroupsByAllPairs(points, near);
      REQUIRE(fast.size() == slow.size(), "near duplicates: " + std::to_string(fast.size()) +
                                              " groups, all pairs give " + std::to_string(slow.size()));
      for (std::size_t g = 0; g < fast.size(); ++g) {
        REQUIRE(fast[g].members == slow[g].members, "near duplicates: group " + std::to_string(g) + " differs");
      }
    }
  }
  const std::vector<QualityFinding> quality =
      checkQuality(table, QualityOptions{}, [](std::size_t row) { return std::to_string(row); });
  for (const QualityFinding& f : quality)
    REQUIRE(f.row < table.rowCount() && !f.text.empty(), "quality finding without a row or text");

  // The encoding.
  const FileDate date{1990 + flags, 1 + flags % 12, 1 + flags % 28};
  const Header header = makeHeader(date);
  const RandomBytes random(0x9E3779B97F4A7C15ull * (flags + 1u));
  const RandomBlock block = random.block();
  std::vector<std::size_t> progress;
  const EncodedDatabase db =
      encodeDatabase(table, header, block, random, [&](std::size_t n) { progress.push_back(n); });
  const FileBytes& f = db.bytes;
  REQUIRE(f.size() >= 64, "file: only " + std::to_string(f.size()) + " bytes");

  std::size_t n = 0;
  std::uint8_t checksum = kChecksumStart;
  for (const std::uint8_t b : block) checksum ^= b;
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    const Cells9 cells = cellsOf(table.cells(r));
    const std::size_t at = 32 + 24 * n;
    if (at + 24 > f.size()) {
      if (refEncode(cells, 0, 0)) fail("encode: the file ends before the record of row " + std::to_string(r));
      continue;
    }
    const std::span<const std::uint8_t> rec(f.data() + at, 24);
    const std::optional<Record> want = refEncode(cells, rec[12], rec[16]);
    if (!want) continue;  // out of range: no record
    REQUIRE(std::equal(want->begin(), want->end(), rec.begin()),
            "encode: row " + std::to_string(r) + " gives " + hex(rec) + ", the reference " + hex(*want));
    for (const std::uint8_t b : rec) checksum ^= b;
    ++n;
  }
  const std::size_t written = 56 + 24 * n;
  const std::size_t size = (written + 63) / 64 * 64;
  REQUIRE(db.records == n, "encode: " + std::to_string(db.records) + " records, expected " + std::to_string(n));
  REQUIRE(f.size() == size, "file: " + std::to_string(f.size()) + " bytes, expected " + std::to_string(size));
  REQUIRE(std::equal(header.begin(), header.begin() + 11, f.begin()),
          "file: header bytes 0-10 " + hex(std::span<const std::uint8_t>(f.data(), 11)));
  REQUIRE(le32(f.data() + 11) == 16 + 24 * (n + 1),
          "file: data length " + std::to_string(le32(f.data() + 11)) + " for " + std::to_string(n) + " records");
  REQUIRE(f[15] == checksum,
          "file: checksum " + std::to_string(f[15]) + ", the records give " + std::to_string(checksum));
  REQUIRE(std::equal(block.begin(), block.end(), f.begin() + 16), "file: the random block differs");
  REQUIRE(std::all_of(f.begin() + static_cast<std::ptrdiff_t>(32 + 24 * n), f.end(),
                      [](std::uint8_t b) { return b == 0xFF; }),
          "file: end record or fill is not all 0xFF");
  REQUIRE(!progress.empty() && progress.back() == n && std::is_sorted(progress.begin(), progress.end()),
          "progress: the counts do not rise to the record count");
}

void checkRecordEncoder(std::string_view input) {
  if (input.size() < 2) return;
  const auto random1 = static_cast<std::uint8_t>(input[0]);
  const auto random2 = static_cast<std::uint8_t>(input[1]);
  const std::string_view text = input.substr(2);
  Cells9 c{};
  std::size_t start = 0;
  for (std::size_t i = 0; i < c.size() && start <= text.size(); ++i) {
    const std::size_t comma = text.find(',', start);
    c[i] = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    start = comma == std::string_view::npos ? text.size() + 1 : comma + 1;
  }

  for (const std::string_view cell : {c[0], c[1], c[6], c[7]}) {
    REQUIRE(scaleCoordinate(cell) == refScale(cell), "scale " + shown(cell) + ": " +
                                                         std::to_string(scaleCoordinate(cell)) + ", the reference " +
                                                         std::to_string(refScale(cell)));
    const double v = parseCDouble(cell);
    REQUIRE(!std::isnan(v), "atof " + shown(cell) + " gives NaN");
  }
  // Read in place, with the rest of the line after the cell, a number must come out the same
  // and end inside its cell.
  const char* const lineEnd = text.data() + text.size();
  for (const std::string_view cell : c) {
    if (cell.data() == nullptr) continue;
    const char* cellEnd = cell.data() + cell.size();
    const char* next = nullptr;
    const double inPlace = scanCDouble(cell.data(), lineEnd, &next);
    REQUIRE(
        std::bit_cast<std::uint64_t>(inPlace) == std::bit_cast<std::uint64_t>(parseCDouble(cell)) && next <= cellEnd,
        "atof in place " + shown(cell) + " reads another number or past its cell");
    const std::int32_t intInPlace = scanCInt(cell.data(), lineEnd, &next);
    REQUIRE(intInPlace == parseCInt(cell) && next <= cellEnd,
            "atoi in place " + shown(cell) + " reads another number or past its cell");
  }
  for (const std::string_view cell : {c[2], c[3], c[4], c[5], c[8]}) {
    REQUIRE(parseCInt(cell) == refAtoi(cell), "atoi " + shown(cell) + ": " + std::to_string(parseCInt(cell)) +
                                                  ", the reference " + std::to_string(refAtoi(cell)));
  }

  // H and SPEED over the whole 32-bit range, straight from the input's bytes.
  if (text.size() >= 5) {
    std::int32_t d = 0;
    std::memcpy(&d, text.data(), sizeof d);
    const auto dtype = static_cast<std::uint8_t>(text[4]);
    REQUIRE(halfDirection(d, dtype) == refHalf(d, dtype),
            "halfDirection(" + std::to_string(d) + ", " + std::to_string(dtype) + ") = " +
                std::to_string(halfDirection(d, dtype)) + ", the reference " + std::to_string(refHalf(d, dtype)));
    REQUIRE(speedByte(d) == refSpeed(d), "speedByte(" + std::to_string(d) + ")");
    if (d >= 0 && d < 360 && dtype != 2) {
      REQUIRE(halfDirection(d, dtype) == (d + 180) % 360 / 2, "halfDirection(" + std::to_string(d) + ") for 0..359");
    }
  }

  const RecordCells cells{c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8]};
  const std::optional<Record> got = encodeRecord(cells, random1, random2);
  const std::optional<Record> want = refEncode(c, random1, random2);
  REQUIRE(got.has_value() == want.has_value(), std::string("encodeRecord: ") + (got ? "a record" : "no record") +
                                                   ", the reference " + (want ? "a record" : "no record") + " for " +
                                                   shown(text));
  if (got) REQUIRE(*got == *want, "encodeRecord: " + hex(*got) + ", the reference " + hex(*want));
}

}  // namespace solvane::fuzz

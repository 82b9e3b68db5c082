#include "convert/record_encoder.h"

#include <bit>
#include <cstring>

#include "table/line_fields.h"
#include "base/bytes.h"
#include "base/c_number.h"

namespace solvane {
namespace {

std::uint8_t lowByte(std::int32_t v) noexcept {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu);
}

// One point in 12 bytes: scrambled latitude and longitude, TYPE, SPEED, DTYPE and H. Byte 0
// is LAT's low byte XOR LON's, byte 4 LON's low byte XOR H.
void putPoint(std::uint8_t* p, std::int32_t lat, std::int32_t lon, std::uint8_t type, std::uint8_t speed,
              std::uint8_t dtype, std::uint8_t h) noexcept {
  putLe32(p, static_cast<std::uint32_t>(lat) ^ lowByte(lon));
  putLe32(p + 4, static_cast<std::uint32_t>(lon) ^ h);
  putLe32(p + 8, std::uint32_t{type} | std::uint32_t{speed} << 8 | std::uint32_t{dtype} << 16 | std::uint32_t{h} << 24);
}

}  // namespace

bool inRange(std::int32_t longitude, std::int32_t latitude) noexcept {
  return longitude >= -kMaxLongitude && longitude <= kMaxLongitude && latitude >= -kMaxLatitude &&
         latitude <= kMaxLatitude;
}

std::uint8_t halfDirection(std::int32_t direction, std::uint8_t dtype) noexcept {
  // Both branches stay inside int32: d + 180 only for d < 180, d - 180 only for d >= 180.
  std::int32_t r = direction < 180 ? direction + 180 : direction - 180;
  if (dtype == 2 && r == 180) r = 0;
  return lowByte(r / 2);
}

std::uint8_t speedByte(std::int32_t speed) noexcept {
  const std::uint8_t b = lowByte(speed);
  return b < 10 ? 0 : b;
}

namespace {

constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The numbers of a row's first point, as its cells read.
struct FirstPoint {
  std::int32_t lon, lat, type, spd, dtype, dir;
};

// The record of a row whose first point is `first`; `section` holds the row's cells when it is
// a section (its second point is read from them) and is null for a one-point row.
bool putRecord(const FirstPoint& first, const RecordCells* section, std::uint8_t random1, std::uint8_t random2,
               std::uint8_t* out) noexcept {
  if (!inRange(first.lon, first.lat)) return false;
  const std::uint8_t type = section ? 16 : lowByte(first.type);
  const std::uint8_t speed = speedByte(first.spd);
  const std::uint8_t dtype = lowByte(first.dtype);
  const std::uint8_t h = halfDirection(first.dir, dtype);
  putPoint(out, first.lat, first.lon, type, speed, dtype, h);
  if (section) {
    const std::uint8_t h2 = halfDirection(parseCInt(section->dir2), dtype);
    putPoint(out + 12, scaleCoordinate(section->y2), scaleCoordinate(section->x2), type, speed, dtype, h2);
  } else {
    std::memcpy(out + 12, out, 12);
    out[12] = random1;
    out[16] = random2;
  }
  return true;
}

// Reads a line field by field, each number straight from the line; past the line's last
// field every field is empty.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view line) noexcept : p_(line.data()), end_(line.data() + line.size()) {}

  std::string_view next() noexcept {
    if (done_) return {};
    const char* const start = p_;
    endField(p_);
    return {start, static_cast<std::size_t>((done_ ? end_ : p_ - 1) - start)};
  }
  void skipField() noexcept { endField(p_); }
  double readDouble() noexcept {
    if (done_) return 0.0;
    const char* next = nullptr;
    const double value = scanCDouble(p_, end_, &next);
    endField(next);
    return value;
  }
  std::int32_t readInt() noexcept {
    if (done_) return 0;
    // The usual cell: a few plain digits up to the comma (or the end), read here.
    std::int32_t value = 0;
    const char* q = p_;
    while (q != end_ && isDigit(*q) && q - p_ < 9) {
      value = value * 10 + (*q - '0');
      ++q;
    }
    if (q != p_ && (q == end_ || *q == ',')) {
      endField(q);
      return value;
    }
    const char* next = nullptr;
    value = scanCInt(p_, end_, &next);
    endField(next);
    return value;
  }
  [[nodiscard]] bool atEmptyField() const noexcept { return done_ || p_ == end_ || *p_ == ','; }

 private:
  // Moves past the comma that ends the current field, looking from `from` on.
  void endField(const char* from) noexcept {
    if (done_) return;
    if (from == end_ || *from != ',') from = findComma(from, end_);  // a number mostly ends at its comma
    if (from == end_) {
      done_ = true;
    } else {
      p_ = from + 1;
    }
  }

  const char* p_;
  const char* end_;
  bool done_ = false;
};

// The record from the nine cells, written to `out`; false when the row is out of range.
bool encodeRecordInto(const RecordCells& cells, std::uint8_t random1, std::uint8_t random2,
                      std::uint8_t* out) noexcept {
  const FirstPoint first{scaleCoordinate(cells.x), scaleCoordinate(cells.y), parseCInt(cells.type),
                         parseCInt(cells.spd),     parseCInt(cells.dtype),   parseCInt(cells.dir)};
  return putRecord(first, cells.hasSecondPoint() ? &cells : nullptr, random1, random2, out);
}

// The fast path: the same record read straight from the row's line in one pass, numbers read in
// place (see RecordCells::fromLine for the cells it stands for).
bool encodeLineInto(std::string_view line, bool typeAsThree, std::uint8_t random1, std::uint8_t random2,
                    std::uint8_t* out) noexcept {
  FieldCursor fields(line);
  fields.skipField();  // IDX
  FirstPoint first{};
  first.lon = scaleCoordinate(fields.readDouble());
  first.lat = scaleCoordinate(fields.readDouble());
  first.type = fields.readInt();
  if (typeAsThree) first.type = 3;
  first.spd = fields.readInt();
  first.dtype = fields.readInt();
  first.dir = fields.readInt();
  fields.skipField();  // IDX2
  if (!fields.atEmptyField()) {
    // A section (X2 is not empty): rare enough to be read cell by cell.
    const RecordCells cells = RecordCells::fromLine(line, typeAsThree);
    return putRecord(first, &cells, random1, random2, out);
  }
  return putRecord(first, nullptr, random1, random2, out);
}

}  // namespace

bool encodeRowInto(const CameraTable& table, std::size_t row, std::uint8_t random1, std::uint8_t random2,
                   std::uint8_t* out) noexcept {
  if (const auto line = table.rowLine(row)) return encodeLineInto(line->text, line->typeAsThree, random1, random2, out);
  return encodeRecordInto(RecordCells::fromRow(table.cells(row)), random1, random2, out);
}

std::optional<Record> encodeRecord(const RecordCells& cells, std::uint8_t random1, std::uint8_t random2) noexcept {
  Record r{};
  if (!encodeRecordInto(cells, random1, random2, r.data())) return std::nullopt;
  return r;
}

RecordCells RecordCells::fromLine(std::string_view line, bool typeAsThree) noexcept {
  FieldCursor fields(line);
  fields.next();  // IDX
  const std::string_view x = fields.next(), y = fields.next(), type = fields.next(), spd = fields.next(),
                         dtype = fields.next(), dir = fields.next();
  fields.next();  // IDX2
  const std::string_view x2 = fields.next();
  std::string_view y2, dir2;
  if (!x2.empty()) {  // a one-point row needs nothing after an empty X2
    y2 = fields.next();
    fields.next();  // TYPE2
    fields.next();  // SPD2
    fields.next();  // DTYPE2
    dir2 = fields.next();
  }
  return RecordCells{x, y, typeAsThree ? std::string_view("3") : type, spd, dtype, dir, x2, y2, dir2};
}

RecordCells RecordCells::fromTable(const CameraTable& table, std::size_t row) noexcept {
  if (const auto line = table.rowLine(row)) return fromLine(line->text, line->typeAsThree);
  return fromRow(table.cells(row));
}

}  // namespace solvane

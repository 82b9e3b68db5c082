// Encoding one camera row into its scrambled 24-byte camera record.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "table/camera_table.h"

namespace solvane {

inline constexpr std::size_t kRecordSize = 24;
using Record = std::array<std::uint8_t, kRecordSize>;

inline constexpr std::int32_t kMaxLongitude = 1800000;  // 1/10000 degree
inline constexpr std::int32_t kMaxLatitude = 900000;

// The nine cells the encoding reads.
struct RecordCells {
  std::string_view x{}, y{}, type{}, spd{}, dtype{}, dir{}, x2{}, y2{}, dir2{};
  static RecordCells fromRow(const RowCells& row) noexcept {
    return {row[kX], row[kY], row[kType], row[kSpd], row[kDtype], row[kDir], row[kX2], row[kY2], row[kDir2]};
  }
  // The same cells read straight from a row's line, in one pass that stops once X2 is known
  // to be empty. With `typeAsThree` TYPE reads "3".
  static RecordCells fromLine(std::string_view line, bool typeAsThree) noexcept;
  // A row of the table: from its line when it refers to one, else from its cells.
  static RecordCells fromTable(const CameraTable& table, std::size_t row) noexcept;
  // A non-empty X2 (a blank counts) makes the row a section with an end point.
  [[nodiscard]] bool hasSecondPoint() const noexcept { return !x2.empty(); }
};

[[nodiscard]] bool inRange(std::int32_t longitude, std::int32_t latitude) noexcept;

// H: the direction turned by 180 degrees and halved; with DTYPE 2 a result of 180 becomes 0.
[[nodiscard]] std::uint8_t halfDirection(std::int32_t direction, std::uint8_t dtype) noexcept;

// Speeds below 10 are written as 0.
[[nodiscard]] std::uint8_t speedByte(std::int32_t speed) noexcept;

// The one way the conversion encodes a row: its record written to `out` (24 bytes); false, and
// `out` left as it was, when the first point is out of range. A row that refers to its line
// is read straight from the line in one pass (the fast path); any other from its cells. The
// two random bytes fill bytes 12 and 16 of a one-point record; a two-point record does not
// use them.
[[nodiscard]] bool encodeRowInto(const CameraTable& table, std::size_t row, std::uint8_t random1, std::uint8_t random2,
                                 std::uint8_t* out) noexcept;

// The reference form the fast path is tested against: the record from the nine cells, or
// nothing when the first point is out of range. Same bytes as encodeRowInto for the same row.
[[nodiscard]] std::optional<Record> encodeRecord(const RecordCells& cells, std::uint8_t random1,
                                                 std::uint8_t random2) noexcept;

}  // namespace solvane

// The fields of one comma-separated line: a comma ends a field, and the table keeps the first
// 14 of them.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "table/camera_table.h"

namespace solvane {

// The fields of one line: the first 14 (the table's columns) and how many there were in all.
struct LineFields {
  std::array<std::string_view, kColumnCount> cells{};
  std::size_t count = 0;  // fields on the line, at least 1
  std::string_view last;  // the field after the last comma (or the whole line)
  [[nodiscard]] std::size_t kept() const noexcept {
    return count < static_cast<std::size_t>(kColumnCount) ? count : kColumnCount;
  }
};

LineFields splitFields(std::string_view line) noexcept;

// The eight bytes at `p` as one word, the first byte lowest (on a little-endian machine).
inline std::uint64_t wordAt(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  return word;
}

// The high bit of every byte of `word` that is a comma, and no other bit: the comma search,
// eight bytes at a time. Derivation, byte by byte (no step carries into the next byte):
//   x = word ^ 0x2C..2C            a comma's byte becomes 0, every other byte is non-zero;
//   (x & 0x7F..7F) + 0x7F..7F      sets a byte's high bit exactly when its low seven bits are
//                                  not all zero (at most 0x7F + 0x7F = 0xFE: no carry out);
//   ... | x                        also sets it when the byte's own high bit was set;
//   ~(...) & 0x80..80              so the high bit is left exactly where x's byte was 0.
// On a little-endian machine the first comma is the lowest flagged byte: countr_zero / 8.
inline std::uint64_t commaBits(std::uint64_t word) noexcept {
  constexpr std::uint64_t kCommas = 0x2C2C2C2C2C2C2C2Cu;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  const std::uint64_t x = word ^ kCommas;
  return ~(((x & kLow7) + kLow7) | x) & ~kLow7;
}

// The first comma in [p, end), or `end`. Fields are short but many: eight bytes are looked at
// a time where eight are there to read.
inline const char* findComma(const char* p, const char* const end) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      const std::uint64_t commas = commaBits(wordAt(p));
      if (commas != 0) return p + std::countr_zero(commas) / 8;
      p += 8;
    }
  }
  while (p != end && *p != ',') ++p;
  return p;
}

// The `n`-th comma (n >= 1) in [p, end), or `end` when there are fewer; several commas in one
// word each count.
inline const char* findNthComma(const char* p, const char* const end, int n) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    while (end - p >= 8) {
      for (std::uint64_t commas = commaBits(wordAt(p)); commas != 0; commas &= commas - 1) {
        if (--n == 0) return p + std::countr_zero(commas) / 8;
      }
      p += 8;
    }
  }
  for (; p != end; ++p) {
    if (*p == ',' && --n == 0) return p;
  }
  return end;
}

// Field `column` of the line alone (empty when the line has fewer fields).
std::string_view fieldOf(std::string_view line, int column) noexcept;

}  // namespace solvane

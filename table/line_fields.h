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
  std::size_t count = 0;          // fields on the line, at least 1
  std::string_view last;          // the field after the last comma (or the whole line)
  [[nodiscard]] std::size_t kept() const noexcept {
    return count < static_cast<std::size_t>(kColumnCount) ? count : kColumnCount;
  }
};

LineFields splitFields(std::string_view line) noexcept;

// The first comma in [p, end), or `end`. Fields are short but many: eight bytes are looked at
// a time where eight are there to read.
inline const char* findComma(const char* p, const char* const end) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kCommas = 0x2C2C2C2C2C2C2C2Cu;
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t x = word ^ kCommas;  // a comma's byte is zero
      // Flags the first zero byte exactly; a borrow can only flag bytes after it.
      const std::uint64_t zero = (x - kOnes) & ~x & kHighBits;
      if (zero != 0) return p + std::countr_zero(zero) / 8;
      p += 8;
    }
  }
  while (p != end && *p != ',') ++p;
  return p;
}

// The `n`-th comma (n >= 1) in [p, end), or `end` when there are fewer. Words of eight bytes
// are searched with an exact test for a comma byte, so several commas in one word count.
inline const char* findNthComma(const char* p, const char* const end, int n) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kCommas = 0x2C2C2C2C2C2C2C2Cu;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
    while (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      const std::uint64_t x = word ^ kCommas;
      // The high bit of each byte that was a comma; no carry crosses a byte.
      for (std::uint64_t commas = ~(((x & kLow7) + kLow7) | x) & ~kLow7; commas != 0; commas &= commas - 1) {
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

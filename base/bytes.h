// Bytes as the database stores them (little-endian integers) and as messages show them.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace solvane {

// `v` as two or four little-endian bytes at `p`.
inline void putLe16(std::uint8_t* p, std::uint16_t v) noexcept {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void putLe32(std::uint8_t* p, std::uint32_t v) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, 4);  // one store where the machine's order is the file's
  } else {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
}

inline std::uint16_t readLe16(const std::uint8_t* p) noexcept { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t readLe32(const std::uint8_t* p) noexcept {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// The bytes in double quotes, printable ASCII as it is and every other byte, the quote and the
// backslash as \xHH: safe to print whatever a file holds.
std::string escapedBytes(std::span<const std::uint8_t> bytes);

}  // namespace solvane

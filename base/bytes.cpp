#include "base/bytes.h"

namespace solvane {

std::string escapedBytes(std::span<const std::uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (const std::uint8_t b : bytes) {
    if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
      out += static_cast<char>(b);
    } else {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0xFu];
    }
  }
  return out + "\"";
}

}  // namespace solvane

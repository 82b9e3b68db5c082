// The little-endian helpers against byte-by-byte expectations, and the escaping of bytes.
#include <array>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "base/bytes.h"

namespace solvane {
namespace {

TEST(Bytes, LittleEndianBothWays) {
  std::array<std::uint8_t, 6> b{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  putLe32(b.data() + 1, 0x12345678u);
  EXPECT_EQ(b, (std::array<std::uint8_t, 6>{0xEE, 0x78, 0x56, 0x34, 0x12, 0xEE}));  // neighbours untouched
  EXPECT_EQ(readLe32(b.data() + 1), 0x12345678u);
  putLe32(b.data(), 0xFFFFFF80u);  // a negative coordinate's bits
  EXPECT_EQ(static_cast<std::int32_t>(readLe32(b.data())), -128);
  putLe16(b.data() + 4, 2024);
  EXPECT_EQ(b[4], 0xE8);
  EXPECT_EQ(b[5], 0x07);
  EXPECT_EQ(readLe16(b.data() + 4), 2024);
}

TEST(Bytes, EscapedShowsEveryByteSafely) {
  const struct {
    std::string bytes;
    std::string shown;
  } cases[] = {
      {"rudb", "\"rudb\""},
      {"", "\"\""},
      {std::string("a\0b", 3), "\"a\\x00b\""},
      {"\"\\", "\"\\x22\\x5C\""},
      {"\x7F\x80\xFF\n", "\"\\x7F\\x80\\xFF\\x0A\""},
      {" ~", "\" ~\""},
  };
  for (const auto& c : cases) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
    EXPECT_EQ(escapedBytes({p, c.bytes.size()}), c.shown) << c.shown;
  }
}

}  // namespace
}  // namespace solvane

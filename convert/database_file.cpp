#include "convert/database_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/bytes.h"

namespace solvane {
Header makeHeader(const FileDate& date) noexcept {
  Header h{};
  h[0] = 'r';
  h[1] = 'u';
  h[2] = 'd';
  h[3] = 'b';
  h[4] = static_cast<std::uint8_t>(date.day);
  h[5] = static_cast<std::uint8_t>(date.month);
  putLe16(h.data() + 6, static_cast<std::uint16_t>(date.year));
  h[8] = 'r';
  h[9] = '1';
  h[10] = 'r';
  return h;
}

std::string databaseFileName(const Header& header) {
  const int yy = (header[6] + 48) % 256;
  char name[32];
  std::snprintf(name, sizeof name, "DB_%02d%02d%02d.dbh", yy, header[5], header[4]);
  return name;
}

std::size_t fillLength(std::size_t records) noexcept {
  const std::size_t written = kHeaderSize + kRandomBlockSize + kRecordSize * (records + 1);
  return written % 64 == 0 ? 0 : 64 - written % 64;
}

std::uint32_t dataLength(std::size_t records) noexcept {
  return static_cast<std::uint32_t>(kRandomBlockSize + kRecordSize * (records + 1));
}

std::size_t fileSize(std::size_t records) noexcept {
  return kHeaderSize + kRandomBlockSize + kRecordSize * (records + 1) + fillLength(records);
}

Header finishedHeader(Header header, std::size_t records, std::uint8_t checksum) noexcept {
  putLe32(header.data() + 11, dataLength(records));
  header[15] = checksum;
  return header;
}

std::uint8_t xorBytes(std::span<const std::uint8_t> bytes) noexcept {
  // Eight bytes at a time, then the eight lanes folded into one.
  std::uint64_t wide = 0;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes.data() + i, 8);
    wide ^= w;
  }
  wide ^= wide >> 32;
  wide ^= wide >> 16;
  wide ^= wide >> 8;
  auto x = static_cast<std::uint8_t>(wide);
  for (; i < bytes.size(); ++i) x ^= bytes[i];
  return x;
}

}  // namespace solvane

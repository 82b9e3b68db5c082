// Assembling the camera database file: header, random block, records, end record, fill.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/large_memory.h"
#include "convert/record_encoder.h"

namespace solvane {

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr std::size_t kRandomBlockSize = 16;
inline constexpr std::uint8_t kChecksumStart = 0x4A;

using Header = std::array<std::uint8_t, kHeaderSize>;
using FileBytes = LargeVector<std::uint8_t>;
using RandomBlock = std::array<std::uint8_t, kRandomBlockSize>;

struct FileDate {
  int year = 2000;  // 1..65535 fits the header
  int month = 1;
  int day = 1;
  friend bool operator==(const FileDate&, const FileDate&) = default;
};

// Bytes 0-10 of the header: "rudb", day, month, 16-bit year, "r1r". Bytes 11-15 are zero
// until the file is finished.
Header makeHeader(const FileDate& date) noexcept;

// "DB_YYMMDD.dbh" from the header's date bytes; YY is (year - 2000) mod 256, so years from
// 2100 on give three digits.
std::string databaseFileName(const Header& header);

// Fill bytes after the end record for a file with `records` camera records.
std::size_t fillLength(std::size_t records) noexcept;

// The data length in the header: the random block, the records and the end record.
std::uint32_t dataLength(std::size_t records) noexcept;
// Size of the whole file with `records` camera records.
std::size_t fileSize(std::size_t records) noexcept;
// The header of the finished file: the data length and the checksum in bytes 11-15.
Header finishedHeader(Header header, std::size_t records, std::uint8_t checksum) noexcept;

std::uint8_t xorBytes(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace solvane

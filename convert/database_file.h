// Assembling the camera database file: header, random block, records, end record, fill.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/large_memory.h"
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

// Builds the file in memory. Records are added in table order; finish() appends the end
// record and the fill and writes the data length and the checksum into the header.
class DatabaseBuilder {
 public:
  DatabaseBuilder(const Header& header, const RandomBlock& randomBlock, std::size_t expectedRecords = 0);

  void add(const Record& record);

  // Room for up to `count` records after those added so far, to be written in place (from
  // several threads, each in its own part); commitRecords() then takes the first `used`
  // records of that room, whose bytes XOR to `xorOfBytes`. Nothing else may be added between.
  std::span<std::uint8_t> recordRoom(std::size_t count);
  void commitRecords(std::size_t used, std::uint8_t xorOfBytes);

  [[nodiscard]] std::size_t recordCount() const noexcept { return records_; }
  [[nodiscard]] std::uint32_t dataLength() const noexcept;
  [[nodiscard]] std::uint8_t checksum() const noexcept { return checksum_; }

  // The complete file; the builder is spent afterwards.
  FileBytes finish();

 private:
  FileBytes bytes_;
  std::size_t records_ = 0;
  std::uint8_t checksum_ = kChecksumStart;
};

std::uint8_t xorBytes(std::span<const std::uint8_t> bytes) noexcept;

}  // namespace solvane

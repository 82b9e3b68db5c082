// Reading a camera database file back: the header, every record with its XORs undone, and
// every check that the bytes allow.
//
// Telling the two kinds of record apart. A one-point record repeats its bytes 1-3 and 5-11 in
// bytes 13-15 and 17-23 (bytes 12 and 16 are random); a two-point record holds the end point
// there. So a record whose copies match is read as one point, any other as two points.
// The one ambiguous case: a section whose end point has the same upper three bytes of latitude
// and longitude as its start point (both within the same block of 256/10000 degree, about
// 2.8 km of latitude) and the same H, written with TYPE 16, is byte-for-byte a possible
// one-point record of TYPE 16. Such a record is read as one point and flagged `ambiguous`;
// the end point it would have, had it been a section, is in `second` all the same. A record
// whose TYPE is not 16 is never ambiguous, since every section is written with TYPE 16.
//
// Directions. H keeps only half the direction turned by 180 degrees, so the direction read
// back, (2 * H + 180) mod 360, is the written whole-degree direction or one below it. With
// DTYPE 2, H = 0 stands for both 0 (and 360) and 180/181 degrees; it reads as 180. An H above
// 179 comes from a direction outside 0..359 and has no direction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/load_error.h"
#include "base/source_file.h"
#include "convert/database_file.h"

namespace solvane {

struct DecodedPoint {
  std::int32_t latitude = 0;   // 1/10000 degree
  std::int32_t longitude = 0;  // 1/10000 degree
  std::uint8_t h = 0;          // half-direction byte as stored
};

struct DecodedRecord {
  std::size_t offset = 0;  // of the record's first byte in the file
  DecodedPoint first;
  DecodedPoint second;  // the end point of a two-point record (see `ambiguous`)
  std::uint8_t type = 0, speed = 0, dtype = 0;
  bool twoPoint = false;
  bool ambiguous = false;  // copies match and TYPE is 16: read as one point, might be a section
};

// Undoes the XORs of one 24-byte record.
DecodedRecord decodeRecord(std::span<const std::uint8_t, kRecordSize> bytes, std::size_t offset = 0) noexcept;

// Direction in whole degrees recovered from H: (2 * H + 180) mod 360, or nothing for H > 179.
std::optional<int> directionFromH(std::uint8_t h) noexcept;

// Degrees from 1/10000 degree, as exact text ("-65.4321", "0.0000"); never locale-dependent.
std::string degreesText(std::int32_t scaled);

struct DatabaseIssue {
  std::size_t offset = 0;  // the first byte concerned
  std::string what;
};

struct DatabaseInspection {
  std::size_t fileSize = 0;
  // Header fields as stored (meaningful once fileSize >= 16).
  Header header{};
  int day = 0, month = 0, year = 0;
  std::uint32_t dataLength = 0;
  std::uint8_t storedChecksum = 0;
  std::uint8_t computedChecksum = 0;  // over the random block and the records found
  // The records found: those the data length announces when it agrees with the file,
  // else those before the first 24 bytes of 0xFF.
  std::vector<DecodedRecord> records;
  std::size_t onePoint = 0, twoPoint = 0, ambiguous = 0;
  std::vector<DatabaseIssue> problems;  // anything that makes the file not what the writer makes
  std::vector<DatabaseIssue> notes;     // legal but worth a look (an end point out of range)
  [[nodiscard]] bool valid() const noexcept { return problems.empty(); }
  // Magic and format mark in place and room for the random block: the records can be read.
  bool isCameraDatabase = false;
};

// Checks magic, format mark, date, data length against the file size, the end record, the
// fill (length and 0xFF), the checksum, every first point's range and the latitude order.
DatabaseInspection inspectDatabase(std::span<const std::uint8_t> file);

// A database file read whole by the lists' reader (so a folder, a pipe or a device is refused
// at once, as for a list) and inspected: the one step `solvane inspect` and `solvane dump` share.
struct DatabaseRead {
  std::optional<LoadError> error;  // the file could not be read whole; nothing was inspected
  DatabaseInspection inspection;
};

DatabaseRead readDatabaseFile(const std::filesystem::path& path, Streams streams = Streams::kRefuse);

}  // namespace solvane

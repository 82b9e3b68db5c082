// A camera database built in memory record by record: the tests' oracle for the file the
// conversion writes (which encodes and writes on two threads straight into the file).
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/database_file.h"
#include "convert/record_encoder.h"

namespace solvane {

// Builds the file in memory. Records are added in table order; finish() appends the end
// record and the fill and writes the data length and the checksum into the header.
class DatabaseBuilder {
 public:
  DatabaseBuilder(const Header& header, const RandomBlock& randomBlock, std::size_t expectedRecords = 0);

  void add(const Record& record);

  [[nodiscard]] std::size_t recordCount() const noexcept { return records_; }
  [[nodiscard]] std::uint8_t checksum() const noexcept { return checksum_; }

  // The complete file; the builder is spent afterwards.
  FileBytes finish();

 private:
  FileBytes bytes_;
  std::size_t records_ = 0;
  std::uint8_t checksum_ = kChecksumStart;
};

}  // namespace solvane

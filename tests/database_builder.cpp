#include "tests/database_builder.h"

#include <algorithm>

namespace solvane {

DatabaseBuilder::DatabaseBuilder(const Header& header, const RandomBlock& randomBlock, std::size_t expectedRecords) {
  bytes_.reserve(kHeaderSize + kRandomBlockSize + kRecordSize * (expectedRecords + 1) + 64);
  bytes_.insert(bytes_.end(), header.begin(), header.end());
  // The first copy of the header carries zeros where the length and checksum will go.
  std::fill(bytes_.begin() + 11, bytes_.end(), std::uint8_t{0});
  bytes_.insert(bytes_.end(), randomBlock.begin(), randomBlock.end());
  checksum_ ^= xorBytes(randomBlock);
}

void DatabaseBuilder::add(const Record& record) {
  bytes_.insert(bytes_.end(), record.begin(), record.end());
  checksum_ ^= xorBytes(record);
  ++records_;
}

FileBytes DatabaseBuilder::finish() {
  bytes_.insert(bytes_.end(), kRecordSize + fillLength(records_), std::uint8_t{0xFF});
  const Header header = finishedHeader(Header{}, records_, checksum_);
  std::copy(header.begin() + 11, header.end(), bytes_.begin() + 11);
  return std::move(bytes_);
}

}  // namespace solvane

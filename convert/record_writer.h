// Encoding the (sorted) camera table into a database file, written piece by piece to a
// target as the records are made: the file being written, or a file image in memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "table/camera_table.h"
#include "convert/database_file.h"
#include "convert/random_bytes.h"

namespace solvane {

// Where the bytes of the file go. Writes of different ranges may come from two threads.
class RecordTarget {
 public:
  virtual ~RecordTarget() = default;
  virtual bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  // Moves `length` bytes from `from` down to `to` (to < from).
  virtual bool moveDown(std::uint64_t from, std::uint64_t to, std::uint64_t length) = 0;
};

// Records encoded so far; called now and then while encoding.
using RecordProgressFn = std::function<void(std::size_t records)>;

struct WrittenRecords {
  std::size_t records = 0;     // camera records (rows out of range are left out)
  std::uint64_t fileSize = 0;  // the whole file, end record and fill included
  bool cancelled = false;      // stopped by the cancel flag
  bool failed = false;         // the target refused a write
};

// Writes the whole file for the table's rows in table order: header (with length and
// checksum), random block, records, end record, fill. The header is written last.
WrittenRecords writeRecords(const CameraTable& table, const Header& header, const RandomBlock& block,
                            const RandomBytes& random, RecordTarget& target, const RecordProgressFn& progress = {},
                            const std::atomic<bool>* cancel = nullptr);

}  // namespace solvane

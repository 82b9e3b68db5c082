#include "convert/record_writer.h"

#include <array>
#include <cstring>
#include <vector>

#include "base/helper_thread.h"
#include "convert/record_encoder.h"

namespace solvane {
namespace {

constexpr std::size_t kProgressEvery = 4096;
// Below this many rows a second thread costs more than it saves.
constexpr std::size_t kParallelRows = 1u << 15;
// After the sort, consecutive rows lie far apart in memory; reading this many rows ahead
// hides most of the wait for them.
constexpr std::size_t kPrefetchDistance = 16;
// Records gathered before they are written: large enough for few writes, small enough to
// stay in the cache.
constexpr std::size_t kPieceRecords = 8192;

constexpr std::uint64_t kFirstRecordOffset = kHeaderSize + kRandomBlockSize;

// The records of one stretch of rows, gathered in a small buffer and written to the target
// from `offset` on as the buffer fills.
class RecordStream {
 public:
  RecordStream(RecordTarget& target, std::uint64_t offset)
      : target_(target), offset_(offset), piece_(kPieceRecords * kRecordSize) {}

  // Room for the next record; add() takes it into the stream.
  [[nodiscard]] std::uint8_t* next() noexcept { return piece_.data() + used_; }
  bool add() {
    used_ += kRecordSize;
    ++records_;
    return used_ < piece_.size() || flush();
  }
  bool flush() {
    if (used_ == 0) return true;
    const std::span<const std::uint8_t> bytes(piece_.data(), used_);
    xorOfBytes_ ^= xorBytes(bytes);
    const bool ok = target_.writeAt(offset_, bytes);
    offset_ += used_;
    used_ = 0;
    return ok;
  }

  [[nodiscard]] std::size_t records() const noexcept { return records_; }
  [[nodiscard]] std::uint8_t xorOfBytes() const noexcept { return xorOfBytes_; }

 private:
  RecordTarget& target_;
  std::uint64_t offset_;
  std::vector<std::uint8_t> piece_;
  std::size_t used_ = 0;
  std::size_t records_ = 0;
  std::uint8_t xorOfBytes_ = 0;
};

enum class Stop { kNone, kCancelled, kFailed };

// Encodes rows [begin, end) into `stream` in table order. Every kProgressEvery rows it calls
// `tick` with the records so far; a false result stops it. The random bytes depend only on
// the row's position, so stretches can be encoded on different threads.
template <typename Tick>
Stop encodeRows(const CameraTable& table, const RandomBytes& random, std::size_t begin, std::size_t end,
                RecordStream& stream, Tick&& tick) {
  for (std::size_t i = begin; i < end; ++i) {
    if ((i - begin) % kProgressEvery == 0 && i != begin && !tick(stream.records())) return Stop::kCancelled;
    table.prefetchRow(i + kPrefetchDistance);
    const auto [r1, r2] = random.recordBytes(i);
    if (encodeRowInto(table, i, r1, r2, stream.next()) && !stream.add()) {
      return Stop::kFailed;
    }
  }
  return stream.flush() ? Stop::kNone : Stop::kFailed;
}

}  // namespace

WrittenRecords writeRecords(const CameraTable& table, const Header& header, const RandomBlock& block,
                            const RandomBytes& random, RecordTarget& target, const RecordProgressFn& progress,
                            const std::atomic<bool>* cancel) {
  WrittenRecords out;
  const std::size_t rows = table.rowCount();
  const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };

  // Every row gets the place its record would have if no row were left out. The second half
  // of the rows is encoded on a helper thread and written from its place on, the first half
  // here; when the first half left rows out, the second half's records move up behind it.
  const std::size_t split = rows >= kParallelRows ? rows / 2 : rows;
  RecordStream first(target, kFirstRecordOffset);
  RecordStream second(target, kFirstRecordOffset + std::uint64_t{split} * kRecordSize);
  std::atomic<std::size_t> secondDone{0};
  std::atomic<Stop> secondStop{Stop::kNone};
  HelperThread helper;
  if (split < rows) {
    helper.start([&] {
      secondStop = encodeRows(table, random, split, rows, second, [&](std::size_t done) {
        secondDone.store(done, std::memory_order_relaxed);
        return !cancelled();
      });
    });
  }
  // Without a helper thread everything is encoded here, in one stream.
  const std::size_t firstEnd = helper.onHelperThread() ? split : rows;
  const Stop firstStop = encodeRows(table, random, 0, firstEnd, first, [&](std::size_t done) {
    if (cancelled()) return false;
    if (progress) progress(done + secondDone.load(std::memory_order_relaxed));
    return true;
  });
  if (helper.onHelperThread()) helper.finish();
  const Stop stop = firstStop != Stop::kNone ? firstStop : secondStop.load();
  if (stop != Stop::kNone) {
    // A failed write stops the other half too (through the target), which then reports it.
    out.failed = firstStop == Stop::kFailed || secondStop.load() == Stop::kFailed;
    out.cancelled = !out.failed;
    return out;
  }

  out.records = first.records();
  std::uint8_t checksum = kChecksumStart ^ xorBytes(block) ^ first.xorOfBytes();
  if (firstEnd < rows) {
    if (first.records() < split && second.records() > 0 &&
        !target.moveDown(kFirstRecordOffset + std::uint64_t{split} * kRecordSize,
                         kFirstRecordOffset + std::uint64_t{first.records()} * kRecordSize,
                         std::uint64_t{second.records()} * kRecordSize)) {
      out.failed = true;
      return out;
    }
    out.records += second.records();
    checksum ^= second.xorOfBytes();
  }

  // The end record and the fill, then the header and the random block in front.
  std::vector<std::uint8_t> tail(kRecordSize + fillLength(out.records), 0xFF);
  std::array<std::uint8_t, kHeaderSize + kRandomBlockSize> front{};
  const Header finished = finishedHeader(header, out.records, checksum);
  std::copy(finished.begin(), finished.end(), front.begin());
  std::copy(block.begin(), block.end(), front.begin() + kHeaderSize);
  if (!target.writeAt(kFirstRecordOffset + std::uint64_t{out.records} * kRecordSize, tail) ||
      !target.writeAt(0, front)) {
    out.failed = true;
    return out;
  }
  out.fileSize = fileSize(out.records);
  if (progress) progress(out.records);
  return out;
}

}  // namespace solvane

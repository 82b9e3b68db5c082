#include "convert/conversion.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "convert/output_file.h"

namespace solvane {
namespace {

constexpr std::size_t kProgressEvery = 4096;

}  // namespace

FileDate dateFromUnixSeconds(std::int64_t seconds) {
  using namespace std::chrono;
  const sys_seconds t{std::chrono::seconds{seconds}};
  const year_month_day ymd{floor<days>(t)};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

FileDate utcToday() {
  using namespace std::chrono;
  return dateFromUnixSeconds(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
}

std::optional<FileDate> parseIsoDate(std::string_view text) {
  int y = 0, m = 0, d = 0;
  char tail = 0;
  const std::string s(text);
  if (s.size() < 8 || std::sscanf(s.c_str(), "%5d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return std::nullopt;
  using namespace std::chrono;
  if (y < 1 || y > 65535) return std::nullopt;
  const year_month_day ymd{year{y}, month{static_cast<unsigned>(m)}, day{static_cast<unsigned>(d)}};
  if (m < 1 || d < 1 || !ymd.ok()) return std::nullopt;
  return FileDate{y, m, d};
}

std::string conversionEndMessage(const std::filesystem::path& outputPath) {
  return "DB Conversion end. [" + outputPath.string() + "]";
}

std::filesystem::path outputPathFor(const std::filesystem::path& outputDir, const Header& header) {
  std::error_code ec;
  const std::filesystem::path dir = outputDir.empty() ? std::filesystem::current_path(ec) : outputDir;
  std::filesystem::path full = std::filesystem::absolute(dir, ec);
  if (ec) full = dir;
  return (full / databaseFileName(header)).lexically_normal().make_preferred();
}

namespace {

// Records written in place into one part of the file's record room, with their XOR.
struct RecordSink {
  std::uint8_t* out;
  std::size_t records = 0;
  std::uint8_t xorOfBytes = 0;
  void add(const Record& record) noexcept {
    std::memcpy(out + records * kRecordSize, record.data(), kRecordSize);
    xorOfBytes ^= xorBytes(record);
    ++records;
  }
  [[nodiscard]] std::size_t recordCount() const noexcept { return records; }
};

// Below this many rows a second thread costs more than it saves.
constexpr std::size_t kParallelEncodeRows = 1u << 15;
// After the sort, consecutive rows lie far apart in memory; reading this many rows ahead
// hides most of the wait for them.
constexpr std::size_t kPrefetchDistance = 16;

// Encodes rows [begin, end) into `sink` in table order. Every kProgressEvery rows it calls
// `tick` with the records so far; a false result stops it. The random bytes depend only on
// the row's position, so stretches can be encoded on different threads.
template <typename Tick>
bool encodeRows(const CameraTable& table, const RandomBytes& random, std::size_t begin, std::size_t end,
                RecordSink& sink, Tick&& tick) {
  for (std::size_t i = begin; i < end; ++i) {
    if ((i - begin) % kProgressEvery == 0 && i != begin && !tick(sink.recordCount())) return false;
    table.prefetchRow(i + kPrefetchDistance);
    const auto [r1, r2] = random.recordBytes(i);
    if (const auto record = encodeRecord(RecordCells::fromRow(table.cells(i)), r1, r2)) sink.add(*record);
  }
  return true;
}

}  // namespace

EncodedDatabase encodeDatabase(const CameraTable& table, const Header& header, const RandomBlock& block,
                               const RandomBytes& random, const ProgressFn& progress,
                               const std::atomic<bool>* cancel) {
  EncodedDatabase out;
  const std::size_t rows = table.rowCount();
  DatabaseBuilder builder(header, block, rows);
  auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };

  // Every row gets the place its record would have if no row were left out. The second half
  // of the rows is encoded on a helper thread into its part of that room, the first half here;
  // when the first half left rows out, the second half's records move up behind it.
  const std::span<std::uint8_t> room = builder.recordRoom(rows);
  const std::size_t split = rows >= kParallelEncodeRows ? rows / 2 : rows;
  RecordSink first{room.data()};
  RecordSink second{room.data() + split * kRecordSize};
  std::atomic<std::size_t> secondDone{0};
  std::atomic<bool> secondStopped{false};
  std::jthread helper;
  if (split < rows) {
    try {
      helper = std::jthread([&] {
        const bool finished = encodeRows(table, random, split, rows, second, [&](std::size_t done) {
          secondDone.store(done, std::memory_order_relaxed);
          return !cancelled();
        });
        if (!finished) secondStopped.store(true, std::memory_order_relaxed);
      });
    } catch (const std::system_error&) {
      // No thread to be had: everything is encoded here.
    }
  }
  const std::size_t firstEnd = helper.joinable() ? split : rows;
  const bool firstFinished = encodeRows(table, random, 0, firstEnd, first, [&](std::size_t done) {
    if (cancelled()) return false;
    if (progress) progress(done + secondDone.load(std::memory_order_relaxed));
    return true;
  });
  if (helper.joinable()) helper.join();
  if (!firstFinished || secondStopped.load()) {
    out.cancelled = true;
    return out;
  }
  std::size_t used = first.records;
  std::uint8_t xorOfBytes = first.xorOfBytes;
  if (firstEnd < rows) {
    if (first.records < split) {
      std::memmove(room.data() + first.records * kRecordSize, second.out, second.records * kRecordSize);
    }
    used += second.records;
    xorOfBytes ^= second.xorOfBytes;
  }
  builder.commitRecords(used, xorOfBytes);
  out.records = builder.recordCount();
  out.bytes = builder.finish();
  if (progress) progress(out.records);
  return out;
}

ConversionResult convertTable(const CameraTable& table, const std::filesystem::path& outputDir,
                              const Header& header, const RandomBlock& block, const RandomBytes& random,
                              const ProgressFn& progress, const std::atomic<bool>* cancel) {
  ConversionResult result;
  result.rowsLoaded = table.rowCount();
  result.outputPath = outputPathFor(outputDir, header);
  EncodedDatabase encoded = encodeDatabase(table, header, block, random, progress, cancel);
  if (encoded.cancelled) {
    result.status = ConversionStatus::kCancelled;
    result.message = "Conversion cancelled.";
    return result;
  }
  if (encoded.records > kMaxRecords) {
    result.status = ConversionStatus::kWriteFailed;
    result.message = "File write Error : " + result.outputPath.string();
    result.detail = "too many records for one database file";
    return result;
  }
  result.recordsWritten = encoded.records;
  if (const auto error = writeFileAtomically(result.outputPath, encoded.bytes)) {
    result.status = ConversionStatus::kWriteFailed;
    result.message = error->message;
    result.detail = error->detail;
    return result;
  }
  result.status = ConversionStatus::kConverted;
  result.message = conversionEndMessage(result.outputPath);
  return result;
}

ConversionResult runConversion(const ConversionRequest& request, CameraTable& table) {
  const LoadResult load = loadSources(table, request.sources);
  if (!load.ok()) {
    ConversionResult result;
    result.status = ConversionStatus::kLoadFailed;
    result.message = load.error->message;
    result.detail = load.error->detail;
    result.rowsLoaded = table.rowCount();
    return result;
  }
  if (table.rowCount() == 0) {
    ConversionResult result;
    result.status = ConversionStatus::kNothingToConvert;
    result.message = kNothingToConvert;
    return result;
  }
  table.sortByLatitude();
  const Header header = makeHeader(request.date);
  const RandomBytes random(request.seed);
  return convertTable(table, request.outputDir, header, random.block(), random, request.progress,
                      request.cancel);
}

}  // namespace solvane

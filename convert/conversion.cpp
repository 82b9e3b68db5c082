#include "convert/conversion.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "convert/output_file.h"
#include "convert/record_writer.h"

namespace solvane {
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

// The file image in memory, sized for the most the table can give.
class MemoryTarget final : public RecordTarget {
 public:
  explicit MemoryTarget(FileBytes& bytes) : bytes_(bytes) {}
  bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    if (offset > bytes_.size() || bytes.size() > bytes_.size() - offset) return false;
    std::memcpy(bytes_.data() + offset, bytes.data(), bytes.size());
    return true;
  }
  bool moveDown(std::uint64_t from, std::uint64_t to, std::uint64_t length) override {
    if (from > bytes_.size() || length > bytes_.size() - from || to > from) return false;
    std::memmove(bytes_.data() + to, bytes_.data() + from, length);
    return true;
  }

 private:
  FileBytes& bytes_;
};

// The file being written.
class FileTarget final : public RecordTarget {
 public:
  explicit FileTarget(OutputFile& file) : file_(file) {}
  bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    return file_.writeAt(offset, bytes);
  }
  bool moveDown(std::uint64_t from, std::uint64_t to, std::uint64_t length) override {
    return file_.moveDown(from, to, length);
  }

 private:
  OutputFile& file_;
};

}  // namespace

EncodedDatabase encodeDatabase(const CameraTable& table, const Header& header, const RandomBlock& block,
                               const RandomBytes& random, const ProgressFn& progress, const std::atomic<bool>* cancel) {
  EncodedDatabase out;
  out.bytes.resize(fileSize(table.rowCount()));
  MemoryTarget target(out.bytes);
  const WrittenRecords written = writeRecords(table, header, block, random, target, progress, cancel);
  if (written.cancelled || written.failed) {
    out.bytes = FileBytes();
    out.cancelled = true;
    return out;
  }
  out.records = written.records;
  out.bytes.resize(written.fileSize);
  return out;
}

ConversionResult convertTable(const CameraTable& table, const std::filesystem::path& outputDir, const Header& header,
                              const RandomBlock& block, const RandomBytes& random, const ProgressFn& progress,
                              const std::atomic<bool>* cancel) {
  ConversionResult result;
  result.rowsLoaded = table.rowCount();
  result.outputPath = outputPathFor(outputDir, header);
  const auto fail = [&](const WriteError& error) {
    result.status = ConversionStatus::kWriteFailed;
    result.message = error.message;
    result.detail = error.detail;
    return result;
  };
  // The records go to the file as they are made; the file becomes the database only when
  // it is complete.
  OutputFile file(result.outputPath);
  if (file.failure()) {
    fail(*file.failure());
    result.status = ConversionStatus::kOpenFailed;
    return result;
  }
  FileTarget target(file);
  const WrittenRecords written = writeRecords(table, header, block, random, target, progress, cancel);
  if (written.failed)
    return fail(
        file.failure().value_or(WriteError{"File write Error : " + result.outputPath.string(), "the write failed"}));
  if (written.cancelled) {
    result.status = ConversionStatus::kCancelled;
    result.message = "Conversion cancelled.";
    return result;
  }
  if (written.records > kMaxRecords) {
    return fail({"File write Error : " + result.outputPath.string(), "too many records for one database file"});
  }
  result.recordsWritten = written.records;
  if (const auto error = file.commit(written.fileSize)) return fail(*error);
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
  return convertTable(table, request.outputDir, header, random.block(), random, request.progress, request.cancel);
}

}  // namespace solvane

// One conversion run: load both lists, sort by latitude, encode every row in range and write
// DB_YYMMDD.dbh. The pieces are exposed separately so the dialog can load and sort on its
// own thread and encode on a worker.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "table/camera_table.h"
#include "convert/database_file.h"
#include "convert/random_bytes.h"
#include "load/load_command.h"

namespace solvane {

// Records written so far; called now and then during encoding and once with the final count.
using ProgressFn = std::function<void(std::size_t records)>;

// More records than the 32-bit data length can count.
inline constexpr std::size_t kMaxRecords = (0xFFFFFFFFu - kRandomBlockSize - kRecordSize) / kRecordSize;

FileDate utcToday();
FileDate dateFromUnixSeconds(std::int64_t seconds);
// "YYYY-MM-DD" with a real calendar date and a year from 1 to 65535; nothing otherwise.
std::optional<FileDate> parseIsoDate(std::string_view text);

// "DB Conversion end. [<path>]"
std::string conversionEndMessage(const std::filesystem::path& outputPath);

struct EncodedDatabase {
  FileBytes bytes;  // the complete file
  std::size_t records = 0;
  bool cancelled = false;  // stopped by the cancel flag; bytes are then empty
};

// Encodes the table's rows in table order into a complete file image.
EncodedDatabase encodeDatabase(const CameraTable& table, const Header& header, const RandomBlock& block,
                               const RandomBytes& random, const ProgressFn& progress = {},
                               const std::atomic<bool>* cancel = nullptr);

struct ConversionRequest {
  SourcePaths sources;
  std::filesystem::path outputDir;  // empty: the current directory
  FileDate date;
  std::uint64_t seed = 0;
  ProgressFn progress;
  const std::atomic<bool>* cancel = nullptr;
};

// kOpenFailed: the output file could not be created (nothing was written); kWriteFailed: a
// later step of the write failed (the earlier file stays as it was).
enum class ConversionStatus { kConverted, kLoadFailed, kNothingToConvert, kOpenFailed, kWriteFailed, kCancelled };

struct ConversionResult {
  ConversionStatus status = ConversionStatus::kConverted;
  std::string message;  // the text shown to the user
  std::string detail;   // a second line: path, line, reason
  std::filesystem::path outputPath;
  std::size_t rowsLoaded = 0;
  std::size_t recordsWritten = 0;
};

inline constexpr const char* kNothingToConvert = "Nothing to convert: the lists hold no camera rows.";

// The output file's full path for a folder and a header.
std::filesystem::path outputPathFor(const std::filesystem::path& outputDir, const Header& header);

// Encodes the (loaded and sorted) table and writes the file; the worker's part of a run.
ConversionResult convertTable(const CameraTable& table, const std::filesystem::path& outputDir, const Header& header,
                              const RandomBlock& block, const RandomBytes& random, const ProgressFn& progress = {},
                              const std::atomic<bool>* cancel = nullptr);

// The whole run. A failed load stops it: nothing is written.
ConversionResult runConversion(const ConversionRequest& request, CameraTable& table);

}  // namespace solvane

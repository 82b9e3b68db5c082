// Writing a database so that a reader never sees half a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "base/c_file.h"

namespace solvane {

struct WriteError {
  std::string message;  // "File open Error : <path>" or "File write Error : <path>"
  std::string detail;   // the system's reason
};

// A file being written: a temporary file beside the target ("<name>.<random>.tmp") that
// becomes the target only on commit(). Destroyed without a commit, or after any failure, the
// temporary file is removed and an earlier file at the target stays as it was.
class OutputFile {
 public:
  // Creates the temporary file; failed() tells whether that worked.
  explicit OutputFile(std::filesystem::path target);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // The first failure so far ("File open Error" or "File write Error"), if any.
  [[nodiscard]] const std::optional<WriteError>& failure() const noexcept { return failure_; }

  // Writes `bytes` at `offset`. Several threads may write at once. False after any failure.
  bool writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Moves `length` bytes from `from` down to `to` (to < from) within the file.
  bool moveDown(std::uint64_t from, std::uint64_t to, std::uint64_t length);
  // Cuts the file to `size`, flushes it to disk and renames it over the target.
  std::optional<WriteError> commit(std::uint64_t size);

 private:
  bool fail(int err);
  bool seek(std::uint64_t offset);

  std::filesystem::path target_;
  std::filesystem::path tempPath_;
  FilePtr file_;
  std::mutex mutex_;
  std::uint64_t end_ = 0;  // one past the last byte written
  std::optional<WriteError> failure_;
};

// Writes `bytes` as a whole file at `target` through an OutputFile.
std::optional<WriteError> writeFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

// True for names the writer uses for its temporary files.
bool isTemporaryOutputName(const std::string& fileName);

}  // namespace solvane

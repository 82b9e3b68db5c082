// The one whole-file reader: the lists and the databases are read into memory in one go, and
// folders, pipes and devices are refused the same way for all of them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "base/large_memory.h"
#include "base/load_error.h"

namespace solvane {

struct SourceRead {
  LargeBytes data;
  std::size_t size = 0;            // bytes delivered
  std::optional<LoadError> error;  // "Error[5009]" (nothing read) or "Error[5010]" (cut short)
  [[nodiscard]] std::string_view bytes() const noexcept { return {data.get(), size}; }
};

// Opens the file, takes its size, and reads that many bytes. A folder, a pipe, a device or a
// socket is refused before it is opened ("Error[5009]", so nothing ever waits on one). A read
// that delivers fewer bytes (the file shrank, an I/O error) keeps the bytes delivered so far and
// reports "Error[5010]"; a file that grows meanwhile is read only up to the size taken at the
// start; a file larger than the memory is refused before anything is allocated.
//
// With Streams::kRead (the command line), "-" reads standard input and a pipe (a FIFO, or the
// /dev/fd/N of a shell's <(...)) is read to its end instead of being refused; opening a FIFO
// that nobody has opened for writing yet waits for a writer, as cat does. The memory guard is
// the same: a stream that delivers as many bytes as the memory holds is cut off with
// "Error[5010]".
enum class Streams { kRefuse, kRead };
SourceRead readSourceFile(const std::filesystem::path& path, Streams streams = Streams::kRefuse);

// "-", the name that stands for standard input.
[[nodiscard]] bool isStandardInput(const std::filesystem::path& path);

// The path as shown in messages ("(standard input)" for "-").
std::string displayPath(const std::filesystem::path& path);

}  // namespace solvane

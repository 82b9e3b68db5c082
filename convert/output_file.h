// Writing the finished database so that a reader never sees half a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace solvane {

struct WriteError {
  std::string message;  // "File open Error : <path>" or "File write Error : <path>"
  std::string detail;   // the system's reason
};

// Writes `bytes` to a temporary file in the target's folder ("<name>.<random>.tmp"), flushes
// it to disk and renames it over `target`. On any failure the temporary file is removed and an
// earlier file at `target` stays as it was.
std::optional<WriteError> writeFileAtomically(const std::filesystem::path& target,
                                              std::span<const std::uint8_t> bytes);

// True for names the writer uses for its temporary files.
bool isTemporaryOutputName(const std::string& fileName);

}  // namespace solvane

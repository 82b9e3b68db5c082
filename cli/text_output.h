// Small helpers for the machine-readable outputs of the read-back commands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace solvane::cli {

// A JSON string literal, quotes included. Cell texts come in the lists' own 8-bit code page;
// valid UTF-8 passes through, and any byte that is not part of a valid UTF-8 sequence is
// written as the code point of the same value (read as Latin-1), so the output is always valid.
std::string jsonString(std::string_view text);

// One CSV field: quoted, with quotes doubled, when it holds a comma, quote, CR or LF.
std::string csvField(std::string_view text);

// Writes `text` to the file (atomically) or, for an empty path, to standard output.
// Returns an error message, empty on success.
std::string writeOutput(const std::filesystem::path& path, std::string_view text);

}  // namespace solvane::cli

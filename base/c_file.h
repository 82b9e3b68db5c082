// Files through the system's own calls where the C library falls short, so that non-ASCII
// and long paths, exclusive creation and replacing a file work the same on every platform
// (Windows needs the wide-character calls for all of them).
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace solvane {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// `mode` is an fopen mode in plain ASCII ("rb"). On failure `error`, when given, says why.
FilePtr openFile(const std::filesystem::path& path, const char* mode, std::error_code* error = nullptr);

// Creates `path` as a new, empty file open for reading and writing in binary mode. Fails with
// `errc::file_exists` when anything of that name is there, which stays untouched: the check
// and the creation are one system call.
FilePtr createNewFile(const std::filesystem::path& path, std::error_code& error);

// Renames `from` over `to`, replacing a file there in one step. On Windows another process (a
// virus scanner, an indexer, a reader) may hold `to` open for a moment; the move is retried
// for about two seconds before its error is returned.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Sets errno and, on Windows, the system's last error to "no error", before a C library call
// whose failure lastError() then explains.
void clearLastError() noexcept;
// Why the last C library call failed: on Windows the system's own error when the call set one,
// else `err` (an errno value; 0 means EIO).
std::error_code lastError(int err) noexcept;

// The reason for an error in the system's own words (strerror on Linux, FormatMessage on
// Windows), one line.
std::string reasonText(const std::error_code& error);

// A path from UTF-8 text (command-line arguments are UTF-8 on every platform); the path's text
// back as UTF-8 is path.string() on Linux and on Windows alike.
std::filesystem::path pathFromUtf8(std::string_view text);

// Whether a library that opens files by a narrow name reads that name as UTF-8: always on
// Linux; on Windows only where the process runs in the UTF-8 code page (the manifest asks for
// it, Windows 10 1903 and later grant it).
bool narrowNamesAreUtf8() noexcept;

// The system's text for an errno value ("No such file or directory").
std::string errnoText(int err);

}  // namespace solvane

#include "base/c_file.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <string>
#include <system_error>
#include <thread>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <cstdio>
#endif

namespace solvane {

#ifdef _WIN32
namespace {

// Paths of MAX_PATH (260) characters or more work on every Windows only with the \\?\ prefix,
// which also turns off the system's reading of "." and "..": the prefix goes in front of the
// full, cleaned-up form. Shorter paths are passed as they are.
std::wstring systemPath(const std::filesystem::path& path) {
  const std::wstring& text = path.native();
  if (text.size() < 240 || text.starts_with(L"\\\\")) return text;
  std::error_code ec;
  std::filesystem::path full = std::filesystem::absolute(path, ec);
  if (ec) return text;
  std::wstring cleaned = full.lexically_normal().make_preferred().native();
  if (cleaned.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + cleaned.substr(2);
  return L"\\\\?\\" + cleaned;
}

std::error_code systemError(DWORD code) { return {static_cast<int>(code), std::system_category()}; }

}  // namespace

FilePtr openFile(const std::filesystem::path& path, const char* mode, std::error_code* error) {
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  clearLastError();
  FilePtr file(::_wfopen(systemPath(path).c_str(), wideMode.c_str()));
  if (!file && error) *error = lastError(errno);
  return file;
}

FilePtr createNewFile(const std::filesystem::path& path, std::error_code& error) {
  // The C library's "x" mode is a newer runtime's (UCRT) feature; the runtime MinGW links
  // (msvcrt) ignores it. _O_EXCL maps to CREATE_NEW, which fails if the name exists.
  clearLastError();
  const int fd =
      ::_wopen(systemPath(path).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    error = errno == EEXIST ? std::make_error_code(std::errc::file_exists) : lastError(errno);
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, "w+b"));
  if (!file) {
    error = lastError(errno);
    ::_close(fd);
  }
  return file;
}

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::wstring source = systemPath(from), target = systemPath(to);
  constexpr auto kPatience = std::chrono::seconds(2);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (auto pause = std::chrono::milliseconds(10);; pause = std::min(pause * 2, std::chrono::milliseconds(200))) {
    if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
    const DWORD code = ::GetLastError();
    // Held open by someone else: wait a moment. Anything else will not go away by waiting.
    const bool held = code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
    if (!held || std::chrono::steady_clock::now() + pause > deadline) return systemError(code);
    std::this_thread::sleep_for(pause);
  }
}

void clearLastError() noexcept {
  errno = 0;
  ::SetLastError(ERROR_SUCCESS);
}

std::error_code lastError(int err) noexcept {
  if (const DWORD code = ::GetLastError(); code != ERROR_SUCCESS) return systemError(code);
  return {err ? err : EIO, std::generic_category()};
}

std::string reasonText(const std::error_code& error) {
  if (error.category() != std::system_category()) return error.message();
  wchar_t* buffer = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error.value()), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "system error " + std::to_string(error.value());
  const int size =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr, nullptr);
  return utf8;
}

std::filesystem::path pathFromUtf8(std::string_view text) {
  // A narrow string would be read in the ANSI code page; char8_t text is read as UTF-8.
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool narrowNamesAreUtf8() noexcept { return ::GetACP() == CP_UTF8; }

#else

FilePtr openFile(const std::filesystem::path& path, const char* mode, std::error_code* error) {
  errno = 0;
  FilePtr file(std::fopen(path.c_str(), mode));
  if (!file && error) *error = lastError(errno);
  return file;
}

FilePtr createNewFile(const std::filesystem::path& path, std::error_code& error) {
  errno = 0;
  FilePtr file(std::fopen(path.c_str(), "w+bx"));  // glibc: O_CREAT | O_EXCL
  if (!file) error = lastError(errno);
  return file;
}

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code ec;
  std::filesystem::rename(from, to, ec);
  return ec;
}

void clearLastError() noexcept { errno = 0; }

std::error_code lastError(int err) noexcept { return {err ? err : EIO, std::generic_category()}; }

std::string reasonText(const std::error_code& error) { return error.message(); }

std::filesystem::path pathFromUtf8(std::string_view text) { return std::filesystem::path(std::string(text)); }

bool narrowNamesAreUtf8() noexcept { return true; }

#endif

std::string errnoText(int err) { return std::generic_category().message(err); }

}  // namespace solvane

#include "base/console.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#endif

namespace solvane {

#ifdef _WIN32

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    const int length = static_cast<int>(std::char_traits<wchar_t>::length(wide[i]));
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide[i], length, utf8.data(), size, nullptr, nullptr);
    args.push_back(std::move(utf8));
  }
  ::LocalFree(wide);
  return args;
}

StandardStreams::StandardStreams() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  consoleCodePage_ = ::GetConsoleOutputCP();
  if (consoleCodePage_ != 0 && consoleCodePage_ != CP_UTF8) ::SetConsoleOutputCP(CP_UTF8);
}

StandardStreams::~StandardStreams() {
  if (consoleCodePage_ != 0 && consoleCodePage_ != CP_UTF8) ::SetConsoleOutputCP(consoleCodePage_);
}

#else

std::vector<std::string> commandLineArguments(int argc, char** argv) { return {argv, argv + argc}; }

StandardStreams::StandardStreams() = default;
StandardStreams::~StandardStreams() = default;

#endif

}  // namespace solvane

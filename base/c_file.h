// Opening a C stream from a filesystem path, so that non-ASCII paths work on every platform
// (Windows needs the wide-character call).
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace solvane {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// `mode` is an fopen mode in plain ASCII ("rb", "wbx").
FilePtr openFile(const std::filesystem::path& path, const char* mode);

// The system's text for an errno value ("No such file or directory").
std::string errnoText(int err);

}  // namespace solvane

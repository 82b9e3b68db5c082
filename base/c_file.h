// Opening a C stream from a filesystem path, so that non-ASCII paths work on every platform
// (Windows needs the wide-character call).
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>

namespace solvane {

struct FileCloser {
  void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// `mode` is an fopen mode in plain ASCII ("rb", "wbx").
FilePtr openFile(const std::filesystem::path& path, const char* mode);

}  // namespace solvane

#include "load/source_file.h"

#include "load/c_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

namespace solvane {
namespace {

std::string reason(int err) { return std::generic_category().message(err); }

LoadError openError(const std::filesystem::path& path, const std::string& why) {
  return {kErrorOpen, "Cannot open \"" + displayPath(path) + "\": " + why};
}

LoadError readError(const std::filesystem::path& path, std::size_t got, std::size_t expected,
                    const std::string& why) {
  return {kErrorRead, "Reading \"" + displayPath(path) + "\" stopped after " +
                          std::to_string(got) + " of " + std::to_string(expected) +
                          " bytes: " + why};
}

}  // namespace

std::string displayPath(const std::filesystem::path& path) { return path.string(); }

SourceRead readSourceFile(const std::filesystem::path& path) {
  SourceRead result;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    result.error = openError(path, "it is a folder, not a file");
    return result;
  }
  errno = 0;
  FilePtr file = openFile(path, "rb");
  if (!file) {
    result.error = openError(path, reason(errno ? errno : ENOENT));
    return result;
  }
  // The size is taken once; exactly that many bytes are read.
  long size = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
    result.error = readError(path, 0, 0, "the file's size cannot be taken (" +
                                             reason(errno ? errno : ESPIPE) + ")");
    return result;
  }
  const auto expected = static_cast<std::size_t>(size);
  result.data = std::make_unique_for_overwrite<char[]>(expected + 1);
  while (result.size < expected) {
    errno = 0;
    const std::size_t got =
        std::fread(result.data.get() + result.size, 1, expected - result.size, file.get());
    if (got == 0) {
      const int err = errno;
      const std::string why = std::ferror(file.get())
                                  ? reason(err ? err : EIO)
                                  : std::string("the file ended early (it was changed while read)");
      result.error = readError(path, result.size, expected, why);
      break;
    }
    result.size += got;
  }
  return result;
}

}  // namespace solvane

#include "base/source_file.h"

#include "base/c_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

namespace solvane {
namespace {

LoadError openError(const std::filesystem::path& path, const std::string& why) {
  return {kErrorOpen, "Cannot open \"" + displayPath(path) + "\": " + why};
}

LoadError readError(const std::filesystem::path& path, std::size_t got, std::size_t expected, const std::string& why) {
  return {kErrorRead, "Reading \"" + displayPath(path) + "\" stopped after " + std::to_string(got) + " of " +
                          std::to_string(expected) + " bytes: " + why};
}

LoadError streamError(const std::filesystem::path& path, std::size_t got, const std::string& why) {
  return {kErrorRead, "Reading \"" + displayPath(path) + "\" stopped after " + std::to_string(got) + " bytes: " + why};
}

// Bytes of physical memory: a list larger than that cannot be loaded.
std::size_t physicalMemory() noexcept {
#ifdef _WIN32
  return SIZE_MAX;
#else
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return SIZE_MAX;
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(pageSize);
#endif
}

// 64-bit positions on every platform (a Windows long has 32 bits).
bool seekEnd(std::FILE* f) noexcept {
#ifdef _WIN32
  return ::_fseeki64(f, 0, SEEK_END) == 0;
#else
  return ::fseeko(f, 0, SEEK_END) == 0;
#endif
}

std::int64_t tell(std::FILE* f) noexcept {
#ifdef _WIN32
  return ::_ftelli64(f);
#else
  return static_cast<std::int64_t>(::ftello(f));
#endif
}

// Why the path is no file to be read whole, looked at before anything is opened: opening a pipe
// or a terminal waits for the other side, perhaps for ever, and neither has a size to read by.
// Empty for a regular file, and when the path cannot be looked at (the open then says why).
std::string refusal(const std::filesystem::path& path) {
  std::error_code ec;
  switch (std::filesystem::status(path, ec).type()) {
    case std::filesystem::file_type::directory: return "it is a folder, not a file";
    case std::filesystem::file_type::fifo: return "it is a pipe, not a file";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block: return "it is a device, not a file";
    case std::filesystem::file_type::socket: return "it is a socket, not a file";
    default: return {};
  }
}

}  // namespace

bool isStandardInput(const std::filesystem::path& path) { return path.native() == std::filesystem::path("-").native(); }

std::string displayPath(const std::filesystem::path& path) {
  return isStandardInput(path) ? std::string("(standard input)") : path.string();
}

namespace {

bool isPipe(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::status(path, ec).type() == std::filesystem::file_type::fifo;
}

// A stream has no size to read by: it is read in growing blocks until it ends.
SourceRead readStream(std::FILE* stream, const std::filesystem::path& path) {
  SourceRead result;
  const std::size_t limit = physicalMemory();
  const char* tooLarge = "the stream holds more than the memory can";
  std::size_t capacity = std::size_t{1} << 16;
  try {
    result.data = makeLargeBytes(capacity + 1);
    for (;;) {
      if (result.size == capacity) {
        // The guard of a file: no more bytes than the memory holds.
        if (capacity >= limit) {
          result.error = streamError(path, result.size, tooLarge);
          return result;
        }
        const std::size_t next = capacity < limit / 2 ? 2 * capacity : limit;
        LargeBytes bigger = makeLargeBytes(next + 1);
        std::memcpy(bigger.get(), result.data.get(), result.size);
        result.data = std::move(bigger);
        capacity = next;
      }
      errno = 0;
      const std::size_t got = std::fread(result.data.get() + result.size, 1, capacity - result.size, stream);
      result.size += got;
      if (got == 0) {
        if (std::ferror(stream)) {
          const int err = errno;
          result.error = streamError(path, result.size, errnoText(err ? err : EIO));
        }
        return result;
      }
    }
  } catch (const std::bad_alloc&) {
    result.error = streamError(path, result.size, tooLarge);
  }
  return result;
}

}  // namespace

SourceRead readSourceFile(const std::filesystem::path& path, Streams streams) {
  SourceRead result;
  if (streams == Streams::kRead && isStandardInput(path)) {
#ifdef _WIN32
    ::_setmode(::_fileno(stdin), _O_BINARY);  // the bytes as they come, CRs included
#endif
    return readStream(stdin, path);
  }
  const bool pipe = streams == Streams::kRead && isPipe(path);
  if (const std::string why = refusal(path); !why.empty() && !pipe) {
    result.error = openError(path, why);
    return result;
  }
  if (pipe) {
    errno = 0;
    FilePtr stream = openFile(path, "rb");  // waits for a writer
    if (!stream) {
      result.error = openError(path, errnoText(errno ? errno : ENOENT));
      return result;
    }
    return readStream(stream.get(), path);
  }
  std::error_code openFailure;
  FilePtr file = openFile(path, "rb", &openFailure);
  if (!file) {
    result.error = openError(path, reasonText(openFailure));
    return result;
  }
  // The size is taken once; exactly that many bytes are read.
  std::int64_t size = -1;
  if (seekEnd(file.get())) size = tell(file.get());
  if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0) {
    result.error = readError(path, 0, 0, "the file's size cannot be taken (" + errnoText(errno ? errno : ESPIPE) + ")");
    return result;
  }
  const auto expected = static_cast<std::size_t>(size);
  // A file can claim any size (a sparse file): one larger than the memory is refused before
  // the buffer is allocated, and a failed allocation is a read error, not a crash.
  const char* tooLarge = "the file is too large to be read into memory";
  if (expected >= physicalMemory()) {
    result.error = readError(path, 0, expected, tooLarge);
    return result;
  }
  try {
    result.data = makeLargeBytes(expected + 1);
  } catch (const std::bad_alloc&) {
    result.error = readError(path, 0, expected, tooLarge);
    return result;
  }
  while (result.size < expected) {
    errno = 0;
    const std::size_t got = std::fread(result.data.get() + result.size, 1, expected - result.size, file.get());
    if (got == 0) {
      const int err = errno;
      const std::string why = std::ferror(file.get()) ? errnoText(err ? err : EIO)
                                                      : std::string("the file ended early (it was changed while read)");
      result.error = readError(path, result.size, expected, why);
      break;
    }
    result.size += got;
  }
  return result;
}

}  // namespace solvane

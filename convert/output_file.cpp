#include "convert/output_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace solvane {
namespace {

constexpr const char* kTempSuffix = ".tmp";

std::string reason(int err) { return reasonText(lastError(err)); }

WriteError openError(const std::filesystem::path& target, std::string why) {
  return {"File open Error : " + target.string(), std::move(why)};
}
WriteError writeError(const std::filesystem::path& target, std::string why) {
  return {"File write Error : " + target.string(), std::move(why)};
}

std::string randomTag() {
  std::random_device device;
  char tag[16];
  std::snprintf(tag, sizeof tag, "%08x", static_cast<unsigned>(device()));
  return tag;
}

// Creates a new temporary file beside the target, open for reading and writing; never reuses
// an existing name.
FilePtr createTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath, std::error_code& err) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    tempPath = target;
    tempPath += "." + randomTag() + kTempSuffix;
    FilePtr f = createNewFile(tempPath, err);
    if (f) return f;
    if (err != std::errc::file_exists) break;
  }
  return nullptr;
}

bool truncateTo(std::FILE* f, std::uint64_t size) {
#ifdef _WIN32
  return ::_chsize_s(::_fileno(f), static_cast<long long>(size)) == 0;
#else
  return ::ftruncate(::fileno(f), static_cast<off_t>(size)) == 0;
#endif
}

bool flushToDisk(std::FILE* f) {
  if (std::fflush(f) != 0) return false;
#ifdef _WIN32
  return ::_commit(::_fileno(f)) == 0;
#else
  return ::fsync(::fileno(f)) == 0;
#endif
}

}  // namespace

OutputFile::OutputFile(std::filesystem::path target) : target_(std::move(target)) {
  std::error_code ec;
  if (std::filesystem::is_directory(target_, ec)) {
    failure_ = openError(target_, "a folder of that name is in the way");
    return;
  }
  std::error_code err;
  file_ = createTemporary(target_, tempPath_, err);
  if (!file_) {
    failure_ = openError(target_, reasonText(err));
    return;
  }
  // Records arrive in large pieces; a stream buffer would only copy them once more.
  std::setvbuf(file_.get(), nullptr, _IONBF, 0);
}

OutputFile::~OutputFile() {
  if (!file_) return;
  file_.reset();
  std::error_code ec;
  std::filesystem::remove(tempPath_, ec);
}

bool OutputFile::fail(int err) {
  if (!failure_) failure_ = writeError(target_, reason(err ? err : EIO));
  return false;
}

bool OutputFile::seek(std::uint64_t offset) {
#ifdef _WIN32
  return ::_fseeki64(file_.get(), static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return ::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  {
    const std::lock_guard lock(mutex_);
    if (failure_) return false;
    clearLastError();
    if (!seek(offset)) return fail(errno);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) return fail(errno);
    end_ = std::max(end_, offset + bytes.size());
  }
#ifdef __linux__
  // Start putting these bytes on the disk now, without waiting: the flush in commit() then
  // finds most of the file there already.
  ::sync_file_range(::fileno(file_.get()), static_cast<off_t>(offset), static_cast<off_t>(bytes.size()),
                    SYNC_FILE_RANGE_WRITE);
#endif
  return true;
}

bool OutputFile::moveDown(std::uint64_t from, std::uint64_t to, std::uint64_t length) {
  // Piece by piece from the front: a piece is read before anything is written over it.
  std::vector<std::uint8_t> piece(std::size_t{1} << 20);
  for (std::uint64_t done = 0; done < length;) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), length - done));
    {
      const std::lock_guard lock(mutex_);
      if (failure_) return false;
      clearLastError();
      if (!seek(from + done)) return fail(errno);
      if (std::fread(piece.data(), 1, n, file_.get()) != n) return fail(errno);
    }
    if (!writeAt(to + done, std::span(piece.data(), n))) return false;
    done += n;
  }
  return true;
}

std::optional<WriteError> OutputFile::commit(std::uint64_t size) {
  const std::lock_guard lock(mutex_);
  if (failure_) return failure_;
  clearLastError();
  if (end_ > size && !truncateTo(file_.get(), size)) {
    fail(errno);
    return failure_;
  }
  if (!flushToDisk(file_.get())) {
    fail(errno);
    return failure_;
  }
  if (std::fclose(file_.release()) != 0) {
    fail(errno);
    std::error_code ec;
    std::filesystem::remove(tempPath_, ec);
    return failure_;
  }
  if (const std::error_code ec = replaceFile(tempPath_, target_)) {
    failure_ = writeError(target_, reasonText(ec));
    std::error_code ignored;
    std::filesystem::remove(tempPath_, ignored);
    return failure_;
  }
  return std::nullopt;
}

std::optional<WriteError> writeFileAtomically(const std::filesystem::path& target,
                                              std::span<const std::uint8_t> bytes) {
  OutputFile file(target);
  if (file.failure()) return file.failure();
  if (!file.writeAt(0, bytes)) return file.failure();
  return file.commit(bytes.size());
}

bool isTemporaryOutputName(const std::string& fileName) {
  return fileName.starts_with("DB_") && fileName.ends_with(kTempSuffix) && fileName.find(".dbh.") != std::string::npos;
}

}  // namespace solvane

#include "convert/output_file.h"

#include "load/c_file.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace solvane {
namespace {

constexpr const char* kTempSuffix = ".tmp";

std::string reason(int err) { return std::generic_category().message(err); }

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

// Creates a new temporary file beside the target; never reuses an existing name.
FilePtr createTemporary(const std::filesystem::path& target, std::filesystem::path& tempPath, int& err) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    tempPath = target;
    tempPath += "." + randomTag() + kTempSuffix;
    errno = 0;
    FilePtr f = openFile(tempPath, "wbx");
    if (f) return f;
    err = errno ? errno : EIO;
    if (err != EEXIST) break;
  }
  return nullptr;
}

}  // namespace

bool isTemporaryOutputName(const std::string& fileName) {
  return fileName.starts_with("DB_") && fileName.ends_with(kTempSuffix) &&
         fileName.find(".dbh.") != std::string::npos;
}

std::optional<WriteError> writeFileAtomically(const std::filesystem::path& target,
                                              std::span<const std::uint8_t> bytes) {
  std::error_code ec;
  if (std::filesystem::is_directory(target, ec)) {
    return openError(target, "a folder of that name is in the way");
  }
  std::filesystem::path tempPath;
  int err = 0;
  FilePtr file = createTemporary(target, tempPath, err);
  if (!file) return openError(target, reason(err));

  auto fail = [&](int e) {
    file.reset();
    std::filesystem::remove(tempPath, ec);
    return writeError(target, reason(e ? e : EIO));
  };
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    return fail(errno);
  }
  if (std::fflush(file.get()) != 0) return fail(errno);
#ifndef _WIN32
  if (::fsync(::fileno(file.get())) != 0) return fail(errno);
#endif
  if (std::fclose(file.release()) != 0) {
    const int e = errno;
    std::filesystem::remove(tempPath, ec);
    return writeError(target, reason(e ? e : EIO));
  }
  std::filesystem::rename(tempPath, target, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(tempPath, ignored);
    return writeError(target, ec.message());
  }
  return std::nullopt;
}

}  // namespace solvane

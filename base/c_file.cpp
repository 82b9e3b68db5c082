#include "base/c_file.h"

#include <string>
#include <system_error>

namespace solvane {

FilePtr openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return FilePtr(::_wfopen(path.c_str(), wideMode.c_str()));
#else
  return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

std::string errnoText(int err) { return std::generic_category().message(err); }

}  // namespace solvane

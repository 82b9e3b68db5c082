#include "load/load_command.h"

#include "load/autodoria_list.h"
#include "load/normal_list.h"
#include "load/source_file.h"

namespace solvane {
namespace {

using Parser = std::optional<LoadError> (*)(std::string_view, bool, CameraTable&, std::string_view);

// Reads one list and parses what was read; a read cut short keeps its rows and reports
// "Error[5010]" after them.
std::optional<LoadError> loadList(const std::filesystem::path& path, Parser parse, CameraTable& table) {
  SourceRead read = readSourceFile(path);
  if (read.error && read.error->message == kErrorOpen) return read.error;
  const std::string name = displayPath(path);
  std::optional<LoadError> error = parse(read.bytes(), !read.error, table, name);
  return read.error ? read.error : error;
}

}  // namespace

LoadResult loadSources(CameraTable& table, const SourcePaths& paths) {
  LoadResult result;
  table.deleteAllRows();
  if (!paths.normal.empty()) {
    result.error = loadList(paths.normal, &parseNormalList, table);
    if (result.error) return result;
    result.total = table.rowCount();
  }
  if (!paths.autodoria.empty()) {
    result.error = loadList(paths.autodoria, &parseAutodoriaList, table);
    if (result.error) return result;
    result.total = table.rowCount();
  }
  return result;
}

}  // namespace solvane

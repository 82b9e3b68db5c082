#include "load/load_command.h"

#include "load/autodoria_list.h"
#include "load/normal_list.h"
#include "load/source_file.h"

namespace solvane {
namespace {

// The bytes of a list stay with the table when its rows refer to them.
std::string_view keepFor(CameraTable& table, SourceRead& read, bool rowsReferToText) {
  const std::string_view bytes = read.bytes();
  if (rowsReferToText) table.keepText(std::shared_ptr<const char[]>(std::move(read.data)), bytes);
  return bytes;
}

// A read cut short keeps its rows and reports "Error[5010]" after them.
std::optional<LoadError> firstError(const SourceRead& read, std::optional<LoadError> parseError) {
  return read.error ? read.error : parseError;
}

bool openFailed(const SourceRead& read) { return read.error && read.error->message == kErrorOpen; }

}  // namespace

LoadResult loadSources(CameraTable& table, const SourcePaths& paths) {
  LoadResult result;
  table.deleteAllRows();
  // Both lists are read before either is parsed, so the normal list can leave room for the
  // Autodoria rows and a large table is never copied into a larger one. Errors still come in
  // the order of the lists.
  std::optional<SourceRead> normal;
  if (!paths.normal.empty()) {
    normal = readSourceFile(paths.normal);
    if (openFailed(*normal)) {
      result.error = normal->error;
      return result;
    }
  }
  std::optional<SourceRead> autodoria;
  if (!paths.autodoria.empty()) autodoria = readSourceFile(paths.autodoria);

  if (normal) {
    // Two lines make one section, so this is room enough for the Autodoria rows.
    const std::size_t roomAfter = autodoria ? lineFeeds(autodoria->bytes()) / 2 + 2 : 0;
    const std::string_view bytes = keepFor(table, *normal, true);
    result.error = firstError(*normal, parseNormalList(bytes, !normal->error, table, displayPath(paths.normal),
                                                       roomAfter));
    if (result.error) return result;
    result.total = table.rowCount();
  }
  if (autodoria) {
    if (openFailed(*autodoria)) {
      result.error = autodoria->error;
      return result;
    }
    const std::string_view bytes = keepFor(table, *autodoria, false);
    result.error = firstError(*autodoria, parseAutodoriaList(bytes, !autodoria->error, table,
                                                             displayPath(paths.autodoria)));
    if (result.error) return result;
    result.total = table.rowCount();
  }
  return result;
}

}  // namespace solvane

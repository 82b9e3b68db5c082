#include "load/load_command.h"

#include <utility>

#include "load/autodoria_list.h"
#include "load/normal_list.h"
#include "base/helper_thread.h"
#include "base/source_file.h"

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

namespace {

// The Autodoria list, read and parsed into a table of its own.
struct AutodoriaPart {
  SourceRead read;
  CameraTable rows;
  std::optional<LoadError> error;

  void load(const std::filesystem::path& path, Streams streams, std::vector<RowSource>* sources) {
    read = readSourceFile(path, streams);
    if (openFailed(read)) {
      error = read.error;
      return;
    }
    error = firstError(read, parseAutodoriaList(read.bytes(), !read.error, rows, displayPath(path), sources));
  }
};

}  // namespace

LoadResult loadSources(CameraTable& table, const SourcePaths& paths, RowSources* sources) {
  LoadResult result;
  table.deleteAllRows();
  if (sources) *sources = {};

  // The Autodoria list is read and parsed on a helper thread while this thread reads the
  // normal list; its rows are put after the normal rows (item data continuing their series)
  // once those are in. Errors still come in the order of the lists.
  AutodoriaPart autodoria;
  HelperThread helper;  // joined on every way out
  const bool withAutodoria = !paths.autodoria.empty();
  if (withAutodoria) {
    helper.start([&] { autodoria.load(paths.autodoria, paths.streams, sources ? &sources->autodoria : nullptr); });
  }

  if (!paths.normal.empty()) {
    SourceRead normal = readSourceFile(paths.normal, paths.streams);
    if (openFailed(normal)) {
      result.error = normal.error;
      return result;  // the helper is joined on the way out
    }
    helper.finish();  // the Autodoria row count sizes the table
    const std::string_view bytes = keepFor(table, normal, true);
    result.error = firstError(normal, parseNormalList(bytes, !normal.error, table, displayPath(paths.normal),
                                                      autodoria.rows.rowCount(), sources ? &sources->normal : nullptr));
    if (result.error) return result;
    result.total = table.rowCount();
  }
  if (withAutodoria) {
    helper.finish();
    if (openFailed(autodoria.read)) {
      result.error = autodoria.error;
      return result;
    }
    const ItemData firstItem = static_cast<ItemData>(table.rowCount());
    table.appendTable(std::move(autodoria.rows), firstItem);
    result.error = autodoria.error;
    if (result.error) return result;
    result.total = table.rowCount();
  }
  return result;
}

}  // namespace solvane

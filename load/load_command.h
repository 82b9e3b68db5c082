// The Load command: empty the camera table, then read the normal list and the Autodoria list,
// each only when its path is set.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

#include "table/camera_table.h"
#include "base/load_error.h"
#include "base/source_file.h"
#include "load/row_source.h"

namespace solvane {

struct SourcePaths {
  std::filesystem::path normal;     // empty: no normal list chosen
  std::filesystem::path autodoria;  // empty: no Autodoria list chosen
  // The command line reads "-" and pipes; the dialog, whose picker offers files, refuses them.
  Streams streams = Streams::kRefuse;
};

struct LoadResult {
  // The first failure; the load stops there and the table keeps what was read up to it.
  std::optional<LoadError> error;
  // The loaded-rows count, set by every list whose header test passed (so a failed Autodoria
  // list leaves the normal list's count here). Unset when no list completed.
  std::optional<std::size_t> total;
  [[nodiscard]] bool ok() const noexcept { return !error.has_value(); }
};

// With `sources`, it is filled with where each row came from (see RowSource); it is in step
// with the table when the load succeeds.
LoadResult loadSources(CameraTable& table, const SourcePaths& paths, RowSources* sources = nullptr);

}  // namespace solvane

// The Autodoria list: a header line whose first field is "IDX", then two lines per section,
// its start point and its end point, joined into one row (columns 0-6 and 7-13). A line whose
// last field begins with "//" ends the list.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "table/camera_table.h"
#include "base/load_error.h"
#include "load/row_source.h"

namespace solvane {

// Appends the sections after the rows already in `table` and removes the header row.
// Blank lines are skipped; any other line without a comma that is not a stop line makes the
// file wrong. `readComplete` and `name` as for the normal list.
// With `sources`, one RowSource per section is appended to it, in row order (when no error).
std::optional<LoadError> parseAutodoriaList(std::string_view bytes, bool readComplete, CameraTable& table,
                                            std::string_view name, std::vector<RowSource>* sources = nullptr);

}  // namespace solvane

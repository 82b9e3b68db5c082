// The normal list: a header line whose second field is "X", then one camera point per line
// (IDX, X, Y, TYPE, SPD, DTYPE, DIR); lines whose first field begins with "//" are comments.
#pragma once

#include <optional>
#include <string_view>

#include "app/camera_table.h"
#include "load/load_error.h"

namespace solvane {

// Appends the list's rows to `table` (which the Load command has just emptied) and removes the
// header row. `readComplete` is false when the read stopped early: the complete lines are kept,
// and so is the row of the interrupted line with the fields that had ended, and "Error[5010]"
// is the caller's to report. `name` is the path used in messages.
std::optional<LoadError> parseNormalList(std::string_view bytes, bool readComplete,
                                         CameraTable& table, std::string_view name);

}  // namespace solvane

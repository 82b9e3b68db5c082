// The normal list: a header line whose second field is "X", then one camera point per line
// (IDX, X, Y, TYPE, SPD, DTYPE, DIR); lines whose first field begins with "//" are comments.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "table/camera_table.h"
#include "base/load_error.h"
#include "load/row_source.h"

namespace solvane {

// Appends the list's rows to `table` (which the Load command has just emptied) and removes the
// header row. `readComplete` is false when the read stopped early: the complete lines are kept,
// and so is the row of the interrupted line with the fields that had ended, and "Error[5010]"
// is the caller's to report. `name` is the path used in messages. The table is given room for
// `roomAfter` more rows than the list can hold, for rows appended after it.
// With `sources`, one RowSource per row is appended to it, in row order (when no error).
std::optional<LoadError> parseNormalList(std::string_view bytes, bool readComplete, CameraTable& table,
                                         std::string_view name, std::size_t roomAfter = 0,
                                         std::vector<RowSource>* sources = nullptr);

// The same, with the list cut at the first line feed at or after byte `cutFrom` and the two
// parts parsed on two threads; the result is the one-thread result. parseNormalList cuts large
// lists in the middle; tests cut anywhere.
std::optional<LoadError> parseNormalListInTwo(std::string_view bytes, bool readComplete, CameraTable& table,
                                              std::string_view name, std::size_t cutFrom, std::size_t roomAfter = 0,
                                              std::vector<RowSource>* sources = nullptr);

// Line feeds in `bytes`: a bound on the rows a list can hold.
std::size_t lineFeeds(std::string_view bytes) noexcept;

}  // namespace solvane

// Marked rows in the camera table: a row the conversion will skip, or write with a coordinate
// taken as 0, gets a tinted background and a tooltip that says why (the reasons `solvane
// check` prints).
#pragma once

#include <QColor>
#include <QVariant>

#include <cstddef>

#include "table/camera_table.h"

namespace solvane::map {

inline constexpr QRgb kSkippedRowBackground = 0xfff6c9cb;  // light red: no record
inline constexpr QRgb kProblemRowBackground = 0xffffe2bf;  // light orange: written, but wrong

// Extra data for a cell of the camera table: background and text colour of a marked row, and
// the tooltip of any row the check has something to say about. Invalid for anything else.
// Fits CameraTableModel's role hook.
[[nodiscard]] QVariant rowMarkData(const CameraTable& table, std::size_t row, int column, int role);

}  // namespace solvane::map

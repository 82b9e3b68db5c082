// Garmin POI CSV: `longitude,latitude,"name"[,"comment"...]` per line, fields quoted as in
// RFC 4180 (a quoted field may hold commas, doubled quotes and line feeds). The speed comes
// from "@NN" in the name, else in the file name (Cameras@50.csv). UTF-8 (a BOM is skipped) or
// Latin-1; only the digits after '@' are read from the names, so either works.
#pragma once

#include <optional>
#include <string_view>

#include "import/camera_set.h"

namespace solvane::importer {

// A first line whose coordinates are not numbers is taken as a header; later such lines are
// skipped with the reason. UTF-16 text and NUL bytes are errors.
std::optional<ReadError> readPoiCsv(std::string_view text, std::string_view fileName, CameraSet& set);

}  // namespace solvane::importer

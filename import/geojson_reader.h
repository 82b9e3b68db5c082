// GeoJSON (RFC 7946): Point features are cameras, two-point LineStrings are sections. The
// properties `type`, `speed`, `dtype`, `direction` / `direction2` and `h` / `h2` are those
// `solvane dump --format geojson` writes; `h` wins over `direction` because it is exact.
#pragma once

#include <optional>
#include <string_view>

#include "import/camera_set.h"

namespace solvane::importer {

// Reads the features one at a time (each is dropped once taken), so memory stays with the
// cameras kept. Nothing is added when the text is not valid JSON.
std::optional<ReadError> readGeoJson(std::string_view text, CameraSet& set);

}  // namespace solvane::importer

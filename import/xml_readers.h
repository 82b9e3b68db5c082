// GPX 1.1 and KML, read with expat (stream parser: nothing but the current item is held).
//
// GPX: every `wpt` is a camera: `lat`/`lon`, speed from "@NN" in `name` or from an extension
// element named `speed` or `maxspeed` (any namespace, km/h), direction from `course` (GPX 1.0)
// or an extension element `course`, `direction`, `heading` or `bearing` (degrees or N, NE, ...).
// With `routesAsSections` a route (`rte`) or track (`trk`) of exactly two points is a section.
//
// KML: every Placemark with a Point is a camera, with a LineString of exactly two positions a
// section; speed from "@NN" in `name` or ExtendedData `speed`, direction / type / dtype from
// ExtendedData `direction`, `type`, `dtype` (Data/value or SimpleData).
#pragma once

#include <optional>
#include <string_view>

#include "import/camera_set.h"

namespace solvane::importer {

std::optional<ReadError> readGpx(std::string_view text, bool routesAsSections, CameraSet& set);
std::optional<ReadError> readKml(std::string_view text, CameraSet& set);

}  // namespace solvane::importer

// OpenStreetMap XML and PBF through libosmium.
//
// Cameras are nodes tagged highway=speed_camera (maxspeed, direction). Sections are relations
// tagged type=enforcement with enforcement=average_speed (or enforcement=maxspeed with a `to`
// member): the start is the `from` member, else the first `device`; the end is the `to` member,
// else the last `device`. An enforcement=maxspeed relation without `to` is one camera, at its
// first `device` (else its `from`). A camera node that is a member of a relation written as a
// section or camera is not written again on its own.
//
// Two passes: the first reads only relations and notes the member nodes they need, the second
// reads only nodes and keeps the cameras and those members, so memory follows the cameras,
// not the file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "import/camera_set.h"

namespace solvane::importer {

// `format` is libosmium's: "pbf", "osm" (XML), "osm.bz2", ...; empty: from the file name.
std::optional<ReadError> readOsmFile(const std::filesystem::path& path, const std::string& format, CameraSet& set);
// The same from bytes in memory (the fuzz targets and tests).
std::optional<ReadError> readOsmBytes(std::string_view bytes, const std::string& format, CameraSet& set);

// A maxspeed value in km/h: "50", "50 km/h", "30 mph" (times 1.609344, rounded), "10 knots";
// nothing (and `note` says why) for zone values like "DE:urban", "none", "signals".
std::optional<std::int64_t> maxspeedKmh(std::string_view value, std::string& note);

}  // namespace solvane::importer

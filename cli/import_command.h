// `solvane import FILE... --output-dir DIR`: the two lists from the formats camera data
// travels in (Garmin POI CSV, GPX, KML, GeoJSON, OpenStreetMap XML and PBF).
#pragma once

#include <CLI/CLI.hpp>

#include "cli/command.h"

namespace solvane::cli {

// Registers the subcommand. Exit 0 when the lists were written, 1 when a file cannot be read
// or parsed, holds no cameras, or a list cannot be written (nothing is written then), 2 on a
// usage error.
Command addImportCommand(CLI::App& app);

}  // namespace solvane::cli

// `solvane check`: the list check (check/list_check.h) as a command, its report as text or JSON.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "cli/command.h"

#include "check/list_check.h"

namespace solvane::cli {

std::string checkReportText(const CheckReport& report);
std::string checkReportJson(const CheckReport& report);
// A GeoJSON FeatureCollection: each finding with a place as a Point, or a LineString to the
// place it is about (a near duplicate, a section's end, X and Y exchanged).
std::string checkReportGeoJson(const CheckReport& report);

Command addCheckCommand(CLI::App& app);

}  // namespace solvane::cli

// `solvane diff --old FILE... --new FILE...`: what changed between two releases (databases,
// lists, or anything `import` reads), camera by camera, as text, CSV, JSON or GeoJSON.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "cli/command.h"
#include "compare/release_diff.h"
#include "compare/release_side.h"

namespace solvane::cli {

// The report forms (compare/release_diff.h has the classes). Text: the summary line, then one
// line per change naming both sides' sources. JSON: {"summary": {...}, "storedForm", "changes":
// [{"kind", "old", "new", "metres", "values"}]}. GeoJSON: a Point (a section: a LineString) per
// added, removed or changed camera and a LineString from old to new per moved one.
std::string diffText(const compare::ReleaseDiff& diff, const compare::Side& old, const compare::Side& neu);
std::string diffCsv(const compare::ReleaseDiff& diff, const compare::Side& old, const compare::Side& neu);
std::string diffJson(const compare::ReleaseDiff& diff, const compare::Side& old, const compare::Side& neu);
std::string diffGeoJson(const compare::ReleaseDiff& diff, const compare::Side& old, const compare::Side& neu);
// "1 added, 0 removed, 1 moved, 1 changed, 333 unchanged"
std::string diffSummaryText(const compare::DiffSummary& s);

// Registers the subcommand. Exits as diff(1): 0 when nothing changed, 1 when something did,
// 2 on trouble (a file that cannot be read, a usage error, an output that cannot be written).
Command addDiffCommand(CLI::App& app);

}  // namespace solvane::cli

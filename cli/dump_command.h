// `solvane dump FILE.dbh`: every record decoded, as CSV or GeoJSON.
#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/command.h"

#include "check/database_reader.h"

namespace solvane::cli {

// CSV (RFC 4180: CRLF line ends, a header line) of the decoded records, one line each.
std::string recordsCsv(const std::vector<DecodedRecord>& records);
// GeoJSON (RFC 7946): a FeatureCollection with a Point per camera and a LineString per section,
// positions longitude first, the record's values as properties.
std::string recordsGeoJson(const std::vector<DecodedRecord>& records);

// Registers the subcommand. Exit 0 after a complete dump of a valid file, 1 when the file is not
// a camera database, the output cannot be written, or the file has problems (the records are
// dumped all the same, with a warning), 2 when the file cannot be read.
Command addDumpCommand(CLI::App& app);

}  // namespace solvane::cli

// `solvane inspect FILE.dbh`: the header, the record counts and every check of a database file.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/command.h"

namespace solvane::cli {

// Registers the subcommand. Exit 0 when the file is valid, 1 with one line per problem, 2 when
// the file cannot be read.
Command addInspectCommand(CLI::App& app);

}  // namespace solvane::cli

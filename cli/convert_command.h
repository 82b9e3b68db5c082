// `solvane convert`: the whole conversion without a display.
#pragma once

#include <CLI/CLI.hpp>

#include "cli/command.h"

namespace solvane::cli {

// Registers the subcommand; running it converts and returns the exit status.
Command addConvertCommand(CLI::App& app);

}  // namespace solvane::cli

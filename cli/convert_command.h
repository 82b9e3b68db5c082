// `solvane convert`: the whole conversion without a display.
#pragma once

#include <CLI/CLI.hpp>

namespace solvane::cli {

// Registers the subcommand; its callback runs the conversion and sets the exit code.
void addConvertCommand(CLI::App& app);

// The exit code left by the subcommand that ran.
int exitCode();
void setExitCode(int code);

}  // namespace solvane::cli

// One subcommand of `solvane`: registered with its options, run after the parse, and its exit
// status returned (no command keeps a status aside).
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

namespace solvane::cli {

struct Command {
  CLI::App* app = nullptr;   // the subcommand; parsed() tells whether the user chose it
  std::function<int()> run;  // runs it with the parsed options and returns the exit status
};

}  // namespace solvane::cli

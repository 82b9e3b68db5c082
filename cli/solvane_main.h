// The whole of `solvane`: parses the command line, runs the chosen command and returns the
// exit status.
#pragma once

namespace solvane::cli {

int solvaneMain(int argc, char** argv);

}  // namespace solvane::cli

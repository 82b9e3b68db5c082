// solvane: the command-line front end. The work is in solvane_main.cpp, compiled with the
// commands, so CLI11 is compiled once.
#include "cli/solvane_main.h"

int main(int argc, char** argv) { return solvane::cli::solvaneMain(argc, argv); }

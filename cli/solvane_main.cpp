// solvane: the command-line front end, compiled with the commands (main.cpp only calls it).
#include "cli/solvane_main.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>

#include "cli/check_command.h"
#include "cli/convert_command.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#ifdef SOLVANE_WITH_IMPORT
#include "cli/import_command.h"
#endif
#include "cli/inspect_command.h"
#include "base/console.h"
#include "base/version.h"

#include <string>
#include <vector>

namespace solvane::cli {

int solvaneMain(int argc, char** argv) {
  CLI::App app{
      "solvane - turns speed-camera lists (a normal list of points and an Autodoria list of\n"
      "sections, comma-separated text) into the scrambled camera database DB_YYMMDD.dbh."};
  app.name("solvane");
  app.set_version_flag("--version", std::string("solvane ") + solvane::kVersion + "\n" + solvane::kLicenceLine);
  app.require_subcommand(1);
  app.footer(
      "Examples:\n"
      "  solvane check   --normal Solvane.txt --autodoria Autodoria.txt\n"
      "  solvane convert --normal Solvane.txt --autodoria Autodoria.txt --output-dir out\n"
      "  solvane inspect out/DB_241105.dbh\n"
      "  solvane dump    out/DB_241105.dbh --format geojson -o cameras.geojson\n"
      "  solvane import  cameras.geojson Cameras@50.csv --output-dir lists\n"
      "  solvane diff    --old old/Solvane.txt old/Autodoria.txt --new Solvane.txt Autodoria.txt\n"
      "\nRun 'solvane <command> --help' for a command's options; 'man solvane' has the whole manual.");
  const solvane::cli::Command commands[] = {
      solvane::cli::addConvertCommand(app), solvane::cli::addCheckCommand(app), solvane::cli::addInspectCommand(app),
      solvane::cli::addDumpCommand(app),    solvane::cli::addDiffCommand(app),
#ifdef SOLVANE_WITH_IMPORT
      solvane::cli::addImportCommand(app),
#endif
  };
  const StandardStreams streams;
  try {
    // UTF-8 on every platform; paths are made from it by pathFromUtf8().
    std::vector<std::string> args = commandLineArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());
    app.parse(static_cast<int>(pointers.size()), pointers.data());
    for (const solvane::cli::Command& command : commands) {
      if (command.app->parsed()) return command.run();
    }
  } catch (const CLI::ParseError& e) {
    // CLI11 uses exit code 106 etc. for usage errors; ours is 2.
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  } catch (const std::bad_alloc&) {
    // Lists too large for memory: nothing has been written (the output goes through a
    // temporary file), so a clear message and a failure status are all that is left to do.
    std::cerr << "solvane: not enough memory for these lists; nothing was written.\n";
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "solvane: " << e.what() << "; nothing was written.\n";
    return 1;
  }
  return 2;  // not reached: the parse requires one subcommand
}

}  // namespace solvane::cli

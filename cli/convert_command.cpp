#include "cli/convert_command.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "base/c_file.h"
#include "convert/conversion.h"

namespace solvane::cli {
namespace {

struct ConvertOptions {
  std::string normal;
  std::string autodoria;
  std::string outputDir;
  std::string date;
  std::optional<std::uint64_t> seed;
};

// --date, else SOURCE_DATE_EPOCH, else today (UTC).
std::optional<FileDate> runDate(const ConvertOptions& o, std::string& error) {
  if (!o.date.empty()) {
    if (auto d = parseIsoDate(o.date)) return d;
    error = "--date must be a date written YYYY-MM-DD, not \"" + o.date + "\"";
    return std::nullopt;
  }
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
    char* end = nullptr;
    errno = 0;
    const long long seconds = std::strtoll(epoch, &end, 10);
    if (errno != 0 || *end != '\0' || seconds < 0 || seconds > 253402300799LL) {
      error = std::string("SOURCE_DATE_EPOCH must be a number of seconds, not \"") + epoch + "\"";
      return std::nullopt;
    }
    return dateFromUnixSeconds(seconds);
  }
  return utcToday();
}

int runConvert(const ConvertOptions& o) {
  if (o.normal.empty() && o.autodoria.empty()) {
    std::cerr << "solvane convert: give --normal FILE, --autodoria FILE or both.\n"
                 "Run 'solvane convert --help' for more information.\n";
    return 2;
  }
  if (o.normal == "-" && o.autodoria == "-") {
    std::cerr << "solvane convert: only one list can come from standard input ('-').\n";
    return 2;
  }
  std::string dateError;
  const auto date = runDate(o, dateError);
  if (!date) {
    std::cerr << "solvane convert: " << dateError << "\n";
    return 2;
  }
  ConversionRequest request;
  request.sources = {pathFromUtf8(o.normal), pathFromUtf8(o.autodoria), Streams::kRead};
  request.outputDir = pathFromUtf8(o.outputDir);
  request.date = *date;
  request.seed = o.seed ? *o.seed : freshSeed();
  CameraTable table;
  const ConversionResult result = runConversion(request, table);
  if (result.status == ConversionStatus::kConverted) {
    std::cout << result.message << "\n";
    return 0;
  }
  std::cerr << result.message << "\n";
  if (!result.detail.empty()) std::cerr << result.detail << "\n";
  return 1;
}

}  // namespace

Command addConvertCommand(CLI::App& app) {
  auto options = std::make_shared<ConvertOptions>();
  CLI::App* cmd =
      app.add_subcommand("convert",
                         "Load the lists, sort the cameras by latitude and write DB_YYMMDD.dbh.\n"
                         "Prints 'DB Conversion end. [<path>]' and exits 0 on success; exits 1 when a list\n"
                         "cannot be read, is not a camera list, holds no rows or the file cannot be written\n"
                         "(nothing is written or changed then); exits 2 on a usage error.");
  cmd->add_option("--normal", options->normal,
                  "normal list: header line (second field \"X\"), then IDX,X,Y,TYPE,SPD,DTYPE,DIR "
                  "per line; lines starting with // are comments; - reads standard input")
      ->type_name("FILE");
  cmd->add_option("--autodoria", options->autodoria,
                  "Autodoria list: header line (first field \"IDX\"), then two lines per section, "
                  "start point and end point; - reads standard input")
      ->type_name("FILE");
  cmd->add_option("--output-dir", options->outputDir, "folder for DB_YYMMDD.dbh (default: current folder)")
      ->type_name("DIR");
  cmd->add_option("--date", options->date,
                  "date in the file name and header (default: $SOURCE_DATE_EPOCH if set, else today, UTC)")
      ->type_name("YYYY-MM-DD");
  cmd->add_option("--seed", options->seed,
                  "seed for the random bytes; the same lists, date and seed give the same file")
      ->type_name("N");
  cmd->footer(
      "Example:\n"
      "  solvane convert --normal examples/Solvane.txt --autodoria examples/Autodoria.txt \\\n"
      "                  --output-dir /tmp --date 2024-11-05 --seed 1\n"
      "  -> DB Conversion end. [/tmp/DB_241105.dbh]");
  return {cmd, [options] { return runConvert(*options); }};
}

}  // namespace solvane::cli

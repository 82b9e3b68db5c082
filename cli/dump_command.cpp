#include "cli/dump_command.h"

#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "base/c_file.h"
#include "cli/text_output.h"

namespace solvane::cli {
namespace {

struct DumpOptions {
  std::string file;
  std::string format = "csv";
  std::string output;
};

std::string directionText(std::uint8_t h, const char* none) {
  const std::optional<int> d = directionFromH(h);
  return d ? std::to_string(*d) : none;
}

const char* kindOf(const DecodedRecord& r) { return r.twoPoint ? "section" : "point"; }

std::string position(const DecodedPoint& p) {
  return "[" + degreesText(p.longitude) + ", " + degreesText(p.latitude) + "]";
}

int runDump(const DumpOptions& o) {
  const DatabaseRead read = readDatabaseFile(pathFromUtf8(o.file), Streams::kRead);
  if (read.error) {
    std::cerr << "solvane dump: " << read.error->detail << "\n";
    return 2;
  }
  const DatabaseInspection& r = read.inspection;
  if (!r.isCameraDatabase) {
    std::cerr << "solvane dump: \"" << o.file << "\" is not a camera database"
              << (r.problems.empty() ? "" : ": " + r.problems.front().what) << "\n";
    return 1;
  }
  const std::string text = o.format == "geojson" ? recordsGeoJson(r.records) : recordsCsv(r.records);
  if (const std::string error = writeOutput(pathFromUtf8(o.output), text); !error.empty()) {
    std::cerr << "solvane dump: " << error << "\n";
    return 1;
  }
  if (!r.valid()) {
    std::cerr << "solvane dump: warning: \"" << o.file << "\" has " << r.problems.size()
              << " problem(s), the first at offset " << r.problems.front().offset << ": " << r.problems.front().what
              << "\nRun 'solvane inspect " << o.file << "' for all of them.\n";
    return 1;
  }
  return 0;
}

}  // namespace

std::string recordsCsv(const std::vector<DecodedRecord>& records) {
  std::ostringstream out;
  out << "record,offset,kind,latitude,longitude,type,speed,dtype,h,direction,latitude2,longitude2,h2,direction2,"
         "ambiguous\r\n";
  std::size_t n = 0;
  for (const DecodedRecord& r : records) {
    out << ++n << ',' << r.offset << ',' << kindOf(r) << ',' << degreesText(r.first.latitude) << ','
        << degreesText(r.first.longitude) << ',' << int{r.type} << ',' << int{r.speed} << ',' << int{r.dtype} << ','
        << int{r.first.h} << ',' << directionText(r.first.h, "") << ',';
    if (r.twoPoint) {
      out << degreesText(r.second.latitude) << ',' << degreesText(r.second.longitude) << ',' << int{r.second.h} << ','
          << directionText(r.second.h, "");
    } else {
      out << ",,,";
    }
    out << ',' << (r.ambiguous ? "true" : "false") << "\r\n";
  }
  return out.str();
}

std::string recordsGeoJson(const std::vector<DecodedRecord>& records) {
  std::ostringstream out;
  out << "{\"type\": \"FeatureCollection\", \"features\": [";
  std::size_t n = 0;
  for (const DecodedRecord& r : records) {
    out << (n ? ",\n" : "\n") << "{\"type\": \"Feature\", \"geometry\": ";
    if (r.twoPoint) {
      out << "{\"type\": \"LineString\", \"coordinates\": [" << position(r.first) << ", " << position(r.second) << "]}";
    } else {
      out << "{\"type\": \"Point\", \"coordinates\": " << position(r.first) << "}";
    }
    out << ", \"properties\": {\"record\": " << ++n << ", \"kind\": \"" << kindOf(r) << "\", \"type\": " << int{r.type}
        << ", \"speed\": " << int{r.speed} << ", \"dtype\": " << int{r.dtype} << ", \"h\": " << int{r.first.h}
        << ", \"direction\": " << directionText(r.first.h, "null");
    if (r.twoPoint) {
      out << ", \"h2\": " << int{r.second.h} << ", \"direction2\": " << directionText(r.second.h, "null");
    }
    out << ", \"ambiguous\": " << (r.ambiguous ? "true" : "false") << "}}";
  }
  out << "\n]}\n";
  return out.str();
}

Command addDumpCommand(CLI::App& app) {
  auto options = std::make_shared<DumpOptions>();
  CLI::App* cmd =
      app.add_subcommand("dump",
                         "Decode every record of a camera database: latitude and longitude in degrees, type, speed,\n"
                         "direction type, direction (from H, exact to 2 degrees) and a section's end point.\n"
                         "CSV (RFC 4180) or GeoJSON (RFC 7946, opens in QGIS or geojson.io).");
  cmd->add_option("file", options->file, "the database file (- reads standard input)")
      ->required()
      ->type_name("FILE.dbh");
  cmd->add_option("--format", options->format, "csv (default) or geojson")
      ->check(CLI::IsMember({"csv", "geojson"}))
      ->type_name("csv|geojson");
  cmd->add_option("-o,--output", options->output, "write here instead of standard output")->type_name("OUT");
  cmd->footer("Example:\n  solvane dump out/DB_241105.dbh --format geojson -o cameras.geojson");
  return {cmd, [options] { return runDump(*options); }};
}

}  // namespace solvane::cli

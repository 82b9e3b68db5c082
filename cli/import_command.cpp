#include "cli/import_command.h"

#include <charconv>
#include <iostream>
#include <memory>

#include "base/c_file.h"
#include "base/source_file.h"
#include "cli/import_progress.h"
#include "import/import_run.h"

namespace solvane::cli {
namespace {

struct ImportOptions {
  std::vector<std::string> files;
  std::string format;
  std::string outputDir = ".";
  std::string bbox;
  std::string within;
  std::string columns;
  std::int64_t type = 1, redLightType = 4, sectionType = 3;
  std::optional<std::int64_t> dtype;
  bool gpxSections = false;
};

// "W,S,E,N" in degrees, read without the locale.
std::optional<importer::Region::Box> parseBox(std::string_view text) {
  double v[4];
  const char* p = text.data();
  const char* end = p + text.size();
  for (int i = 0; i < 4; ++i) {
    const auto r = std::from_chars(p, end, v[i]);
    if (r.ec != std::errc{}) return std::nullopt;
    p = r.ptr;
    if (i < 3) {
      if (p == end || *p != ',') return std::nullopt;
      ++p;
    }
  }
  if (p != end || v[0] > v[2] || v[1] > v[3]) return std::nullopt;
  return importer::Region::Box{v[0], v[1], v[2], v[3]};
}

constexpr std::size_t kShown = 20;  // skipped items and notes listed per run; the rest counted

void printList(const char* label, const std::vector<std::string>& items) {
  for (std::size_t i = 0; i < items.size() && i < kShown; ++i) std::cout << "  " << label << ": " << items[i] << "\n";
  if (items.size() > kShown) std::cout << "  ... and " << items.size() - kShown << " more " << label << " items\n";
}

int runImport(const ImportOptions& o) {
  importer::ImportRequest request;
  for (const std::string& f : o.files) request.files.push_back(pathFromUtf8(f));
  request.outputDir = pathFromUtf8(o.outputDir);
  if (!o.format.empty()) request.format = importer::formatFromName(o.format);
  request.defaults.pointType = o.type;
  request.defaults.redLightType = o.redLightType;
  request.defaults.sectionType = o.sectionType;
  request.defaults.dtype = o.dtype;
  request.gpxSections = o.gpxSections;
  if (!o.bbox.empty()) {
    request.region.box = parseBox(o.bbox);
    if (!request.region.box) {
      std::cerr << "solvane import: --bbox must be W,S,E,N in degrees (west <= east, south <= north), not \"" << o.bbox
                << "\"\n";
      return 2;
    }
  }
  if (!o.columns.empty()) {
    std::string error;
    const auto columns = importer::parseCsvColumns(o.columns, error);
    if (!columns) {
      std::cerr << "solvane import: --columns: " << error << "\n";
      return 2;
    }
    request.csvColumns = *columns;
  }
  if (!o.within.empty()) {
    const SourceRead read = readSourceFile(o.within);
    if (read.error) {
      std::cerr << "solvane import: --within: " << read.error->detail << "\n";
      return 1;
    }
    std::string error;
    request.region.area = importer::readArea(read.bytes(), error);
    if (!request.region.area) {
      std::cerr << "solvane import: --within \"" << o.within << "\": " << error << "\n";
      return 1;
    }
  }
  ImportProgressLine progress(standardErrorIsTerminal(), std::cerr);
  request.progress = [&](const importer::ImportProgress& p) { progress.update(p); };
  const importer::ImportResult r = importer::runImport(request);
  progress.finish();
  for (const importer::FileSummary& s : r.files) {
    std::cout << "read \"" << displayPath(s.file) << "\" (" << importer::formatName(s.format) << "): " << s.points
              << " point(s), " << s.sections << " section(s), " << s.skipped << " skipped";
    if (s.outside) std::cout << ", " << s.outside << " outside the region";
    std::cout << "\n";
  }
  printList("skipped", r.cameras.skipped());
  printList("note", r.cameras.notes());
  if (!r.ok) {
    std::cerr << "solvane import: " << r.error << "\nNothing was written.\n";
    return 1;
  }
  std::cout << "wrote \"" << displayPath(std::filesystem::absolute(*r.normalList)) << "\" (" << r.cameras.points()
            << " point(s))\n";
  if (r.autodoriaList) {
    std::cout << "wrote \"" << displayPath(std::filesystem::absolute(*r.autodoriaList)) << "\" ("
              << r.cameras.sections() << " section(s))\n";
  }
  if (r.staleAutodoria) {
    std::cout << "note: no sections, so \"" << displayPath(pathFromUtf8(o.outputDir) / "Autodoria.txt")
              << "\" was left as it was; do not convert it with this Solvane.txt unless it belongs to it\n";
  }
  return 0;
}

}  // namespace

Command addImportCommand(CLI::App& app) {
  auto options = std::make_shared<ImportOptions>();
  CLI::App* cmd = app.add_subcommand(
      "import",
      "Build the two lists from CSV (with a header, or Garmin POI), GPX, KML, GeoJSON or OpenStreetMap (XML, PBF) "
      "files:\n"
      "DIR/Solvane.txt (the points) and, when there are sections, DIR/Autodoria.txt.\n"
      "Several files are merged. Exits 0 when written; 1 when a file cannot be read or parsed, holds\n"
      "no cameras or a list cannot be written (nothing is written then); 2 on a usage error.");
  cmd->add_option("files", options->files, "input files")->required()->type_name("FILE...");
  cmd->add_option("--format", options->format,
                  "read every file as this (default: from the extension, else the content)")
      ->check(CLI::IsMember({"csv", "gpx", "kml", "geojson", "osm", "pbf"}))
      ->type_name("csv|gpx|kml|geojson|osm|pbf");
  cmd->add_option("--output-dir", options->outputDir, "folder for Solvane.txt and Autodoria.txt (default: .)")
      ->type_name("DIR");
  cmd->add_option("--type", options->type,
                  "TYPE of speed cameras (and points of unknown kind) whose source has none (default 1)")
      ->type_name("N");
  cmd->add_option("--red-light-type", options->redLightType,
                  "TYPE of red-light cameras (OSM enforcement=traffic_signals) whose source has none (default 4)")
      ->type_name("N");
  cmd->add_option("--section-type", options->sectionType, "TYPE of sections whose source has none (default 3)")
      ->type_name("N");
  cmd->add_option("--dtype", options->dtype,
                  "DTYPE where the source has none (default: 1 for a camera with a direction, else 0)")
      ->type_name("N");
  cmd->add_option("--columns", options->columns,
                  "CSV with a header: the columns to take, where their names are not recognised")
      ->type_name("lon=NAME,lat=NAME,location=NAME,speed=NAME,direction=NAME");
  cmd->add_flag("--gpx-sections", options->gpxSections, "take GPX routes and tracks of exactly two points as sections");
  cmd->add_option("--bbox", options->bbox, "keep only cameras inside this box (degrees)")->type_name("W,S,E,N");
  cmd->add_option("--within", options->within, "keep only cameras inside this GeoJSON Polygon or MultiPolygon")
      ->type_name("AREA.geojson");
  cmd->footer(
      "Examples:\n"
      "  solvane import Cameras@50.csv cameras.gpx --output-dir lists\n"
      "  solvane import germany.osm.pbf --within bavaria.geojson --output-dir lists\n"
      "  solvane dump DB_241105.dbh --format geojson -o db.geojson && solvane import db.geojson --output-dir back");
  return {cmd, [options] { return runImport(*options); }};
}

}  // namespace solvane::cli

// The import readers under fuzzing: whatever the bytes, a reader either reports a clean error
// or delivers cameras whose two lists load with the real loaders, one row per camera, and whose
// coordinate texts the conversion reads back to the values the reader meant.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/c_number.h"
#include "convert/record_encoder.h"
#include "fuzz/fuzz_checks.h"
#include "import/import_run.h"
#include "import/osm_reader.h"
#include "load/autodoria_list.h"
#include "load/normal_list.h"
#include "table/camera_table.h"

namespace solvane::fuzz {
namespace {

void require(bool ok, const std::string& what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
    std::abort();
  }
}

void checkCameras(const importer::CameraSet& set);

}  // namespace

void checkPbf(std::string_view input) {
  importer::CameraSet set;
  const auto error = importer::readOsmBytes(input, "pbf", set);
  if (error) {
    require(!error->reason.empty(), "an error without a reason");
    return;
  }
  checkCameras(set);
}

void checkImport(std::string_view input) {
  if (input.empty()) return;
  using importer::Format;
  static constexpr Format kFormats[] = {Format::kPoiCsv, Format::kGpx, Format::kKml, Format::kGeoJson, Format::kOsmXml};
  const auto selector = static_cast<unsigned char>(input[0]);
  const Format format = kFormats[selector % 5];
  const bool gpxSections = (selector & 0x80) != 0;
  const std::string_view bytes = input.substr(1);
  importer::CameraSet set;
  const auto error = importer::readInto(format, bytes, "fuzz@50.csv", gpxSections, set);
  if (error) {
    require(!error->reason.empty(), "an error without a reason");
    return;
  }
  checkCameras(set);
}

namespace {

void checkCameras(const importer::CameraSet& set) {
  for (const importer::Camera& c : set.cameras()) {
    require(inRange(c.at.scaledLon, c.at.scaledLat), "a camera out of range was kept");
    require(scaleCoordinate(std::string_view(c.at.lon)) == c.at.scaledLon &&
                scaleCoordinate(std::string_view(c.at.lat)) == c.at.scaledLat,
            "a coordinate text does not read back to its value: " + c.at.lon + "," + c.at.lat);
    if (c.end) {
      require(scaleCoordinate(std::string_view(c.end->lon)) == c.end->scaledLon &&
                  scaleCoordinate(std::string_view(c.end->lat)) == c.end->scaledLat,
              "an end point's text does not read back to its value");
    }
  }
  const std::string normal = importer::normalListText(set.cameras(), {});
  const std::string autodoria = importer::autodoriaListText(set.cameras(), {});
  CameraTable table;
  const auto normalError = parseNormalList(normal, true, table, "Solvane.txt");
  require(!normalError, "the normal list does not load: " + (normalError ? normalError->detail : ""));
  require(table.rowCount() == set.points(), "the normal list has " + std::to_string(table.rowCount()) + " rows for " +
                                                std::to_string(set.points()) + " points");
  const auto autodoriaError = parseAutodoriaList(autodoria, true, table, "Autodoria.txt");
  require(!autodoriaError, "the Autodoria list does not load: " + (autodoriaError ? autodoriaError->detail : ""));
  require(table.rowCount() == set.cameras().size(), "the lists hold " + std::to_string(table.rowCount()) +
                                                        " rows for " + std::to_string(set.cameras().size()) +
                                                        " cameras");
  for (std::size_t r = set.points(); r < table.rowCount(); ++r) {
    require(!table.cell(r, kX2).empty(), "a section row without its end point");
  }
}

}  // namespace

}  // namespace solvane::fuzz

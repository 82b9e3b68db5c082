// One import run: read the input files (format from --format, the extension or the content),
// then write the normal list and, when there are sections, the Autodoria list.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "import/camera_merge.h"
#include "import/camera_set.h"
#include "import/table_csv_reader.h"

namespace solvane::importer {

enum class Format { kPoiCsv, kGpx, kKml, kGeoJson, kOsmXml, kOsmPbf };

const char* formatName(Format f) noexcept;
// "csv", "gpx", "kml", "geojson", "osm" (XML or PBF, told apart by the content), "pbf".
std::optional<Format> formatFromName(std::string_view name) noexcept;
// From the extension, else from the first bytes; nothing when neither tells.
std::optional<Format> detectFormat(const std::filesystem::path& path, std::string_view head) noexcept;

// How far an import is. OpenStreetMap files are read twice (relations, then nodes), so their
// bytes count twice in both figures.
struct ImportProgress {
  std::uint64_t bytesRead = 0;
  std::uint64_t bytesTotal = 0;  // 0: not known (a pipe)
  std::size_t objects = 0;       // cameras found so far (in an OSM file's first pass: its enforcement relations)
};

struct ImportRequest {
  std::vector<std::filesystem::path> files;
  std::optional<Format> format;  // set: every file is read as this
  std::filesystem::path outputDir;
  ListDefaults defaults;
  Region region;
  bool gpxSections = false;
  CsvColumns csvColumns;  // --columns
  // Called now and then (once at the start, about every 100 ms while reading, once when all is
  // read) on the thread that runs the import.
  std::function<void(const ImportProgress&)> progress;
  // Set (from any thread): the import stops soon, writes nothing and reports `cancelled`. Set
  // once the lists are being written, it comes too late and the import completes.
  const std::atomic<bool>* cancel = nullptr;
  // Set: cameras this close become one (camera_merge.h).
  std::optional<double> mergeMetres;
};

struct FileSummary {
  std::filesystem::path file;
  Format format{};
  std::size_t points = 0, sections = 0, skipped = 0, outside = 0;
};

struct ImportResult {
  bool ok = false;
  std::string error;  // when not ok: "<file>: <where>: <reason>" or the write failure
  std::vector<FileSummary> files;
  // Spelled out: CameraSet's default constructor is explicit, and `ImportResult{}` must still work.
  CameraSet cameras = CameraSet();
  std::optional<std::filesystem::path> normalList, autodoriaList;  // what was written
  bool staleAutodoria = false;  // an Autodoria.txt was left as it was (no sections this time)
  bool cancelled = false;       // stopped by ImportRequest::cancel; nothing was written
  // With ImportRequest::mergeMetres: what merged.
  std::optional<MergeReport> merge;
};

// Reads the files into one set; on the first file that cannot be read or parsed nothing is
// written. Otherwise writes both lists, each through a temporary file renamed into place.
ImportResult runImport(const ImportRequest& request);

// Reads one file's bytes (for formats other than OSM) into the set; the error names where.
std::optional<ReadError> readInto(Format format, std::string_view bytes, const std::string& fileName, bool gpxSections,
                                  CameraSet& set, const CsvColumns& csvColumns = {});

}  // namespace solvane::importer

#include "import/import_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "base/c_file.h"
#include "base/source_file.h"
#include "convert/output_file.h"
#include "import/geojson_reader.h"
#include "import/osm_reader.h"
#include "import/poi_csv_reader.h"
#include "import/xml_readers.h"

namespace solvane::importer {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// The first bytes of a file, for telling formats apart.
std::string readHead(const std::filesystem::path& path) {
  std::string head(512, '\0');
  FilePtr f = openFile(path, "rb");
  if (!f) return {};
  head.resize(std::fread(head.data(), 1, head.size(), f.get()));
  return head;
}

// Thrown by the progress hook when the import is cancelled; caught in runImport only (it is
// no std::exception, so the readers' own handlers let it pass).
struct Cancelled {};

bool isOsm(Format f) { return f == Format::kOsmXml || f == Format::kOsmPbf; }

bool isPbf(std::string_view head) { return head.substr(0, 32).find("OSMHeader") != std::string_view::npos; }

}  // namespace

const char* formatName(Format f) noexcept {
  switch (f) {
    case Format::kPoiCsv: return "CSV";
    case Format::kGpx: return "GPX";
    case Format::kKml: return "KML";
    case Format::kGeoJson: return "GeoJSON";
    case Format::kOsmXml: return "OpenStreetMap XML";
    case Format::kOsmPbf: return "OpenStreetMap PBF";
  }
  return "?";
}

std::optional<Format> formatFromName(std::string_view name) noexcept {
  if (name == "csv") return Format::kPoiCsv;
  if (name == "gpx") return Format::kGpx;
  if (name == "kml") return Format::kKml;
  if (name == "geojson") return Format::kGeoJson;
  if (name == "osm") return Format::kOsmXml;
  if (name == "pbf") return Format::kOsmPbf;
  return std::nullopt;
}

std::optional<Format> detectFormat(const std::filesystem::path& path, std::string_view head) noexcept {
  const std::string name = lower(path.filename().string());
  if (endsWith(name, ".csv")) return Format::kPoiCsv;
  if (endsWith(name, ".gpx")) return Format::kGpx;
  if (endsWith(name, ".kml")) return Format::kKml;
  if (endsWith(name, ".geojson") || endsWith(name, ".json")) return Format::kGeoJson;
  if (endsWith(name, ".pbf")) return Format::kOsmPbf;
  if (endsWith(name, ".osm") || endsWith(name, ".osm.bz2") || endsWith(name, ".osm.gz")) return Format::kOsmXml;
  // By content: skip a BOM and white space.
  std::string_view h = head;
  if (h.substr(0, 3) == "\xEF\xBB\xBF") h.remove_prefix(3);
  if (isPbf(h)) return Format::kOsmPbf;
  while (!h.empty() && (h.front() == ' ' || h.front() == '\t' || h.front() == '\r' || h.front() == '\n'))
    h.remove_prefix(1);
  if (!h.empty() && h.front() == '{') return Format::kGeoJson;
  if (!h.empty() && h.front() == '<') {
    if (h.find("<gpx") != std::string_view::npos) return Format::kGpx;
    if (h.find("<kml") != std::string_view::npos) return Format::kKml;
    if (h.find("<osm") != std::string_view::npos) return Format::kOsmXml;
    return std::nullopt;
  }
  // A first line that starts with a number and has a comma: POI CSV.
  if (!h.empty() && (h.front() == '-' || h.front() == '+' || (h.front() >= '0' && h.front() <= '9')) &&
      h.substr(0, h.find('\n')).find(',') != std::string_view::npos) {
    return Format::kPoiCsv;
  }
  return std::nullopt;
}

std::optional<ReadError> readInto(Format format, std::string_view bytes, const std::string& fileName, bool gpxSections,
                                  CameraSet& set, const CsvColumns& csvColumns) {
  switch (format) {
    case Format::kPoiCsv: return readCsv(bytes, fileName, csvColumns, set);
    case Format::kGpx: return readGpx(bytes, gpxSections, set);
    case Format::kKml: return readKml(bytes, set);
    case Format::kGeoJson: return readGeoJson(bytes, set);
    case Format::kOsmXml: return readOsmBytes(bytes, "osm", set);
    case Format::kOsmPbf: return readOsmBytes(bytes, "pbf", set);
  }
  return ReadError{"", "unknown format"};
}

namespace {

ImportResult importOrThrow(const ImportRequest& request) {
  ImportResult result;
  result.cameras = CameraSet(request.region);
  CameraSet& set = result.cameras;
  // The work's size: every file's bytes, an OSM file's twice; unknown when any size is.
  std::uint64_t total = 0;
  for (const std::filesystem::path& file : request.files) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::is_regular_file(file, ec) ? std::filesystem::file_size(file, ec) : 0;
    if (ec || size == 0) {
      total = 0;
      break;
    }
    const std::optional<Format> f = request.format ? request.format : detectFormat(file, readHead(file));
    total += f && isOsm(*f) ? 2 * size : size;
  }
  std::uint64_t done = 0;  // the bytes of the files read completely
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastReport = Clock::now();
  const auto checkCancel = [&] {
    if (request.cancel && request.cancel->load(std::memory_order_relaxed)) throw Cancelled{};
  };
  const auto report = [&](std::uint64_t bytesRead) {
    if (request.progress) request.progress({bytesRead, total, set.cameras().size()});
  };
  if (request.cancel || request.progress) {
    set.setProgressHook([&](std::uint64_t offset) {
      checkCancel();
      const Clock::time_point now = Clock::now();
      if (now - lastReport < std::chrono::milliseconds(100)) return;
      lastReport = now;
      report(total ? std::min(done + offset, total) : done + offset);
    });
  }
  report(0);  // a cancel from here on is seen by the first reader's first report
  const auto fail = [&](const std::filesystem::path& file, const std::string& where, const std::string& reason) {
    result.error = "\"" + displayPath(file) + "\"" + (where.empty() ? "" : ": " + where) + ": " + reason;
    return result;
  };
  for (const std::filesystem::path& file : request.files) {
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) return fail(file, "", "it is a folder");
    if (!std::filesystem::exists(file, ec)) return fail(file, "", "no such file");
    const std::string head = readHead(file);
    std::optional<Format> format = request.format ? request.format : detectFormat(file, head);
    if (!format) return fail(file, "", "the format is not known from its name or content; give --format");
    // "osm" means either encoding: the content tells.
    if (*format == Format::kOsmXml && isPbf(head)) format = Format::kOsmPbf;
    const std::size_t before = set.cameras().size(), skippedBefore = set.skipped().size(),
                      outsideBefore = set.outside();
    const std::size_t pointsBefore = set.points();
    set.setSource(displayPath(file));
    std::optional<ReadError> error;
    if (isOsm(*format)) {
      // Streamed from the file: an extract may be far larger than the memory it needs.
      const std::string name = lower(file.filename().string());
      const bool byName =
          endsWith(name, ".osm") || endsWith(name, ".pbf") || endsWith(name, ".osm.bz2") || endsWith(name, ".osm.gz");
      error = readOsmFile(file, byName ? std::string() : (*format == Format::kOsmPbf ? "pbf" : "osm"), set);
    } else {
      const SourceRead read = readSourceFile(file);
      if (read.error) {
        result.error = read.error->detail;
        return result;
      }
      error = readInto(*format, read.bytes(), file.filename().string(), request.gpxSections, set, request.csvColumns);
    }
    if (error) return fail(file, error->where, error->reason);
    checkCancel();
    {
      std::error_code ec;
      const std::uintmax_t size = std::filesystem::file_size(file, ec);
      if (!ec) done += isOsm(*format) ? 2 * size : size;
    }
    FileSummary s{file, *format};
    s.points = set.points() - pointsBefore;
    s.sections = set.cameras().size() - before - s.points;
    s.skipped = set.skipped().size() - skippedBefore;
    s.outside = set.outside() - outsideBefore;
    result.files.push_back(s);
  }
  set.setSource("");
  set.setProgressHook({});
  report(total ? total : done);
  checkCancel();
  if (set.cameras().empty()) {
    result.error = "no cameras to write (nothing read" + std::string(set.outside() ? " inside the region" : "") + ")";
    return result;
  }
  // Both lists go to temporary files first; only when both are complete are they renamed.
  const std::string normal = normalListText(set.cameras(), request.defaults);
  const std::filesystem::path normalPath = request.outputDir / "Solvane.txt";
  const std::filesystem::path autodoriaPath = request.outputDir / "Autodoria.txt";
  OutputFile normalFile(normalPath);
  std::optional<OutputFile> autodoriaFile;
  std::string autodoria;
  if (set.sections()) {
    autodoria = autodoriaListText(set.cameras(), request.defaults);
    autodoriaFile.emplace(autodoriaPath);
  }
  const auto bytes = [](const std::string& s) {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  const auto writeFailure = [&](const WriteError& e) {
    result.error = e.message + (e.detail.empty() ? "" : ": " + e.detail);
    return result;
  };
  if (normalFile.failure()) return writeFailure(*normalFile.failure());
  if (autodoriaFile && autodoriaFile->failure()) return writeFailure(*autodoriaFile->failure());
  if (!normalFile.writeAt(0, bytes(normal))) return writeFailure(*normalFile.failure());
  if (autodoriaFile && !autodoriaFile->writeAt(0, bytes(autodoria))) return writeFailure(*autodoriaFile->failure());
  if (auto e = normalFile.commit(normal.size())) return writeFailure(*e);
  result.normalList = normalPath;
  if (autodoriaFile) {
    if (auto e = autodoriaFile->commit(autodoria.size())) return writeFailure(*e);
    result.autodoriaList = autodoriaPath;
  } else {
    std::error_code ec;
    result.staleAutodoria = std::filesystem::exists(autodoriaPath, ec);
  }
  result.ok = true;
  return result;
}

}  // namespace

ImportResult runImport(const ImportRequest& request) {
  try {
    return importOrThrow(request);
  } catch (const Cancelled&) {
    ImportResult result;
    result.cancelled = true;
    result.error = "cancelled";
    return result;
  }
}

}  // namespace solvane::importer

#include "compare/release_side.h"

#include <algorithm>
#include <cstdio>

#include "base/c_file.h"
#include "base/c_number.h"
#include "base/source_file.h"
#include "check/database_reader.h"
#include "convert/record_encoder.h"
#include "load/autodoria_list.h"
#include "load/normal_list.h"
#include "load/source_lines.h"
#include "table/line_fields.h"
#ifdef SOLVANE_WITH_IMPORT
#include "import/camera_set.h"
#include "import/import_run.h"
#include "import/osm_reader.h"
#endif

namespace solvane::compare {
namespace {

std::string lowerCase(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

std::uint8_t low(std::int32_t v) noexcept { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu); }

// The first bytes of a file, for telling the kinds apart before reading it whole.
std::string headOf(const std::filesystem::path& path) {
  std::string head(4096, '\0');
  FilePtr f = openFile(path, "rb");
  if (!f) return {};
  head.resize(std::fread(head.data(), 1, head.size(), f.get()));
  return head;
}

bool isDatabase(std::string_view head) { return head.size() >= 4 && head.substr(0, 4) == "rudb"; }

// The first field, and the second, of a line.
std::pair<std::string_view, std::string_view> firstFields(std::string_view line) {
  const std::size_t c1 = line.find(',');
  if (c1 == std::string_view::npos) return {line, {}};
  const std::string_view rest = line.substr(c1 + 1);
  return {line.substr(0, c1), rest.substr(0, rest.find(','))};
}

// Whether the file's first line that is not empty looks like a list: a comment line, or a
// header naming IDX or X where the lists have them.
bool looksLikeList(std::string_view head) {
  LineReader lines(head);
  std::string_view line;
  while (lines.next(line)) {
    if (line.empty()) continue;
    if (startsWithComment(line)) return true;
    const auto [first, second] = firstFields(line);
    return first == "IDX" || second == "X";
  }
  return false;
}

// The table's rows as cameras: what the conversion would write for each.
void takeRows(const CameraTable& table, std::span<const std::uint32_t> lines, std::uint32_t file, Side& side,
              std::size_t& skipped) {
  // Room made once: a vector doubling its million cameras would hold both copies at its peak.
  side.cameras.reserve(side.cameras.size() + table.rowCount());
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    const RecordCells cells = RecordCells::fromTable(table, r);
    DiffCamera c;
    c.lon = scaleCoordinate(cells.x);
    c.lat = scaleCoordinate(cells.y);
    if (!inRange(c.lon, c.lat)) {
      ++skipped;
      continue;
    }
    c.type = parseCInt(cells.type);
    c.speed = parseCInt(cells.spd);
    c.dtype = parseCInt(cells.dtype);
    c.direction = parseCInt(cells.dir);
    c.h = halfDirection(c.direction, low(c.dtype));
    c.section = cells.hasSecondPoint();
    if (c.section) {
      c.lon2 = scaleCoordinate(cells.x2);
      c.lat2 = scaleCoordinate(cells.y2);
      c.direction2 = parseCInt(cells.dir2);
      c.h2 = halfDirection(c.direction2, low(c.dtype));
    }
    c.file = file;
    c.place = r < lines.size() ? lines[r] : 0;
    side.cameras.push_back(c);
  }
}

// The rows' line numbers from where their text lies in the list's bytes: rows that refer to
// their lines come in file order, so one count of line feeds numbers them all. Nothing when a
// row does not refer to its line (one copied for a carriage return inside it); then the
// loader is asked (its sources cost 40 bytes a row, which a list of a million rows feels).
std::optional<std::vector<std::uint32_t>> linesFromText(const CameraTable& table, std::string_view bytes) {
  std::vector<std::uint32_t> lines(table.rowCount());
  std::size_t at = 0, line = 1;
  for (std::size_t r = 0; r < table.rowCount(); ++r) {
    const auto row = table.rowLine(r);
    if (!row || row->text.data() < bytes.data() + at || row->text.data() > bytes.data() + bytes.size()) {
      return std::nullopt;
    }
    const auto offset = static_cast<std::size_t>(row->text.data() - bytes.data());
    line += static_cast<std::size_t>(std::count(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
    at = offset;
    lines[r] = static_cast<std::uint32_t>(line);
  }
  return lines;
}

std::vector<std::uint32_t> linesOf(const std::vector<RowSource>& sources) {
  std::vector<std::uint32_t> lines;
  lines.reserve(sources.size());
  for (const RowSource& s : sources) lines.push_back(static_cast<std::uint32_t>(s.line));
  return lines;
}

std::optional<std::string> readList(std::string_view bytes, bool complete, FileKind kind, const std::string& name,
                                    std::uint32_t file, Side& side, std::size_t& skipped) {
  const auto failure = [](const LoadError& e) { return e.message + (e.detail.empty() ? "" : " (" + e.detail + ")"); };
  CameraTable table;
  std::optional<std::vector<std::uint32_t>> lines;
  if (kind == FileKind::kNormalList) {
    if (auto e = parseNormalList(bytes, complete, table, name, 0, nullptr)) return failure(*e);
    lines = linesFromText(table, bytes);
  }
  if (!lines) {
    table = CameraTable();
    std::vector<RowSource> sources;
    const std::optional<LoadError> error = kind == FileKind::kNormalList
                                               ? parseNormalList(bytes, complete, table, name, 0, &sources)
                                               : parseAutodoriaList(bytes, complete, table, name, &sources);
    if (error) return failure(*error);
    lines = linesOf(sources);
  }
  takeRows(table, *lines, file, side, skipped);
  return std::nullopt;
}

void takeDatabase(const DatabaseInspection& db, std::uint32_t file, Side& side, std::size_t& skipped) {
  side.cameras.reserve(side.cameras.size() + db.records.size());
  for (std::size_t i = 0; i < db.records.size(); ++i) {
    const DecodedRecord& r = db.records[i];
    // A damaged file's record outside the range is no place on earth (inspect reports it).
    if (!inRange(r.first.longitude, r.first.latitude)) {
      ++skipped;
      continue;
    }
    DiffCamera c;
    c.lat = r.first.latitude;
    c.lon = r.first.longitude;
    c.type = r.type;
    c.speed = r.speed;
    c.dtype = r.dtype;
    c.h = r.first.h;
    c.direction = directionFromH(r.first.h).value_or(2 * r.first.h + 180);
    c.section = r.twoPoint;
    if (c.section) {
      c.lat2 = r.second.latitude;
      c.lon2 = r.second.longitude;
      c.h2 = r.second.h;
      c.direction2 = directionFromH(r.second.h).value_or(2 * r.second.h + 180);
    }
    c.fromDatabase = true;
    c.file = file;
    c.place = static_cast<std::uint32_t>(i + 1);
    side.cameras.push_back(c);
  }
}

#ifdef SOLVANE_WITH_IMPORT
// An import's cameras go through the lists `solvane import` would write, read back by the
// loaders: so the import and the list made from it cannot differ.
std::optional<std::string> readImport(const std::filesystem::path& path, importer::Format format, std::string_view head,
                                      std::uint32_t fileIndex, Side& side, SideFile& file) {
  importer::CameraSet set;
  std::optional<importer::ReadError> error;
  if (format == importer::Format::kOsmXml && head.substr(0, 32).find("OSMHeader") != std::string_view::npos) {
    format = importer::Format::kOsmPbf;
  }
  file.format = importer::formatName(format);
  if (format == importer::Format::kOsmXml || format == importer::Format::kOsmPbf) {
    // libosmium tells the encoding and compression from a known name itself.
    const std::string name = lowerCase(path.filename().string());
    const auto endsWith = [&name](std::string_view s) {
      return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
    };
    const bool byName = endsWith(".osm") || endsWith(".pbf") || endsWith(".osm.bz2") || endsWith(".osm.gz");
    error = importer::readOsmFile(path,
                                  byName                                ? std::string()
                                  : format == importer::Format::kOsmPbf ? "pbf"
                                                                        : "osm",
                                  set);
  } else {
    const SourceRead read = readSourceFile(path);
    if (read.error) return read.error->detail.empty() ? read.error->message : read.error->detail;
    error = importer::readInto(format, read.bytes(), path.filename().string(), false, set);
  }
  if (error) return (error->where.empty() ? "" : error->where + ": ") + error->reason;
  file.skipped = set.skipped().size();
  const importer::ListDefaults defaults;
  std::vector<std::uint32_t> points, sections;  // the set's camera behind each list row
  for (std::size_t i = 0; i < set.cameras().size(); ++i) {
    (set.cameras()[i].isSection() ? sections : points).push_back(static_cast<std::uint32_t>(i));
  }
  const auto place = [&](std::uint32_t camera) {
    side.places.push_back(set.places()[camera]);
    return static_cast<std::uint32_t>(side.places.size() - 1);
  };
  std::size_t skipped = 0;
  for (const bool sectionList : {false, true}) {
    const std::vector<std::uint32_t>& rows = sectionList ? sections : points;
    if (rows.empty()) continue;
    const std::string text = sectionList ? importer::autodoriaListText(set.cameras(), defaults)
                                         : importer::normalListText(set.cameras(), defaults);
    const std::size_t before = side.cameras.size();
    CameraTable table;
    const std::optional<LoadError> e = sectionList ? parseAutodoriaList(text, true, table, displayPath(path), nullptr)
                                                   : parseNormalList(text, true, table, displayPath(path), 0, nullptr);
    if (e) return e->message;
    takeRows(table, std::span<const std::uint32_t>(), fileIndex, side, skipped);
    // Every row is in range (the import checked it), so rows and cameras stay in step.
    for (std::size_t k = before; k < side.cameras.size() && k - before < rows.size(); ++k) {
      side.cameras[k].place = place(rows[k - before]);
    }
  }
  file.skipped += skipped;
  return std::nullopt;
}
#endif

}  // namespace

bool Side::hasDatabase() const noexcept {
  return std::any_of(files.begin(), files.end(), [](const SideFile& f) { return f.kind == FileKind::kDatabase; });
}

std::string Side::sourceOf(const DiffCamera& camera) const {
  if (camera.file >= files.size()) return "?";
  const SideFile& f = files[camera.file];
  const std::string name = displayPath(f.path);
  switch (f.kind) {
    case FileKind::kNormalList:
    case FileKind::kAutodoriaList: return name + ":" + std::to_string(camera.place);
    case FileKind::kDatabase: return name + " record " + std::to_string(camera.place);
    case FileKind::kImport: return name + " " + (camera.place < places.size() ? places[camera.place] : "?");
    case FileKind::kTable: return "row " + std::to_string(camera.place);
  }
  return name;
}

Side sideOfTable(const CameraTable& table, std::string name) {
  Side side;
  SideFile file;
  file.path = std::filesystem::path(name);
  file.kind = FileKind::kTable;
  file.format = "camera table";
  std::vector<std::uint32_t> rows(table.rowCount());
  for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = static_cast<std::uint32_t>(r + 1);
  takeRows(table, rows, 0, side, file.skipped);
  file.cameras = side.cameras.size();
  side.files.push_back(std::move(file));
  return side;
}

FileKind listKind(std::string_view bytes, const std::filesystem::path& path, bool normalBefore) {
  LineReader lines(bytes);
  std::string_view line;
  if (!lines.next(line)) line = lines.tail();
  if (line.empty() || startsWithComment(line)) return FileKind::kNormalList;
  const auto [first, second] = firstFields(line);
  if (first == "IDX" && second != "X") return FileKind::kAutodoriaList;
  if (first == "IDX" && (line.find(",IDX2") != std::string_view::npos || line.find(",X2") != std::string_view::npos)) {
    return FileKind::kAutodoriaList;
  }
  if (lowerCase(path.filename().string()).find("autodoria") != std::string::npos) return FileKind::kAutodoriaList;
  if (normalBefore && first == "IDX") {
    std::size_t count = 0;
    bool comment = false;
    while (lines.next(line)) {
      if (line.empty()) continue;
      if (startsWithComment(line)) comment = true;
      ++count;
    }
    // A last line "//..." is an Autodoria list's stop line; anywhere else a normal list's comment.
    if (!comment || (startsWithComment(line) && count % 2 == 1)) {
      if (comment) --count;
      if (count % 2 == 0) return FileKind::kAutodoriaList;
    }
  }
  return FileKind::kNormalList;
}

SideRead readSide(std::span<const std::filesystem::path> paths) {
  SideRead result;
  Side& side = result.side;
  bool normalBefore = false;
  for (const std::filesystem::path& path : paths) {
    const auto fail = [&](const std::string& why) {
      std::string error = "\"";
      error += displayPath(path);
      error += "\": ";
      error += why;
      result.error = std::move(error);
      return std::move(result);
    };
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return fail("it is a folder");
    if (!std::filesystem::exists(path, ec)) return fail("no such file");
    const auto index = static_cast<std::uint32_t>(side.files.size());
    SideFile file;
    file.path = path;
    const std::size_t before = side.cameras.size();
    const std::string head = headOf(path);
    if (isDatabase(head)) {
      const DatabaseRead read = readDatabaseFile(path);
      if (read.error) return fail(read.error->detail.empty() ? read.error->message : read.error->detail);
      if (!read.inspection.isCameraDatabase) return fail("not a camera database (magic or format mark wrong)");
      file.kind = FileKind::kDatabase;
      file.format = "database";
      takeDatabase(read.inspection, index, side, file.skipped);
    } else if (looksLikeList(head)) {
      const SourceRead read = readSourceFile(path);
      if (read.error && read.size == 0)
        return fail(read.error->detail.empty() ? read.error->message : read.error->detail);
      file.kind = listKind(read.bytes(), path, normalBefore);
      file.format = file.kind == FileKind::kNormalList ? "normal list" : "Autodoria list";
      normalBefore = normalBefore || file.kind == FileKind::kNormalList;
      if (auto e = readList(read.bytes(), !read.error, file.kind, displayPath(path), index, side, file.skipped)) {
        return fail(*e);
      }
    } else {
#ifdef SOLVANE_WITH_IMPORT
      const std::optional<importer::Format> format = importer::detectFormat(path, head);
      if (!format) return fail("neither a camera database nor a list, nor a format import reads");
      file.kind = FileKind::kImport;
      if (auto e = readImport(path, *format, head, index, side, file)) return fail(*e);
#else
      return fail("neither a camera database nor a list (this build reads no other formats)");
#endif
    }
    file.cameras = side.cameras.size() - before;
    side.files.push_back(std::move(file));
  }
  return result;
}

}  // namespace solvane::compare

#include "cli/diff_command.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <new>

#include "base/c_file.h"
#include "base/source_file.h"
#include "check/database_reader.h"
#include "check/quality_findings.h"
#include "cli/text_output.h"

namespace solvane::cli {

using compare::CameraChange;
using compare::ChangeKind;
using compare::DiffCamera;
using compare::DiffSummary;
using compare::FileKind;
using compare::kindName;
using compare::ReleaseDiff;
using compare::Side;
using compare::SideFile;
using compare::ValueChange;

namespace {

// Metres with two decimals, never in the process locale's form.
std::string diffMetres(double m) {
  char buf[48];
  const auto r = std::to_chars(buf, buf + sizeof buf, m, std::chars_format::fixed, 2);
  return std::string(buf, r.ptr);
}

std::string diffPlace(std::int32_t lon, std::int32_t lat) { return degreesText(lon) + "," + degreesText(lat); }

std::string diffValuesText(const std::vector<ValueChange>& values) {
  std::string s;
  for (const ValueChange& v : values) {
    if (!s.empty()) s += ", ";
    s += std::string(v.field) + " " + std::to_string(v.before) + " -> " + std::to_string(v.after);
  }
  return s;
}

std::string diffCameraText(const DiffCamera& c) {
  std::string s = c.section ? "section " + diffPlace(c.lon, c.lat) + " - " + diffPlace(c.lon2, c.lat2)
                            : "point " + diffPlace(c.lon, c.lat);
  s += " TYPE " + std::to_string(c.type) + " SPD " + std::to_string(c.speed) + " DTYPE " + std::to_string(c.dtype) +
       " DIR " + std::to_string(c.direction);
  if (c.section) s += " DIR2 " + std::to_string(c.direction2);
  return s;
}

std::string diffCameraJson(const Side& side, const DiffCamera& c) {
  const SideFile& f = side.files[c.file];
  std::string s = "{\"source\": " + jsonString(side.sourceOf(c)) + ", \"file\": " + jsonString(displayPath(f.path));
  switch (f.kind) {
    case FileKind::kNormalList:
    case FileKind::kAutodoriaList: s += ", \"line\": " + std::to_string(c.place); break;
    case FileKind::kDatabase: s += ", \"record\": " + std::to_string(c.place); break;
    case FileKind::kTable: s += ", \"row\": " + std::to_string(c.place); break;
    case FileKind::kImport:
      s += ", \"id\": " + jsonString(c.place < side.places.size() ? side.places[c.place] : std::string());
      break;
  }
  s += ", \"x\": " + degreesText(c.lon) + ", \"y\": " + degreesText(c.lat) + ", \"type\": " + std::to_string(c.type) +
       ", \"speed\": " + std::to_string(c.speed) + ", \"dtype\": " + std::to_string(c.dtype) +
       ", \"direction\": " + std::to_string(c.direction) + ", \"section\": " + (c.section ? "true" : "false");
  if (c.section) {
    s += ", \"x2\": " + degreesText(c.lon2) + ", \"y2\": " + degreesText(c.lat2) +
         ", \"direction2\": " + std::to_string(c.direction2);
  }
  return s + "}";
}

std::string diffValuesJson(const std::vector<ValueChange>& values) {
  std::string s = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    s += (i ? ", " : "") + std::string("{\"field\": ") + jsonString(values[i].field) +
         ", \"old\": " + std::to_string(values[i].before) + ", \"new\": " + std::to_string(values[i].after) + "}";
  }
  return s + "]";
}

std::string diffCoordinates(std::int32_t lon, std::int32_t lat) {
  return "[" + degreesText(lon) + ", " + degreesText(lat) + "]";
}

}  // namespace

std::string diffSummaryText(const compare::DiffSummary& s) {
  return std::to_string(s.added) + " added, " + std::to_string(s.removed) + " removed, " + std::to_string(s.moved) +
         " moved, " + std::to_string(s.changed) + " changed, " + std::to_string(s.unchanged) + " unchanged";
}

std::string diffText(const ReleaseDiff& diff, const Side& old, const Side& neu) {
  std::string out = "diff: " + diffSummaryText(diff.summary) + "\n";
  for (const CameraChange& c : diff.changes) {
    std::string line = kindName(c.kind);
    line.resize(9, ' ');
    switch (c.kind) {
      case ChangeKind::kAdded: {
        const DiffCamera& n = neu.cameras[*c.neu];
        line += neu.sourceOf(n) + ": " + diffCameraText(n);
        break;
      }
      case ChangeKind::kRemoved: {
        const DiffCamera& o = old.cameras[*c.old];
        line += old.sourceOf(o) + ": " + diffCameraText(o);
        break;
      }
      case ChangeKind::kMoved: {
        const DiffCamera& o = old.cameras[*c.old];
        const DiffCamera& n = neu.cameras[*c.neu];
        line += old.sourceOf(o) + " -> " + neu.sourceOf(n) + ": " + formatMetres(c.metres) + ", " +
                diffPlace(o.lon, o.lat) + " -> " + diffPlace(n.lon, n.lat);
        if (o.section) {
          line += ", end " + formatMetres(c.endMetres) + ", " + diffPlace(o.lon2, o.lat2) + " -> " +
                  diffPlace(n.lon2, n.lat2);
        }
        if (!c.values.empty()) line += "; " + diffValuesText(c.values);
        break;
      }
      case ChangeKind::kChanged: {
        const DiffCamera& o = old.cameras[*c.old];
        const DiffCamera& n = neu.cameras[*c.neu];
        line += old.sourceOf(o) + " -> " + neu.sourceOf(n) + ": " + diffValuesText(c.values);
        break;
      }
    }
    out += line + "\n";
  }
  return out;
}

std::string diffCsv(const ReleaseDiff& diff, const Side& old, const Side& neu) {
  std::string out =
      "kind,old_source,old_x,old_y,old_x2,old_y2,old_type,old_spd,old_dtype,old_dir,old_dir2,"
      "new_source,new_x,new_y,new_x2,new_y2,new_type,new_spd,new_dtype,new_dir,new_dir2,metres,end_metres,changes\r\n";
  const auto fields = [](const Side& side, const std::optional<std::uint32_t>& index) {
    if (!index) return std::string(",,,,,,,,,");  // the 10 fields of an absent camera
    const DiffCamera& c = side.cameras[*index];
    std::string s = csvField(side.sourceOf(c)) + "," + degreesText(c.lon) + "," + degreesText(c.lat) + ",";
    if (c.section)
      s += degreesText(c.lon2) + "," + degreesText(c.lat2);
    else
      s += ",";
    s += "," + std::to_string(c.type) + "," + std::to_string(c.speed) + "," + std::to_string(c.dtype) + "," +
         std::to_string(c.direction) + ",";
    if (c.section) s += std::to_string(c.direction2);
    return s;
  };
  for (const CameraChange& c : diff.changes) {
    out += std::string(kindName(c.kind)) + "," + fields(old, c.old) + "," + fields(neu, c.neu) + ",";
    if (c.kind == ChangeKind::kMoved) {
      out += diffMetres(c.metres) + ",";
      if (old.cameras[*c.old].section) out += diffMetres(c.endMetres);
    } else {
      out += ",";
    }
    out += "," + csvField(diffValuesText(c.values)) + "\r\n";
  }
  return out;
}

std::string diffJson(const ReleaseDiff& diff, const Side& old, const Side& neu) {
  const DiffSummary& s = diff.summary;
  std::string out = "{\n  \"summary\": {\"added\": " + std::to_string(s.added) +
                    ", \"removed\": " + std::to_string(s.removed) + ", \"moved\": " + std::to_string(s.moved) +
                    ", \"changed\": " + std::to_string(s.changed) + ", \"unchanged\": " + std::to_string(s.unchanged) +
                    "},\n  \"storedForm\": " + (diff.storedForm ? "true" : "false") + ",\n  \"changes\": [";
  for (std::size_t i = 0; i < diff.changes.size(); ++i) {
    const CameraChange& c = diff.changes[i];
    out += i ? ",\n    " : "\n    ";
    out += "{\"kind\": " + jsonString(kindName(c.kind));
    out += ", \"old\": " + (c.old ? diffCameraJson(old, old.cameras[*c.old]) : std::string("null"));
    out += ", \"new\": " + (c.neu ? diffCameraJson(neu, neu.cameras[*c.neu]) : std::string("null"));
    if (c.kind == ChangeKind::kMoved) {
      out += ", \"metres\": " + diffMetres(c.metres);
      if (old.cameras[*c.old].section) out += ", \"endMetres\": " + diffMetres(c.endMetres);
    }
    out += ", \"values\": " + diffValuesJson(c.values) + "}";
  }
  out += diff.changes.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string diffGeoJson(const ReleaseDiff& diff, const Side& old, const Side& neu) {
  std::string out = "{\"type\": \"FeatureCollection\", \"features\": [";
  for (std::size_t i = 0; i < diff.changes.size(); ++i) {
    const CameraChange& c = diff.changes[i];
    const DiffCamera* o = c.old ? &old.cameras[*c.old] : nullptr;
    const DiffCamera* n = c.neu ? &neu.cameras[*c.neu] : nullptr;
    std::string geometry;
    if (c.kind == ChangeKind::kMoved) {
      if (o->section) {
        geometry = "{\"type\": \"MultiLineString\", \"coordinates\": [[" + diffCoordinates(o->lon, o->lat) + ", " +
                   diffCoordinates(n->lon, n->lat) + "], [" + diffCoordinates(o->lon2, o->lat2) + ", " +
                   diffCoordinates(n->lon2, n->lat2) + "]]}";
      } else {
        geometry = "{\"type\": \"LineString\", \"coordinates\": [" + diffCoordinates(o->lon, o->lat) + ", " +
                   diffCoordinates(n->lon, n->lat) + "]}";
      }
    } else {
      const DiffCamera& at = n ? *n : *o;
      geometry = at.section ? "{\"type\": \"LineString\", \"coordinates\": [" + diffCoordinates(at.lon, at.lat) + ", " +
                                  diffCoordinates(at.lon2, at.lat2) + "]}"
                            : "{\"type\": \"Point\", \"coordinates\": " + diffCoordinates(at.lon, at.lat) + "}";
    }
    out += i ? ",\n" : "\n";
    out += "{\"type\": \"Feature\", \"geometry\": " + geometry +
           ", \"properties\": {\"kind\": " + jsonString(kindName(c.kind)) +
           ", \"old\": " + (o ? jsonString(old.sourceOf(*o)) : std::string("null")) +
           ", \"new\": " + (n ? jsonString(neu.sourceOf(*n)) : std::string("null"));
    if (c.kind == ChangeKind::kMoved) out += ", \"metres\": " + diffMetres(c.metres);
    out += ", \"changes\": " + jsonString(diffValuesText(c.values)) +
           ", \"camera\": " + jsonString(diffCameraText(n ? *n : *o)) + "}}";
  }
  out += "\n]}\n";
  return out;
}

namespace {

struct DiffOptions {
  std::vector<std::string> oldFiles, newFiles;
  double near = compare::kDefaultDiffNearMetres;
  std::string format = "text";
  std::string output;
};

int runDiff(const DiffOptions& o) {
  try {
    const auto paths = [](const std::vector<std::string>& files) {
      std::vector<std::filesystem::path> p;
      for (const std::string& f : files) p.push_back(pathFromUtf8(f));
      return p;
    };
    compare::SideRead old = compare::readSide(paths(o.oldFiles));
    if (old.error) {
      std::cerr << "solvane diff: --old " << *old.error << "\n";
      return 2;
    }
    compare::SideRead neu = compare::readSide(paths(o.newFiles));
    if (neu.error) {
      std::cerr << "solvane diff: --new " << *neu.error << "\n";
      return 2;
    }
    // What was left out, so a count that looks short has its reason.
    for (const compare::Side* side : {&old.side, &neu.side}) {
      for (const SideFile& f : side->files) {
        if (f.skipped) {
          std::cerr << "solvane diff: note: \"" << displayPath(f.path) << "\" (" << f.format << "): " << f.skipped
                    << " row(s) or item(s) not compared (the conversion skips them, or the import does)\n";
        }
      }
    }
    compare::MatchOptions options;
    options.nearMetres = o.near;
    const ReleaseDiff diff = compare::diffReleases(old.side, neu.side, options);
    const std::string text = o.format == "csv"       ? diffCsv(diff, old.side, neu.side)
                             : o.format == "json"    ? diffJson(diff, old.side, neu.side)
                             : o.format == "geojson" ? diffGeoJson(diff, old.side, neu.side)
                                                     : diffText(diff, old.side, neu.side);
    if (const std::string error = writeOutput(pathFromUtf8(o.output), text); !error.empty()) {
      std::cerr << "solvane diff: " << error << "\n";
      return 2;
    }
    if (!o.output.empty() && o.format != "text") std::cerr << "diff: " << diffSummaryText(diff.summary) << "\n";
    return diff.summary.anyChange() ? 1 : 0;
  } catch (const std::bad_alloc&) {
    std::cerr << "solvane diff: not enough memory for these files\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "solvane diff: " << e.what() << "\n";
    return 2;
  }
}

}  // namespace

Command addDiffCommand(CLI::App& app) {
  auto options = std::make_shared<DiffOptions>();
  CLI::App* cmd = app.add_subcommand(
      "diff",
      "What changed between two releases, camera by camera: added, removed, moved, changed (and how\n"
      "many unchanged). Each side is one or more files: camera databases (.dbh), normal and Autodoria\n"
      "lists, or any file 'solvane import' reads. Cameras match one to one by position within --near\n"
      "metres and a direction of travel that agrees; sections by both ends.\n"
      "Exits 0 when nothing changed, 1 when something did, 2 on trouble.");
  cmd->add_option("--old", options->oldFiles, "the earlier release")->required()->expected(1, -1)->type_name("FILE");
  cmd->add_option("--new", options->newFiles, "the later release")->required()->expected(1, -1)->type_name("FILE");
  cmd->add_option("--near", options->near,
                  "cameras this close (metres, 0.5 to 10000) can be the same camera (default 50)")
      ->check(CLI::Range(0.5, 10000.0))
      ->type_name("METRES");
  cmd->add_option("--format", options->format, "report form (default text)")
      ->check(CLI::IsMember({"text", "csv", "json", "geojson"}))
      ->type_name("text|csv|json|geojson");
  cmd->add_option("-o,--output", options->output, "write the report here instead of standard output")->type_name("OUT");
  cmd->footer(
      "Examples:\n"
      "  solvane diff --old old/Solvane.txt old/Autodoria.txt --new Solvane.txt Autodoria.txt\n"
      "  solvane diff --old DB_250101.dbh --new DB_250201.dbh --format json -o changes.json\n"
      "  solvane diff --old Solvane.txt --new region.osm.pbf --near 30 --format geojson -o diff.geojson");
  return {cmd, [options] { return runDiff(*options); }};
}

}  // namespace solvane::cli

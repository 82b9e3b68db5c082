#include "cli/check_command.h"

#include <charconv>
#include <iostream>
#include <memory>
#include <sstream>

#include "base/c_file.h"
#include "check/near_duplicates.h"
#include "cli/text_output.h"

namespace solvane::cli {
namespace {

std::string lineRef(const CheckFinding& f) { return f.line ? f.file + ":" + std::to_string(f.line) : f.file; }

// A coordinate as JSON: the shortest text that reads back as the same double, whatever the
// locale.
std::string number(double v) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string position(const GeoPoint& p) { return "[" + number(p.longitude) + ", " + number(p.latitude) + "]"; }

}  // namespace

std::string checkReportText(const CheckReport& r) {
  std::ostringstream out;
  if (r.loadError) {
    out << r.loadError->message << "\n";
    if (!r.loadError->detail.empty()) out << r.loadError->detail << "\n";
    out << "check: the lists cannot be loaded; a conversion would stop here and write nothing\n";
    return out.str();
  }
  for (const CheckFinding& f : r.findings) {
    out << lineRef(f) << ": " << (f.problem ? "problem: " : "note: ") << f.what << "\n";
  }
  out << "check: " << r.rows << " rows, " << r.records << " records would be written (" << r.sections
      << " sections); problems: " << r.skipped << " skipped, " << r.atZero << " written at 0, " << r.withoutEndPoint
      << " sections without end point, " << r.qualityProblems << " in directions, speeds or places; " << r.noteCount()
      << " notes\n";
  return out.str();
}

std::string checkReportJson(const CheckReport& r) {
  std::ostringstream out;
  out << "{\n";
  if (r.loadError) {
    out << "  \"loadError\": {\"message\": " << jsonString(r.loadError->message)
        << ", \"detail\": " << jsonString(r.loadError->detail) << "},\n";
  } else {
    out << "  \"loadError\": null,\n";
  }
  out << "  \"rows\": " << r.rows << ",\n  \"records\": " << r.records << ",\n  \"sections\": " << r.sections
      << ",\n  \"skipped\": " << r.skipped << ",\n  \"atZero\": " << r.atZero
      << ",\n  \"withoutEndPoint\": " << r.withoutEndPoint << ",\n  \"qualityProblems\": " << r.qualityProblems
      << ",\n  \"problemCount\": " << r.problemCount() << ",\n  \"noteCount\": " << r.noteCount()
      << ",\n  \"findings\": [";
  for (std::size_t k = 0; k < r.findings.size(); ++k) {
    const CheckFinding& f = r.findings[k];
    out << (k ? ",\n    " : "\n    ") << "{\"file\": " << jsonString(f.file) << ", \"line\": " << f.line
        << ", \"severity\": \"" << (f.problem ? "problem" : "note") << "\", \"kind\": \"" << f.kind
        << "\", \"what\": " << jsonString(f.what);
    if (f.at) out << ", \"at\": " << position(*f.at);
    if (f.to) out << ", \"to\": " << position(*f.to);
    out << "}";
  }
  out << (r.findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
  return out.str();
}

std::string checkReportGeoJson(const CheckReport& r) {
  std::ostringstream out;
  out << "{\"type\": \"FeatureCollection\", \"features\": [";
  bool first = true;
  std::size_t unplaced = 0;
  for (const CheckFinding& f : r.findings) {
    if (!f.at) {
      ++unplaced;
      continue;
    }
    out << (first ? "\n" : ",\n") << "{\"type\": \"Feature\", \"geometry\": ";
    first = false;
    if (f.to) {
      out << "{\"type\": \"LineString\", \"coordinates\": [" << position(*f.at) << ", " << position(*f.to) << "]}";
    } else {
      out << "{\"type\": \"Point\", \"coordinates\": " << position(*f.at) << "}";
    }
    out << ", \"properties\": {\"file\": " << jsonString(f.file) << ", \"line\": " << f.line << ", \"severity\": \""
        << (f.problem ? "problem" : "note") << "\", \"kind\": \"" << f.kind << "\", \"what\": " << jsonString(f.what)
        << "}}";
  }
  // Findings without a place (a row out of range or at 0, a load error) are counted here; the
  // text and JSON reports list them.
  out << "\n], \"unplaced\": " << unplaced << ", \"problemCount\": " << r.problemCount() << "}\n";
  return out.str();
}

namespace {

struct CheckOptions {
  std::string normal;
  std::string autodoria;
  std::string format = "text";
  QualityOptions quality;
};

int runCheck(const CheckOptions& o) {
  if (o.normal.empty() && o.autodoria.empty()) {
    std::cerr << "solvane check: give --normal FILE, --autodoria FILE or both.\n"
                 "Run 'solvane check --help' for more information.\n";
    return 2;
  }
  if (o.normal == "-" && o.autodoria == "-") {
    std::cerr << "solvane check: only one list can come from standard input ('-').\n";
    return 2;
  }
  const CheckReport report =
      checkSources({pathFromUtf8(o.normal), pathFromUtf8(o.autodoria), Streams::kRead}, o.quality);
  if (o.format == "geojson" && report.loadError) {
    std::cerr << checkReportText(report);
  } else {
    std::cout << (o.format == "json"      ? checkReportJson(report)
                  : o.format == "geojson" ? checkReportGeoJson(report)
                                          : checkReportText(report));
  }
  return report.exitCode();
}

}  // namespace

Command addCheckCommand(CLI::App& app) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* cmd =
      app.add_subcommand("check",
                         "Load the lists exactly as a conversion would and write nothing. Reports, with file name and\n"
                         "line number, rows the conversion would skip (out of range), rows written at 0 because X or\n"
                         "Y is no number, sections without an end point, directions outside 0..360 or missing where\n"
                         "DTYPE needs one, speeds that do not fit a byte, sections without a speed, starting and\n"
                         "ending at one place or ending far away, X and Y exchanged (problems: exit 1); and rows\n"
                         "changed by the TYPE rule or written with TYPE 16, points sharing coordinates, near\n"
                         "duplicates, sections unusually short or long or pointing away from their end, speeds that\n"
                         "are no plausible limit, lines with more fields than a point has (notes: exit 0).\n"
                         "A list that cannot be read exits 2, a wrong list 1.");
  cmd->add_option("--normal", options->normal, "normal list (- reads standard input)")->type_name("FILE");
  cmd->add_option("--autodoria", options->autodoria, "Autodoria list (- reads standard input)")->type_name("FILE");
  cmd->add_option("--format", options->format,
                  "text (default), json, or geojson (each finding with a place as a feature, for a GIS)")
      ->check(CLI::IsMember({"text", "json", "geojson"}))
      ->type_name("text|json|geojson");
  cmd->add_option("--near", options->quality.nearMetres,
                  "report rows closer than this as near duplicates (default 20; 0: off; at least 0.5, at most 10000)")
      ->check(CLI::Range(0.0, kMaxNearMetres))
      ->type_name("METRES");
  cmd->add_option("--section-min", options->quality.sectionMinMetres, "note sections shorter than this (default 200)")
      ->check(CLI::NonNegativeNumber)
      ->type_name("METRES");
  cmd->add_option("--section-max", options->quality.sectionMaxMetres,
                  "note sections longer than this (default 50000; beyond 300 km, or this if larger, a problem)")
      ->check(CLI::PositiveNumber)
      ->type_name("METRES");
  cmd->footer("Example:\n  solvane check --normal examples/Solvane.txt --autodoria examples/Autodoria.txt");
  return {cmd, [options] { return runCheck(*options); }};
}

}  // namespace solvane::cli

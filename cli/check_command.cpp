#include "cli/check_command.h"

#include <iostream>
#include <memory>
#include <sstream>

#include "cli/convert_command.h"
#include "cli/text_output.h"

namespace solvane::cli {
namespace {

std::string lineRef(const CheckFinding& f) {
  return f.line ? f.file + ":" + std::to_string(f.line) : f.file;
}

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
      << " sections); problems: " << r.skipped << " skipped, " << r.atZero << " written at 0, "
      << r.withoutEndPoint << " sections without end point; " << r.noteCount() << " notes\n";
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
      << ",\n  \"withoutEndPoint\": " << r.withoutEndPoint << ",\n  \"problemCount\": " << r.problemCount()
      << ",\n  \"noteCount\": " << r.noteCount() << ",\n  \"findings\": [";
  for (std::size_t k = 0; k < r.findings.size(); ++k) {
    const CheckFinding& f = r.findings[k];
    out << (k ? ",\n    " : "\n    ") << "{\"file\": " << jsonString(f.file) << ", \"line\": " << f.line
        << ", \"severity\": \"" << (f.problem ? "problem" : "note") << "\", \"kind\": \"" << f.kind
        << "\", \"what\": " << jsonString(f.what) << "}";
  }
  out << (r.findings.empty() ? "]\n}\n" : "\n  ]\n}\n");
  return out.str();
}

namespace {

struct CheckOptions {
  std::string normal;
  std::string autodoria;
  std::string format = "text";
};

int runCheck(const CheckOptions& o) {
  if (o.normal.empty() && o.autodoria.empty()) {
    std::cerr << "solvane check: give --normal FILE, --autodoria FILE or both.\n"
                 "Run 'solvane check --help' for more information.\n";
    return 2;
  }
  const CheckReport report = checkSources({o.normal, o.autodoria});
  std::cout << (o.format == "json" ? checkReportJson(report) : checkReportText(report));
  return report.exitCode();
}

}  // namespace

void addCheckCommand(CLI::App& app) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* cmd = app.add_subcommand(
      "check",
      "Load the lists exactly as a conversion would and write nothing. Reports, with file name and\n"
      "line number, rows the conversion would skip (out of range), rows written at 0 because X or\n"
      "Y is no number, sections without an end point (problems: exit 1), and rows changed by the\n"
      "TYPE rule or written with TYPE 16, points sharing coordinates, lines with more fields than\n"
      "a point has (notes: exit 0). A list that cannot be read exits 2, a wrong list 1.");
  cmd->add_option("--normal", options->normal, "normal list")->type_name("FILE");
  cmd->add_option("--autodoria", options->autodoria, "Autodoria list")->type_name("FILE");
  cmd->add_option("--format", options->format, "text (default) or json")
      ->check(CLI::IsMember({"text", "json"}))
      ->type_name("text|json");
  cmd->footer("Example:\n  solvane check --normal examples/Solvane.txt --autodoria examples/Autodoria.txt");
  cmd->callback([options] { setExitCode(runCheck(*options)); });
}

}  // namespace solvane::cli

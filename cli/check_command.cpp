#include "cli/check_command.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <sstream>
#include <unordered_map>

#include "cli/convert_command.h"
#include "cli/text_output.h"
#include "base/c_number.h"
#include "check/row_check.h"
#include "base/source_file.h"
#include "load/source_lines.h"

namespace solvane::cli {
namespace {

constexpr std::size_t kPointFields = 7;  // IDX, X, Y, TYPE, SPD, DTYPE, DIR

bool startsWithComment(std::string_view s) noexcept { return s.size() >= 2 && s[0] == '/' && s[1] == '/'; }

// Where a table row came from, found by walking the list's lines the way its loader does.
struct SourceRow {
  const std::string* file = nullptr;
  RowOrigin origin = RowOrigin::kUnknown;
  std::size_t line = 0;
  std::size_t fields = 0;
  std::size_t endLine = 0;    // Autodoria: the pair's second line, 0 when it never came
  std::size_t endFields = 0;
  bool typeRule = false;      // normal list: TYPE "2" or "" stored as "3"
  std::string typeAsRead;

  static SourceRow at(const std::string& file, RowOrigin origin, std::size_t line, std::size_t fields) {
    SourceRow r;
    r.file = &file;
    r.origin = origin;
    r.line = line;
    r.fields = fields;
    return r;
  }
};

// Each line that is neither empty nor a comment is a row, except the first (the header).
void mapNormalRows(std::string_view bytes, const std::string& file, std::vector<SourceRow>& rows) {
  LineReader lines(bytes);
  bool header = false;
  const auto take = [&](std::string_view text) {
    if (text.empty()) return;
    const LineFields f = splitFields(text);
    if (startsWithComment(f.cells[kIdx])) return;
    if (!header) {
      header = true;
      return;
    }
    SourceRow r = SourceRow::at(file, RowOrigin::kNormalList, lines.lineNumber(), f.count);
    // A TYPE field is ended by a comma when a fifth field follows.
    r.typeRule = typeRuleApplies(f.cells[kType], f.count > static_cast<std::size_t>(kType) + 1);
    r.typeAsRead = std::string(f.cells[kType]);
    rows.push_back(std::move(r));
  };
  std::string_view text;
  while (lines.next(text)) take(text);
  take(lines.tail());
}

// After the header, two lines per section; blank lines are skipped; a line whose last field
// begins with "//" ends the list (a stop line still stores the fields before its last comma).
void mapAutodoriaRows(std::string_view bytes, const std::string& file, std::vector<SourceRow>& rows) {
  LineReader lines(bytes);
  std::size_t counter = 0;
  const auto take = [&](std::string_view text) {
    if (text.empty()) return true;
    const LineFields f = splitFields(text);
    const bool stop = startsWithComment(f.last);
    if (f.count == 1 && !stop) return false;  // the loader refuses the file
    if (counter == 0) {
      // the header line
    } else if (counter % 2 == 1) {
      if (!stop || f.count >= 2) rows.push_back(SourceRow::at(file, RowOrigin::kAutodoriaList, lines.lineNumber(), f.count));
    } else if (!stop && !rows.empty()) {
      rows.back().endLine = lines.lineNumber();
      rows.back().endFields = f.count;
    }
    ++counter;
    return !stop;
  };
  std::string_view text;
  bool going = true;
  while (going && lines.next(text)) going = take(text);
  if (going) take(lines.tail());
}

std::string quoted(std::string_view name, std::string_view text) {
  return std::string(name) + " \"" + std::string(text) + "\"";
}

std::string cellsFor(RowCheck::Issue issue, const RowCells& c, const SourceRow& src, bool section) {
  switch (issue) {
    case RowCheck::Issue::kSkipped: return quoted("X", c[kX]) + ", " + quoted("Y", c[kY]);
    case RowCheck::Issue::kXNotNumber: return quoted("X", c[kX]);
    case RowCheck::Issue::kYNotNumber: return quoted("Y", c[kY]);
    case RowCheck::Issue::kEndPointOutOfRange: return quoted("X2", c[kX2]) + ", " + quoted("Y2", c[kY2]);
    case RowCheck::Issue::kSectionType16: return quoted("TYPE", c[kType]);
    case RowCheck::Issue::kEndPointMissing:
      if (section) return quoted("X2", c[kX2]) + ", " + quoted("Y2", c[kY2]);
      if (src.origin == RowOrigin::kAutodoriaList && src.endLine == 0) return "the end-point line never came";
      return quoted("X2", c[kX2]);
  }
  return {};
}

const char* kindName(RowCheck::Issue issue) {
  switch (issue) {
    case RowCheck::Issue::kSkipped: return "skipped";
    case RowCheck::Issue::kXNotNumber: return "xNotNumber";
    case RowCheck::Issue::kYNotNumber: return "yNotNumber";
    case RowCheck::Issue::kEndPointMissing: return "endPointMissing";
    case RowCheck::Issue::kEndPointOutOfRange: return "endPointOutOfRange";
    case RowCheck::Issue::kSectionType16: return "sectionType16";
  }
  return "";
}

void extraFieldNotes(const SourceRow& src, std::vector<CheckFinding>& out) {
  const auto add = [&](std::size_t line, std::string what) {
    out.push_back({*src.file, line, false, "extraFields", std::move(what)});
  };
  if (src.origin == RowOrigin::kNormalList) {
    if (src.fields > kPointFields) {
      std::string what = std::to_string(src.fields) + " fields, more than the 7 of a point: fields 8 to 14 go to " +
                         "the end-point columns IDX2..DIR2";
      if (src.fields > static_cast<std::size_t>(kColumnCount)) what += ", fields after the 14th are dropped";
      add(src.line, std::move(what));
    }
    return;
  }
  if (src.fields > kPointFields) {
    add(src.line, std::to_string(src.fields) + " fields, more than the 7 of a point: the end-point line moves " +
                      "right by " + std::to_string(src.fields - kPointFields) + " column(s)");
  }
  if (src.endLine != 0) {
    if (src.endFields > kPointFields) {
      add(src.endLine, std::to_string(src.endFields) + " fields, more than the 7 of a point");
    }
    const std::size_t total = src.fields + src.endFields;
    if (total > static_cast<std::size_t>(kColumnCount)) {
      add(src.endLine, std::to_string(total - kColumnCount) + " field(s) past the 14 columns are dropped");
    }
  }
}

std::string lineRef(const CheckFinding& f) {
  return f.line ? f.file + ":" + std::to_string(f.line) : f.file;
}

}  // namespace

std::size_t CheckReport::problemCount() const {
  return static_cast<std::size_t>(
      std::count_if(findings.begin(), findings.end(), [](const CheckFinding& f) { return f.problem; }));
}

int CheckReport::exitCode() const {
  if (loadError) return loadError->message == kErrorWrongFile ? 1 : 2;
  return problemCount() > 0 ? 1 : 0;
}

CheckReport checkSources(const SourcePaths& paths) {
  CheckReport report;
  CameraTable table;
  LoadResult load = loadSources(table, paths);
  if (!load.ok()) {
    report.loadError = std::move(load.error);
    return report;
  }
  report.rows = table.rowCount();

  // The loader has read both lists fully; read them again for line numbers.
  const std::string normalName = paths.normal.empty() ? "" : displayPath(paths.normal);
  const std::string autodoriaName = paths.autodoria.empty() ? "" : displayPath(paths.autodoria);
  std::vector<SourceRow> sources;
  if (!paths.normal.empty()) mapNormalRows(readSourceFile(paths.normal).bytes(), normalName, sources);
  if (!paths.autodoria.empty()) mapAutodoriaRows(readSourceFile(paths.autodoria).bytes(), autodoriaName, sources);
  const bool mapped = sources.size() == table.rowCount();  // false only if a list changed meanwhile
  static const std::string kUnknownFile = "(list changed while checked)";

  if (report.rows == 0) {
    report.findings.push_back({paths.normal.empty() ? autodoriaName : normalName, 0, true, "noRows",
                               "the lists hold no camera rows: a conversion writes nothing"});
  }

  struct Key {
    std::int64_t v;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const noexcept { return std::hash<std::int64_t>{}(k.v); }
  };
  std::unordered_map<Key, std::size_t, KeyHash> firstAt;

  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    const SourceRow src = mapped ? sources[i] : SourceRow::at(kUnknownFile, RowOrigin::kUnknown, 0, 0);
    const RowCells cells = table.cells(i);
    const RowCheck c = checkRow(cells, src.origin);
    const std::string& file = *src.file;
    if (c.skipped()) ++report.skipped;
    if (c.atZero()) ++report.atZero;
    if (c.endPointMissing) ++report.withoutEndPoint;
    if (!c.skipped()) {
      ++report.records;
      if (c.section) ++report.sections;
    }
    for (const RowCheck::Finding& f : c.findings()) {
      // Every Autodoria section is written with TYPE 16; that is only news for a normal-list line.
      if (f.issue == RowCheck::Issue::kSectionType16 && src.origin == RowOrigin::kAutodoriaList) continue;
      report.findings.push_back(
          {file, src.line, f.problem, kindName(f.issue), f.text + " (" + cellsFor(f.issue, cells, src, c.section) + ")"});
    }
    if (src.typeRule) {
      report.findings.push_back({file, src.line, false, "typeRule",
                                 (src.typeAsRead.empty() ? std::string("empty TYPE") : quoted("TYPE", src.typeAsRead)) +
                                     " stored as \"3\" (TYPE rule)"});
    }
    extraFieldNotes(src, report.findings);
    if (!c.skipped() && !c.atZero()) {
      const Key key{static_cast<std::int64_t>(c.longitude) * (std::int64_t{1} << 32) +
                    static_cast<std::uint32_t>(c.latitude)};
      const auto [it, fresh] = firstAt.try_emplace(key, i);
      if (!fresh) {
        const SourceRow& other = mapped ? sources[it->second] : src;
        report.findings.push_back({file, src.line, false, "sharedCoordinates",
                                   "same coordinates as " + *other.file + ":" + std::to_string(other.line) + " (" +
                                       quoted("X", cells[kX]) + ", " + quoted("Y", cells[kY]) + ")"});
      }
    }
  }
  // Rows are in list order already (normal list, then Autodoria); keep lines in order within each.
  std::stable_sort(report.findings.begin(), report.findings.end(), [&](const CheckFinding& a, const CheckFinding& b) {
    const bool aNormal = a.file == normalName, bNormal = b.file == normalName;
    if (aNormal != bNormal) return aNormal;
    return a.line < b.line;
  });
  return report;
}

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

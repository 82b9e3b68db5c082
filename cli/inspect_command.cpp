#include "cli/inspect_command.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "base/c_file.h"
#include "cli/text_output.h"
#include "check/database_reader.h"
#include "base/source_file.h"

namespace solvane::cli {
namespace {

struct InspectOptions {
  std::string file;
  std::string format = "text";
};

std::string hex(unsigned value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", width, value);
  return buf;
}

std::string rawText(const Header& h, std::size_t from, std::size_t count) {
  return std::string(reinterpret_cast<const char*>(h.data() + from), count);
}

std::string dateText(const DatabaseInspection& r) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", r.year, r.month, r.day);
  return buf;
}

void writeIssuesText(std::ostream& out, const char* kind, const std::vector<DatabaseIssue>& issues) {
  for (const DatabaseIssue& i : issues) {
    out << kind << " at offset " << i.offset << " (" << hex(static_cast<unsigned>(i.offset), 4) << "): " << i.what
        << "\n";
  }
}

std::string textReport(const std::string& name, const DatabaseInspection& r) {
  std::ostringstream out;
  out << name << ": " << r.fileSize << " bytes\n";
  if (r.fileSize >= kHeaderSize) {
    out << "  magic        " << jsonString(rawText(r.header, 0, 4)) << "\n"
        << "  date         " << dateText(r) << "\n"
        << "  format mark  " << jsonString(rawText(r.header, 8, 3)) << "\n"
        << "  data length  " << r.dataLength << "\n"
        << "  checksum     " << hex(r.storedChecksum, 2) << " (computed " << hex(r.computedChecksum, 2) << ")\n"
        << "  records      " << r.records.size() << ": " << r.onePoint << " one-point, " << r.twoPoint << " two-point";
    if (r.ambiguous > 0) {
      out << " (" << r.ambiguous << " one-point of TYPE 16 that could also be a short section)";
    }
    out << "\n";
  }
  writeIssuesText(out, "problem", r.problems);
  writeIssuesText(out, "note", r.notes);
  if (r.valid()) {
    out << "valid\n";
  } else {
    out << "invalid: " << r.problems.size() << (r.problems.size() == 1 ? " problem\n" : " problems\n");
  }
  return out.str();
}

void writeIssuesJson(std::ostream& out, const std::vector<DatabaseIssue>& issues) {
  out << "[";
  for (std::size_t k = 0; k < issues.size(); ++k) {
    out << (k ? ",\n    " : "\n    ") << "{\"offset\": " << issues[k].offset
        << ", \"what\": " << jsonString(issues[k].what) << "}";
  }
  out << (issues.empty() ? "]" : "\n  ]");
}

std::string jsonReport(const std::string& name, const DatabaseInspection& r) {
  std::ostringstream out;
  out << "{\n  \"file\": " << jsonString(name) << ",\n  \"size\": " << r.fileSize
      << ",\n  \"valid\": " << (r.valid() ? "true" : "false") << ",\n";
  if (r.fileSize >= kHeaderSize) {
    out << "  \"header\": {\"magic\": " << jsonString(rawText(r.header, 0, 4)) << ", \"day\": " << r.day
        << ", \"month\": " << r.month << ", \"year\": " << r.year
        << ", \"formatMark\": " << jsonString(rawText(r.header, 8, 3)) << ", \"dataLength\": " << r.dataLength
        << ", \"checksum\": " << int{r.storedChecksum} << ", \"computedChecksum\": " << int{r.computedChecksum}
        << "},\n";
  } else {
    out << "  \"header\": null,\n";
  }
  out << "  \"records\": {\"total\": " << r.records.size() << ", \"onePoint\": " << r.onePoint
      << ", \"twoPoint\": " << r.twoPoint << ", \"ambiguous\": " << r.ambiguous << "},\n";
  out << "  \"problems\": ";
  writeIssuesJson(out, r.problems);
  out << ",\n  \"notes\": ";
  writeIssuesJson(out, r.notes);
  out << "\n}\n";
  return out.str();
}

int runInspect(const InspectOptions& o) {
  const DatabaseRead read = readDatabaseFile(pathFromUtf8(o.file), Streams::kRead);
  if (read.error) {
    std::cerr << "solvane inspect: " << read.error->detail << "\n";
    return 2;
  }
  const DatabaseInspection& r = read.inspection;
  const std::string name = displayPath(pathFromUtf8(o.file));
  std::cout << (o.format == "json" ? jsonReport(name, r) : textReport(name, r));
  return r.valid() ? 0 : 1;
}

}  // namespace

Command addInspectCommand(CLI::App& app) {
  auto options = std::make_shared<InspectOptions>();
  CLI::App* cmd =
      app.add_subcommand("inspect",
                         "Read a camera database back and check it: header, record counts, data length, end record,\n"
                         "fill, checksum, coordinate range and latitude order. Exits 0 when the file is valid, 1 with\n"
                         "one line per problem (what, at which offset), 2 when the file cannot be read.");
  cmd->add_option("file", options->file, "the database file (- reads standard input)")
      ->required()
      ->type_name("FILE.dbh");
  cmd->add_option("--format", options->format, "text (default) or json")
      ->check(CLI::IsMember({"text", "json"}))
      ->type_name("text|json");
  cmd->footer("Example:\n  solvane inspect out/DB_241105.dbh");
  return {cmd, [options] { return runInspect(*options); }};
}

}  // namespace solvane::cli

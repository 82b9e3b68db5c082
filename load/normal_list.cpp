#include "load/normal_list.h"

#include <algorithm>
#include <string>

#include "load/source_lines.h"

namespace solvane {
namespace {

bool startsWithComment(std::string_view s) noexcept { return s.size() >= 2 && s[0] == '/' && s[1] == '/'; }

// TYPE "2" and an empty TYPE are stored as "3" when the field was ended by a comma.
void applyTypeRule(LineFields& f, std::size_t endedFields) {
  if (endedFields > static_cast<std::size_t>(kType)) {
    std::string_view& type = f.cells[kType];
    if (type == "2" || type.empty()) type = "3";
  }
}

class NormalParser {
 public:
  NormalParser(CameraTable& table, std::string_view name) : table_(table), name_(name) {}

  void line(std::string_view text, std::size_t lineNumber) {
    if (text.empty()) return;
    LineFields f = splitFields(text);
    applyTypeRule(f, f.count - 1);
    if (startsWithComment(f.cells[kIdx])) return;
    if (!headerLine_) headerLine_ = lineNumber;
    table_.appendRow(std::span(f.cells.data(), f.kept()), static_cast<ItemData>(rowIndex_));
    ++rowIndex_;
  }

  // The line the read stopped in: its row exists once a comma was read, holding the fields
  // that commas had ended, and it is neither tested as a comment nor numbered.
  void interruptedLine(std::string_view text) {
    const std::size_t lastComma = text.rfind(',');
    if (lastComma == std::string_view::npos) return;
    LineFields f = splitFields(text.substr(0, lastComma));
    applyTypeRule(f, f.count);
    table_.appendRow(std::span(f.cells.data(), f.kept()), 0);
  }

  std::optional<LoadError> finish() {
    const std::string_view second = table_.cell(0, kX);
    if (table_.rowCount() == 0 || second != "X") {
      std::string detail = "\"" + std::string(name_) + "\"";
      if (table_.rowCount() == 0) {
        detail += ": there is no header line (the file holds no list)";
      } else {
        detail += ", line " + std::to_string(headerLine_) +
                  ": the header line's second field must be \"X\", not \"" + std::string(second) + "\"";
      }
      return LoadError{kErrorWrongFile, std::move(detail)};
    }
    table_.deleteRow(0);
    return std::nullopt;
  }

 private:
  CameraTable& table_;
  std::string_view name_;
  std::size_t rowIndex_ = 0;
  std::size_t headerLine_ = 0;
};

}  // namespace

std::optional<LoadError> parseNormalList(std::string_view bytes, bool readComplete,
                                         CameraTable& table, std::string_view name) {
  // One row per line at most; reserving avoids regrowing (and briefly doubling) a large table.
  table.reserveRows(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
  NormalParser parser(table, name);
  LineReader lines(bytes);
  std::string_view text;
  while (lines.next(text)) parser.line(text, lines.lineNumber());
  if (!readComplete) {
    parser.interruptedLine(lines.tail());
    return std::nullopt;
  }
  // A last line without a line feed is finished as if one followed it.
  text = lines.tail();
  parser.line(text, lines.lineNumber());
  return parser.finish();
}

}  // namespace solvane

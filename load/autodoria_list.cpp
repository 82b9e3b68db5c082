#include "load/autodoria_list.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "load/source_lines.h"

namespace solvane {
namespace {

class AutodoriaParser {
 public:
  AutodoriaParser(CameraTable& table, std::string_view name, std::vector<RowSource>* sources)
      : table_(table), name_(name), sources_(sources), rowIndex_(table.rowCount()), headerIndex_(rowIndex_) {}

  // Returns false when the parse ends here (a stop line or a wrong line).
  bool line(std::string_view text, std::size_t lineNumber) {
    if (text.empty()) return true;  // blank lines would put the pairs out of step
    const LineFields f = splitFields(text);
    if (startsWithComment(f.last) || f.count == 1) storeEndedFields(f, lineNumber);
    if (startsWithComment(f.last)) return false;  // stop line: its last field is not stored
    if (f.count == 1) {
      error_ = LoadError{kErrorWrongFile, where(lineNumber) + "a line without any comma (\"" +
                                              std::string(text.substr(0, 40)) +
                                              "\") is neither a section point nor a stop line"};
      return false;
    }
    storeFields(f, f.count, lineNumber);  // the ended fields and the last one
    if (lineCounter_ == 0) headerLine_ = lineNumber;
    endLine(f.count, lineNumber);
    return true;
  }

  // The line the read stopped in keeps the fields that commas had ended.
  void interruptedLine(std::string_view text, std::size_t lineNumber) {
    const std::size_t lastComma = text.rfind(',');
    if (lastComma != std::string_view::npos) storeEndedFields(splitFields(text.substr(0, lastComma + 1)), lineNumber);
  }

  std::optional<LoadError> finish() {
    if (error_) return error_;
    if (auto error = testHeader(name_, headerLine_, kIdx, table_.cell(headerIndex_, kIdx), "IDX")) return error;
    table_.deleteRow(headerIndex_);
    return std::nullopt;
  }

 private:
  // Stores the line's first `fields` fields from column `column_` on, in one step: a field at
  // column 0 starts a new row, and past column 13 nothing is stored.
  void storeFields(const LineFields& f, std::size_t fields, std::size_t lineNumber) {
    if (fields == 0 || column_ >= static_cast<std::size_t>(kColumnCount)) return;
    std::array<std::string_view, kColumnCount> texts{};
    const std::size_t n = std::min(fields, static_cast<std::size_t>(kColumnCount) - column_);
    for (std::size_t k = 0; k < n; ++k) texts[k] = k < f.cells.size() && k + 1 < f.count ? f.cells[k] : f.last;
    if (column_ == 0) {
      table_.insertRow(rowIndex_, {});
      // The header's row is removed again at the end.
      if (sources_ && lineCounter_ > 0) sources_->push_back({lineNumber, f.count});
    }
    table_.setCells(rowIndex_, static_cast<int>(column_), std::span(texts.data(), n));
  }

  void storeEndedFields(const LineFields& f, std::size_t lineNumber) { storeFields(f, f.count - 1, lineNumber); }

  void endLine(std::size_t fieldCount, std::size_t lineNumber) {
    if (lineCounter_ > 0 && lineCounter_ % 2 == 0 && sources_ && !sources_->empty()) {
      sources_->back().endLine = lineNumber;
      sources_->back().endFields = fieldCount;
    }
    if (lineCounter_ % 2 == 0) {
      // The header line (counter 0) or the second line of a pair: the row is complete.
      table_.setItemData(rowIndex_, static_cast<ItemData>(rowIndex_));
      ++rowIndex_;
      column_ = 0;
    } else {
      // A pair's second line goes on in the column after the first line's last field.
      column_ += fieldCount;
    }
    ++lineCounter_;
  }

  std::string where(std::size_t lineNumber) const {
    return "\"" + std::string(name_) + "\", line " + std::to_string(lineNumber) + ": ";
  }

  CameraTable& table_;
  std::string_view name_;
  std::vector<RowSource>* sources_;  // null: nobody asked where the rows came from
  std::size_t rowIndex_;
  std::size_t headerIndex_;
  std::size_t column_ = 0;
  std::size_t lineCounter_ = 0;
  std::size_t headerLine_ = 0;
  std::optional<LoadError> error_;
};

}  // namespace

std::optional<LoadError> parseAutodoriaList(std::string_view bytes, bool readComplete, CameraTable& table,
                                            std::string_view name, std::vector<RowSource>* sources) {
  AutodoriaParser parser(table, name, sources);
  LineReader lines(bytes);
  std::string_view text;
  bool going = true;
  while (going && lines.next(text)) {
    going = parser.line(text, lines.lineNumber());
  }
  if (going) {
    if (!readComplete) {
      const std::string_view tail = lines.tail();
      parser.interruptedLine(tail, lines.lineNumber());
      return std::nullopt;
    }
    const std::string_view tail = lines.tail();  // a last line without a line feed; numbered now
    parser.line(tail, lines.lineNumber());
  }
  return parser.finish();
}

}  // namespace solvane

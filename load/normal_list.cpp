#include "load/normal_list.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "base/helper_thread.h"
#include "load/source_lines.h"

namespace solvane {
namespace {

// The TYPE rule, read from the whole line: TYPE follows the third comma; it must be empty or
// "2" and be ended by a comma itself.
TypeRule typeRuleOf(std::string_view line) noexcept {
  const char* const end = line.data() + line.size();
  const char* const comma = findNthComma(line.data(), end, kType);
  if (end - comma < 2) return TypeRule::kNotApplied;
  if (comma[1] == ',') return TypeRule::kEmptyStoredAsThree;
  return comma[1] == '2' && end - comma >= 3 && comma[2] == ',' ? TypeRule::kTwoStoredAsThree : TypeRule::kNotApplied;
}

// The same rule on split fields, of which the first `endedFields` were ended by a comma.
TypeRule applyTypeRule(LineFields& f, std::size_t endedFields) {
  if (endedFields <= static_cast<std::size_t>(kType)) return TypeRule::kNotApplied;
  std::string_view& type = f.cells[kType];
  const TypeRule rule = type.empty()  ? TypeRule::kEmptyStoredAsThree
                        : type == "2" ? TypeRule::kTwoStoredAsThree
                                      : TypeRule::kNotApplied;
  if (rule != TypeRule::kNotApplied) type = "3";
  return rule;
}

std::size_t fieldCount(std::string_view line) noexcept {
  return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
}

// The header line is held aside rather than stored as row 0 and deleted afterwards, which would
// move every other row of a large table. A list that fails, or a read that stops, leaves the
// table as if it had been stored: header row first. A parser of a list's later part cannot know
// whether an earlier part holds the header, so it stores every line; append() takes its first
// row out as the header when the earlier part had none.
class NormalParser {
 public:
  enum class Part { kWhole, kLater };
  NormalParser(CameraTable& table, std::string_view name, Part part, std::vector<RowSource>* sources)
      : table_(table), name_(name), part_(part), sources_(sources) {}

  void line(std::string_view text, std::size_t lineNumber) {
    // The first field starts with "//" exactly when the line does.
    if (text.empty() || startsWithComment(text)) return;
    if (!headerLine_) {
      headerLine_ = lineNumber;
      if (part_ == Part::kWhole) {
        LineFields f = splitFields(text);
        applyTypeRule(f, f.count - 1);
        holdHeader(f.cells);
        ++rowIndex_;
        return;
      }
    }
    const TypeRule rule = typeRuleOf(text);
    table_.appendLine(text, rule != TypeRule::kNotApplied, static_cast<ItemData>(rowIndex_));
    if (sources_) sources_->push_back({lineNumber, fieldCount(text), 0, 0, rule});
    ++rowIndex_;
  }

  // The line the read stopped in: its row exists once a comma was read, holding the fields
  // that commas had ended, and it is neither tested as a comment nor numbered.
  void interruptedLine(std::string_view text, std::size_t lineNumber) {
    putBackHeaderRow();
    const std::size_t lastComma = text.rfind(',');
    if (lastComma == std::string_view::npos) return;
    LineFields f = splitFields(text.substr(0, lastComma));
    const TypeRule rule = applyTypeRule(f, f.count);
    table_.appendRow(std::span(f.cells.data(), f.kept()), 0);
    if (sources_) sources_->push_back({lineNumber, f.count, 0, 0, rule});
  }

  // Takes over the rows of a parser that read the lines right after this one's `ownLines`
  // lines: its rows follow ours and its item data continue our series.
  void append(NormalParser& later, std::size_t ownLines) {
    std::size_t headerRows = 0;
    if (!headerLine_ && later.headerLine_) {
      headerLine_ = ownLines + later.headerLine_;
      holdHeader(later.table_.cells(0));
      later.table_.deleteRow(0);
      headerRows = 1;
    }
    table_.appendTable(std::move(later.table_), static_cast<ItemData>(rowIndex_));
    rowIndex_ += later.rowIndex_;
    if (sources_ && later.sources_) {
      for (std::size_t k = headerRows; k < later.sources_->size(); ++k) {
        RowSource s = (*later.sources_)[k];
        s.line += ownLines;
        sources_->push_back(s);
      }
    }
  }

  std::optional<LoadError> finish() {
    // Without a header line the held header is empty, and so is its X.
    auto error = testHeader(name_, headerLine_, kX, header_[kX], "X");
    if (error) putBackHeaderRow();
    return error;
  }

 private:
  // Copies: the cells may lie in the line reader's scratch or in a table about to change.
  void holdHeader(const RowCells& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c) header_[c].assign(cells[c]);
  }

  void putBackHeaderRow() {
    if (headerLine_ == 0 || part_ != Part::kWhole) return;
    std::array<std::string_view, kColumnCount> cells;
    for (std::size_t c = 0; c < cells.size(); ++c) cells[c] = header_[c];
    table_.insertRow(0, cells[0]);
    table_.setCells(0, 1, std::span(cells).subspan(1));
  }

  CameraTable& table_;
  std::string_view name_;
  Part part_;
  std::vector<RowSource>* sources_;  // null: nobody asked where the rows came from
  std::size_t rowIndex_ = 0;
  std::size_t headerLine_ = 0;
  std::array<std::string, kColumnCount> header_;
};

// Below this size a second thread costs more than it saves.
constexpr std::size_t kParallelBytes = std::size_t{1} << 18;

// The end of the list, `tail` being the text after the last line feed and `tailLine` its line
// number: a last line without a line feed is finished as if one followed it; the line a read
// stopped in keeps its ended fields (and "Error[5010]" is the caller's).
std::optional<LoadError> finishList(NormalParser& parser, std::string_view tail, std::size_t tailLine,
                                    bool readComplete) {
  if (!readComplete) {
    parser.interruptedLine(tail, tailLine);
    return std::nullopt;
  }
  parser.line(tail, tailLine);
  return parser.finish();
}

std::optional<LoadError> parseOnOneThread(std::string_view bytes, bool readComplete, CameraTable& table,
                                          std::string_view name, std::size_t roomAfter,
                                          std::vector<RowSource>* sources) {
  // One row per line at most; reserving avoids regrowing (and briefly doubling) a large table.
  const std::size_t rowsAtMost = lineFeeds(bytes) + 1;
  table.reserveRows(rowsAtMost + roomAfter);
  if (sources) sources->reserve(sources->size() + rowsAtMost);
  NormalParser parser(table, name, NormalParser::Part::kWhole, sources);
  LineReader lines(bytes);
  std::string_view text;
  while (lines.next(text)) parser.line(text, lines.lineNumber());
  const std::string_view tail = lines.tail();
  return finishList(parser, tail, lines.lineNumber(), readComplete);
}

}  // namespace

std::size_t lineFeeds(std::string_view bytes) noexcept {
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

std::optional<LoadError> parseNormalList(std::string_view bytes, bool readComplete, CameraTable& table,
                                         std::string_view name, std::size_t roomAfter,
                                         std::vector<RowSource>* sources) {
  if (bytes.size() < kParallelBytes) return parseOnOneThread(bytes, readComplete, table, name, roomAfter, sources);
  return parseNormalListInTwo(bytes, readComplete, table, name, bytes.size() / 2, roomAfter, sources);
}

std::optional<LoadError> parseNormalListInTwo(std::string_view bytes, bool readComplete, CameraTable& table,
                                              std::string_view name, std::size_t cutFrom, std::size_t roomAfter,
                                              std::vector<RowSource>* sources) {
  // The first part ends with a line feed, so every line lies wholly in one part. The second
  // part's complete lines are parsed into a table of their own on a helper thread; its tail
  // (a last line without a line feed, or the line a read stopped in) is done here after the
  // join, once the rows of both parts are in place.
  const std::size_t lf = cutFrom < bytes.size() ? bytes.find('\n', cutFrom) : std::string_view::npos;
  if (lf == std::string_view::npos || lf + 1 == bytes.size()) {
    return parseOnOneThread(bytes, readComplete, table, name, roomAfter, sources);
  }
  const std::string_view first = bytes.substr(0, lf + 1);
  const std::string_view second = bytes.substr(lf + 1);

  // Declared before the thread, so they outlive it even when this thread throws.
  CameraTable laterTable;
  laterTable.shareKeptText(table);  // its rows refer to the same bytes
  std::vector<RowSource> laterSources;
  NormalParser later(laterTable, name, NormalParser::Part::kLater, sources ? &laterSources : nullptr);
  LineReader laterLines(second);
  // Each thread counts the line feeds of its own part; this thread sizes the table for both.
  constexpr std::size_t kNotCounted = static_cast<std::size_t>(-1);
  std::atomic<std::size_t> laterLineFeeds{kNotCounted};
  // The hand-over goes through a mutex and a condition variable, not std::atomic::wait: the
  // MinGW build's C++ library (no futex there) at times missed that wake-up and waited for ever.
  std::mutex countMutex;
  std::condition_variable counted;
  const auto countSecond = [&] {
    const std::size_t n = lineFeeds(second);
    {
      const std::lock_guard lock(countMutex);
      laterLineFeeds.store(n);
    }
    counted.notify_one();
  };
  HelperThread helper;  // last declared: joined first, also when this thread throws
  helper.start([&] {
    if (laterLineFeeds.load() == kNotCounted) countSecond();
    laterTable.reserveRows(laterLineFeeds.load());
    if (sources) laterSources.reserve(laterLineFeeds.load());
    std::string_view text;
    while (laterLines.next(text)) later.line(text, laterLines.lineNumber());
  });

  const std::size_t firstLineFeeds = lineFeeds(first);
  if (helper.onHelperThread()) {
    std::unique_lock lock(countMutex);
    counted.wait(lock, [&] { return laterLineFeeds.load() != kNotCounted; });
  } else {
    countSecond();  // the second part is parsed here after the first
  }
  table.reserveRows(firstLineFeeds + laterLineFeeds.load() + 1 + roomAfter);
  if (sources) sources->reserve(sources->size() + firstLineFeeds + laterLineFeeds.load() + 1);
  NormalParser parser(table, name, NormalParser::Part::kWhole, sources);
  LineReader lines(first);
  std::string_view text;
  while (lines.next(text)) parser.line(text, lines.lineNumber());
  helper.finish();
  parser.append(later, lines.lineNumber());
  const std::string_view tail = laterLines.tail();
  return finishList(parser, tail, lines.lineNumber() + laterLines.lineNumber(), readComplete);
}

}  // namespace solvane

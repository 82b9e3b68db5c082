// The byte rules shared by both lists: a line feed ends a line, a comma ends a field, and a
// carriage return is ignored wherever it stands.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/load_error.h"
#include "table/line_fields.h"

namespace solvane {

// A comment line begins with "//" (in the normal list its first field does, so the whole line
// does); in the Autodoria list a line whose last field begins with "//" is the stop line.
constexpr bool startsWithComment(std::string_view s) noexcept { return s.size() >= 2 && s[0] == '/' && s[1] == '/'; }

// The header test of both lists: the header line's field `column` (kIdx or kX) reads `found`
// and must be `expected`. `headerLine` is its 1-based line, 0 when the list has none. Returns
// "Error : Wrong DB file !!!" with the list's name, the line and what was found.
std::optional<LoadError> testHeader(std::string_view name, std::size_t headerLine, Column column,
                                    std::string_view found, std::string_view expected);

// Walks the lines of a buffer. Each line comes without its line feed and with every carriage
// return removed (copied only when a carriage return stands inside the line).
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) noexcept : bytes_(bytes) {}

  // Next line ended by a line feed; false when only an unterminated tail (or nothing) is left.
  bool next(std::string_view& line);

  // Text after the last line feed, carriage returns removed; empty when there is none.
  std::string_view tail();

  // 1-based number of the line last returned (or of the tail).
  [[nodiscard]] std::size_t lineNumber() const noexcept { return lineNumber_; }

 private:
  std::string_view clean(std::string_view raw);

  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t lineNumber_ = 0;
  std::string scratch_;
};

}  // namespace solvane

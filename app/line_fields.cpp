#include "app/line_fields.h"

namespace solvane {

LineFields splitFields(std::string_view line) noexcept {
  // Fields are short, so one plain pass beats a library search per field.
  LineFields f;
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] != ',') continue;
    if (f.count < static_cast<std::size_t>(kColumnCount)) f.cells[f.count] = line.substr(start, i - start);
    ++f.count;
    start = i + 1;
  }
  f.last = line.substr(start);
  if (f.count < static_cast<std::size_t>(kColumnCount)) f.cells[f.count] = f.last;
  ++f.count;
  return f;
}

std::string_view fieldOf(std::string_view line, int column) noexcept {
  std::size_t start = 0;
  for (int i = 0; i < column; ++i) {
    while (start < line.size() && line[start] != ',') ++start;
    if (start == line.size()) return {};
    ++start;
  }
  std::size_t end = start;
  while (end < line.size() && line[end] != ',') ++end;
  return line.substr(start, end - start);
}

}  // namespace solvane

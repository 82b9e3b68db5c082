#include "table/line_fields.h"

namespace solvane {

LineFields splitFields(std::string_view line) noexcept {
  LineFields f;
  const char* p = line.data();
  const char* const end = p + line.size();
  for (const char* comma = findComma(p, end); comma != end; comma = findComma(p, end)) {
    if (f.count < static_cast<std::size_t>(kColumnCount)) f.cells[f.count] = {p, static_cast<std::size_t>(comma - p)};
    ++f.count;
    p = comma + 1;
  }
  f.last = {p, static_cast<std::size_t>(end - p)};
  if (f.count < static_cast<std::size_t>(kColumnCount)) f.cells[f.count] = f.last;
  ++f.count;
  return f;
}

std::string_view fieldOf(std::string_view line, int column) noexcept {
  const char* p = line.data();
  const char* const end = p + line.size();
  for (int i = 0; i < column; ++i) {
    p = findComma(p, end);
    if (p == end) return {};
    ++p;
  }
  return {p, static_cast<std::size_t>(findComma(p, end) - p)};
}

}  // namespace solvane

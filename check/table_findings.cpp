#include "check/table_findings.h"

#include <algorithm>
#include <string>

namespace solvane {

TableFindings TableFindings::build(const CameraTable& table, const QualityOptions& options) {
  const auto name = [](std::size_t row) { return "row " + std::to_string(row + 1); };
  TableFindings out;
  const auto add = [&out](std::size_t row, const std::string& text, bool problem) {
    Entry& e = out.rows_[row];
    if (problem && !e.problem) {
      e.text = e.text.empty() ? text : text + "; " + e.text;  // problems first
      e.problem = true;
      out.problemRows_.push_back(static_cast<std::uint32_t>(row));
    } else {
      e.text += (e.text.empty() ? "" : "; ") + text;
    }
  };
  for (const QualityFinding& f : checkQuality(table, options, name)) {
    add(f.row, f.text, f.problem);
    for (const std::size_t other : f.others) {
      out.joined_.emplace_back(static_cast<std::uint32_t>(f.row), static_cast<std::uint32_t>(other));
      if (f.groupSize == 2) {
        add(other, "near duplicate: " + formatMetres(f.metres) + " from " + name(f.row), false);
      } else {
        add(other,
            "near duplicates: one of " + std::to_string(f.groupSize) + " rows within " + formatMetres(f.metres) +
                " of " + name(f.row),
            false);
      }
    }
  }
  std::sort(out.problemRows_.begin(), out.problemRows_.end());
  return out;
}

std::string_view TableFindings::text(std::size_t row) const noexcept {
  const auto it = rows_.find(row);
  return it == rows_.end() ? std::string_view{} : std::string_view{it->second.text};
}

bool TableFindings::problem(std::size_t row) const noexcept {
  const auto it = rows_.find(row);
  return it != rows_.end() && it->second.problem;
}

}  // namespace solvane

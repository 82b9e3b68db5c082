// The quality findings of a whole table, indexed by row, for the dialog's marked rows and the
// map: each row's texts in one line, whether one of them is a problem, and the near
// duplicates to draw joined.
//
// Rows are named "row N" (N counted from 1 in the table's order), as the dialog shows them.
// A near-duplicate cluster, which `solvane check` reports once, is told on every member row.
//
// Usage:
//   const TableFindings f = TableFindings::build(table);
//   if (!f.text(row).empty()) tooltip(f.text(row));
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "check/quality_findings.h"
#include "table/camera_table.h"

namespace solvane {

class TableFindings {
 public:
  [[nodiscard]] static TableFindings build(const CameraTable& table, const QualityOptions& options = {});

  // The row's findings, separated by "; ", problems first; empty when there are none.
  [[nodiscard]] std::string_view text(std::size_t row) const noexcept;
  // Whether a finding of the row is a problem.
  [[nodiscard]] bool problem(std::size_t row) const noexcept;
  // Near duplicates as pairs of rows to join, the lower row first: each pair, and each
  // further member of a cluster with the cluster's first row.
  [[nodiscard]] const std::vector<std::pair<std::uint32_t, std::uint32_t>>& joined() const noexcept { return joined_; }
  [[nodiscard]] std::size_t rowCount() const noexcept { return rows_.size(); }
  // The rows with a problem, ascending.
  [[nodiscard]] const std::vector<std::uint32_t>& problemRows() const noexcept { return problemRows_; }

 private:
  struct Entry {
    std::string text;
    bool problem = false;
  };
  std::unordered_map<std::size_t, Entry> rows_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> joined_;
  std::vector<std::uint32_t> problemRows_;
};

}  // namespace solvane

// Marked rows in the camera table: a row the conversion will skip, or write with a coordinate
// taken as 0, gets a tinted background and a tooltip that says why (the reasons `solvane
// check` prints). RowMarks adds the quality findings of the whole table (near duplicates,
// directions, speeds, section geometry, exchanged X and Y): their texts join the tooltip, and
// a row with a quality problem gets the orange tint of a row written wrong.
#pragma once

#include <QColor>
#include <QVariant>

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "check/table_findings.h"
#include "table/camera_table.h"

namespace solvane::map {

inline constexpr QRgb kSkippedRowBackground = 0xfff6c9cb;  // light red: no record
inline constexpr QRgb kProblemRowBackground = 0xffffe2bf;  // light orange: written, but wrong
inline constexpr QRgb kDiffRowBackground = 0xffd6e8fb;     // light blue: differs from the release compared with

// How a row differs from the release it was compared with (the map's "Compare with...").
struct RowDifference {
  std::string text;  // "added", "moved 17.8 m from DB_250101.dbh record 12", "changed: SPD 60 -> 80"
};

// Extra data for a cell of the camera table from the row check alone: background and text
// colour of a marked row, and the tooltip of any row the check has something to say about.
// Invalid for anything else. Fits CameraTableModel's role hook.
[[nodiscard]] QVariant rowMarkData(const CameraTable& table, std::size_t row, int column, int role);

// The same with the table's quality findings. They need the whole table, so they are worked
// out on first use after each change (about a second for a million rows) and kept.
class RowMarks {
 public:
  explicit RowMarks(const CameraTable& table) : table_(table) {}

  // Findings worked out elsewhere (on a worker) for the table the next tableChanged() brings.
  void adoptOnNextChange(std::shared_ptr<const TableFindings> findings) noexcept { pending_ = std::move(findings); }
  // The table was reloaded or reordered: the findings adopted for it, or else worked out again
  // when next needed.
  void tableChanged() noexcept {
    findings_ = std::exchange(pending_, nullptr);
    differences_.clear();  // they were of the rows before
  }

  // The rows that differ from a release compared with; empty: none.
  void setDifferences(std::unordered_map<std::size_t, RowDifference> differences) {
    differences_ = std::move(differences);
  }
  [[nodiscard]] const RowDifference* difference(std::size_t row) const {
    const auto it = differences_.find(row);
    return it == differences_.end() ? nullptr : &it->second;
  }

  [[nodiscard]] QVariant data(std::size_t row, int column, int role);
  [[nodiscard]] std::shared_ptr<const TableFindings> findings();

 private:
  const CameraTable& table_;
  std::shared_ptr<const TableFindings> findings_;
  std::shared_ptr<const TableFindings> pending_;
  std::unordered_map<std::size_t, RowDifference> differences_;
};

}  // namespace solvane::map

// How the conversion will treat one camera row, worked out from the row's cells alone.
//
// The encoder silently drops a row whose first point is out of range and silently writes a
// camera at longitude or latitude 0 when X or Y holds no number. These checks say so, with a
// short reason a person can act on; `solvane check` prints them and the dialog shows them as
// tooltips of marked rows.
//
// What needs the source file (line numbers, the TYPE rule applied while loading, fields past
// the columns) is not visible in a row; the loaders hand it out (load/row_source.h) and the
// list check (check/list_check.h) reports it.
//
// Usage:
//   const RowCheck c = checkRow(table.cells(row), RowOrigin::kAutodoriaList);
//   if (c.isProblem()) mark(row, c.reason());
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/camera_table.h"

namespace solvane {

// Which list a row came from. Only an Autodoria row is known to need an end point; with
// kUnknown a row counts as a section lacking its end point only when it has end-point
// cells (IDX2, Y2 .. DIR2) but an empty X2.
enum class RowOrigin { kUnknown, kNormalList, kAutodoriaList };

// A first-point coordinate outside the range: the row gets no record.
struct OutOfRange {
  Column column = kX;       // kX (longitude) or kY (latitude), X tested first
  std::int32_t scaled = 0;  // 1/10000 degree; INT32_MIN when it does not fit in 32 bits
  std::int32_t bound = 0;   // the bound it passes: -1800000, 1800000, -900000 or 900000
};

struct RowCheck {
  std::int32_t longitude = 0;  // scaled X, as the encoder reads it
  std::int32_t latitude = 0;   // scaled Y

  std::optional<OutOfRange> outOfRange;  // set: skipped, no record is written
  bool xNotNumber = false;               // X is empty or does not start with a number: longitude 0
  bool yNotNumber = false;               // Y likewise: latitude 0

  bool section = false;             // non-empty X2: a two-point record
  bool endPointMissing = false;     // a section without a usable end point (see below)
  bool endPointOutOfRange = false;  // a section's end point lies outside the range; written anyway
  std::int32_t typeByte = 0;        // the TYPE byte the record gets (16 for every section)
  bool sectionType16 = false;       // a section whose TYPE cell reads as something other than 16

  // No record for this row.
  [[nodiscard]] bool skipped() const noexcept { return outOfRange.has_value(); }
  // Written, but with a coordinate taken as 0 because X or Y holds no number.
  [[nodiscard]] bool atZero() const noexcept { return !skipped() && (xNotNumber || yNotNumber); }
  // What `solvane check` counts as a problem (exit 1): skipped, written at 0, or a section
  // without its end point. The TYPE 16 replacement and an end point out of range are notes.
  [[nodiscard]] bool isProblem() const noexcept { return skipped() || atZero() || endPointMissing; }
  [[nodiscard]] bool isNote() const noexcept { return sectionType16 || endPointOutOfRange; }

  // The separate findings, problems first, each with its text.
  enum class Issue { kSkipped, kXNotNumber, kYNotNumber, kEndPointMissing, kEndPointOutOfRange, kSectionType16 };
  struct Finding {
    Issue issue;
    bool problem;
    std::string text;
  };
  std::vector<Finding> findings() const;

  // The findings' texts in one line, separated by "; "; empty when there is nothing to say.
  // E.g. "skipped: Y scales to 955000, above 900000"
  //      "X is not a number: written at longitude 0"
  //      "section: TYPE written as 16"
  std::string reason() const;
};

// A section without a usable end point is one whose X2 is empty although the row came from the
// Autodoria list (or has other end-point cells): it is written as a one-point camera. A section
// whose X2 or Y2 holds no number (a blank X2 still makes a section) is counted the same way,
// since its end point would land at 0.
[[nodiscard]] RowCheck checkRow(const RowCells& row, RowOrigin origin = RowOrigin::kUnknown);

// True when atof would find a number at the start of the text (after white space, an optional
// sign, at least one digit, with or without a decimal point). False for "", " ", "abc", ".".
[[nodiscard]] bool readsAsNumber(std::string_view text) noexcept;

}  // namespace solvane

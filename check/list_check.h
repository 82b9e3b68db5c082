// The list check: load the lists exactly as a conversion would, write nothing, and find every
// row the conversion would skip or mangle, with file name and line number. The lines come from
// the loaders themselves (RowSource), so the check and a conversion cannot disagree.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "check/geodesy.h"
#include "check/quality_findings.h"
#include "load/load_command.h"

namespace solvane {

struct CheckFinding {
  std::string file;      // the list's path as shown
  std::size_t line = 0;  // 1-based; for a section, its start line
  bool problem = false;  // false: a note, which does not change the exit status
  std::string kind;      // "skipped", "xNotNumber", "yNotNumber", "endPointMissing", "endPointOutOfRange",
                         // "sectionType16", "typeRule", "extraFields", "sharedCoordinates", "noRows", and
                         // the quality findings' kinds (quality_findings.h)
  std::string what;
  std::optional<GeoPoint> at;  // where the row lies, when it is written where its X and Y say
  std::optional<GeoPoint> to;  // the other end of a line: a near duplicate, a section's end, X and Y exchanged
};

struct CheckReport {
  std::optional<LoadError> loadError;  // the load stopped; nothing else is checked
  std::size_t rows = 0;                // rows loaded
  std::size_t records = 0;             // records a conversion would write
  std::size_t sections = 0;            // of them two-point
  std::size_t skipped = 0, atZero = 0, withoutEndPoint = 0;
  std::size_t qualityProblems = 0;     // problems among the quality findings
  std::vector<CheckFinding> findings;  // in file order, then line order
  [[nodiscard]] std::size_t problemCount() const;
  [[nodiscard]] std::size_t noteCount() const { return findings.size() - problemCount(); }
  // 0: nothing that loses or misplaces a camera; 1: problems or a failed load; 2: unreadable list.
  [[nodiscard]] int exitCode() const;
};

// The row check of every row and the quality findings of the whole table.
CheckReport checkSources(const SourcePaths& paths, const QualityOptions& quality = {});

}  // namespace solvane

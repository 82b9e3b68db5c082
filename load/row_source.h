// Where each table row came from in its list. The loaders hand this out on request, so a
// checker points at lines without walking the lists a second time (and cannot disagree with
// the load about which line made which row).
#pragma once

#include <cstddef>
#include <vector>

namespace solvane {

// The normal list's TYPE rule as it met one line: a TYPE field ended by a comma that is empty
// or exactly "2" is stored as "3".
enum class TypeRule : unsigned char { kNotApplied, kEmptyStoredAsThree, kTwoStoredAsThree };

struct RowSource {
  std::size_t line = 0;       // 1-based line that made the row (a section: its first line)
  std::size_t fields = 0;     // fields on that line
  std::size_t endLine = 0;    // a section's second line; 0 when it never came (or a normal row)
  std::size_t endFields = 0;  // fields on the second line
  TypeRule typeRule = TypeRule::kNotApplied;
};

// One entry per table row, in row order: the normal list's rows, then the Autodoria list's.
struct RowSources {
  std::vector<RowSource> normal;
  std::vector<RowSource> autodoria;
};

}  // namespace solvane

// What changed between two releases: every camera of either side in exactly one class.
//
//   added      only in the new side;
//   removed    only in the old side;
//   moved      matched (camera_matcher.h), and its position as stored (1/10000 degree; a
//              section: either end) differs; any values that changed as well are listed;
//   changed    matched at the same stored position, TYPE, SPD, DTYPE, DIR or DIR2 differ;
//   unchanged  matched, nothing differs (counted only).
// Longitudes 180 and -180 are the same place.
//
// Usage:
//   const ReleaseDiff d = diffReleases(oldSide, newSide, {.nearMetres = 50});
//   d.summary.added ... for (const CameraChange& c : d.changes) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compare/camera_matcher.h"
#include "compare/release_side.h"

namespace solvane::compare {

enum class ChangeKind : std::uint8_t { kAdded, kRemoved, kMoved, kChanged };
[[nodiscard]] const char* kindName(ChangeKind kind) noexcept;  // "added", "removed", "moved", "changed"

struct ValueChange {
  const char* field = "";  // "TYPE", "SPD", "DTYPE", "DIR", "DIR2"
  std::int64_t before = 0, after = 0;
};

struct CameraChange {
  ChangeKind kind = ChangeKind::kAdded;
  std::optional<std::uint32_t> old, neu;  // indices into the sides' cameras
  double metres = 0;                      // moved: how far the (start) point moved
  double endMetres = 0;                   // moved section: how far its end point moved
  std::vector<ValueChange> values;        // moved or changed: old -> new of each value that differs
};

struct DiffSummary {
  std::size_t added = 0, removed = 0, moved = 0, changed = 0, unchanged = 0;
  [[nodiscard]] bool anyChange() const noexcept { return added + removed + moved + changed > 0; }
};

struct ReleaseDiff {
  DiffSummary summary;
  // Added (in the new side's order), removed, moved and changed (in the old side's order).
  std::vector<CameraChange> changes;
  bool storedForm = false;  // values compared as the database stores them
};

[[nodiscard]] ReleaseDiff diffReleases(const Side& old, const Side& neu, MatchOptions options = {});

// Whether two stored positions are the same place (longitude taken modulo 360 degrees).
[[nodiscard]] bool samePlace(std::int32_t lat1, std::int32_t lon1, std::int32_t lat2, std::int32_t lon2) noexcept;

}  // namespace solvane::compare

#include "compare/release_diff.h"

#include <algorithm>

#include "check/geodesy.h"
#include "convert/record_encoder.h"

namespace solvane::compare {
namespace {

std::uint8_t low(std::int32_t v) noexcept { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu); }

GeoPoint startOf(const DiffCamera& c) noexcept { return {c.lat / 10000.0, c.lon / 10000.0}; }
GeoPoint endOf(const DiffCamera& c) noexcept { return {c.lat2 / 10000.0, c.lon2 / 10000.0}; }

std::vector<ValueChange> valueChanges(const DiffCamera& a, const DiffCamera& b, bool storedForm) {
  const ValueDifferences d = valueDifferences(a, b, storedForm);
  const bool stored = storedForm || a.fromDatabase || b.fromDatabase;
  std::vector<ValueChange> out;
  if (d.type) {
    const auto type = [stored](const DiffCamera& c) -> std::int64_t {
      return stored ? (c.section ? 16 : low(c.type)) : c.type;
    };
    out.push_back({"TYPE", type(a), type(b)});
  }
  if (d.speed) {
    const auto speed = [stored](const DiffCamera& c) -> std::int64_t { return stored ? speedByte(c.speed) : c.speed; };
    out.push_back({"SPD", speed(a), speed(b)});
  }
  if (d.dtype) {
    const auto dtype = [stored](const DiffCamera& c) -> std::int64_t { return stored ? low(c.dtype) : c.dtype; };
    out.push_back({"DTYPE", dtype(a), dtype(b)});
  }
  if (d.direction) out.push_back({"DIR", a.direction, b.direction});
  if (d.direction2) out.push_back({"DIR2", a.direction2, b.direction2});
  return out;
}

}  // namespace

const char* kindName(ChangeKind kind) noexcept {
  switch (kind) {
    case ChangeKind::kAdded: return "added";
    case ChangeKind::kRemoved: return "removed";
    case ChangeKind::kMoved: return "moved";
    case ChangeKind::kChanged: return "changed";
  }
  return "?";
}

bool samePlace(std::int32_t lat1, std::int32_t lon1, std::int32_t lat2, std::int32_t lon2) noexcept {
  if (lat1 != lat2) return false;
  const std::int64_t d = std::int64_t{lon1} - lon2;
  return d == 0 || d == 3600000 || d == -3600000;
}

ReleaseDiff diffReleases(const Side& old, const Side& neu, MatchOptions options) {
  ReleaseDiff result;
  options.storedForm = options.storedForm || old.hasDatabase() || neu.hasDatabase();
  result.storedForm = options.storedForm;
  const std::vector<CameraMatch> matches = matchCameras(old.cameras, neu.cameras, options);
  std::vector<bool> oldMatched(old.cameras.size()), newMatched(neu.cameras.size());
  std::vector<CameraChange> moved, changed;
  for (const CameraMatch& m : matches) {
    oldMatched[m.old] = newMatched[m.neu] = true;
    const DiffCamera& a = old.cameras[m.old];
    const DiffCamera& b = neu.cameras[m.neu];
    CameraChange c;
    c.old = m.old;
    c.neu = m.neu;
    c.values = valueChanges(a, b, options.storedForm);
    const bool startMoved = !samePlace(a.lat, a.lon, b.lat, b.lon);
    const bool endMoved = a.section && !samePlace(a.lat2, a.lon2, b.lat2, b.lon2);
    if (startMoved || endMoved) {
      c.kind = ChangeKind::kMoved;
      c.metres = distanceMetres(startOf(a), startOf(b));
      if (a.section) c.endMetres = distanceMetres(endOf(a), endOf(b));
      moved.push_back(std::move(c));
    } else if (!c.values.empty()) {
      c.kind = ChangeKind::kChanged;
      changed.push_back(std::move(c));
    } else {
      ++result.summary.unchanged;
    }
  }
  for (std::uint32_t n = 0; n < neu.cameras.size(); ++n) {
    if (!newMatched[n]) {
      CameraChange c;
      c.neu = n;
      result.changes.push_back(std::move(c));
    }
  }
  for (std::uint32_t o = 0; o < old.cameras.size(); ++o) {
    if (!oldMatched[o]) {
      CameraChange c;
      c.kind = ChangeKind::kRemoved;
      c.old = o;
      result.changes.push_back(std::move(c));
    }
  }
  result.summary.added = static_cast<std::size_t>(
      std::count_if(result.changes.begin(), result.changes.end(), [](const CameraChange& c) { return !c.old; }));
  result.summary.removed = result.changes.size() - result.summary.added;
  result.summary.moved = moved.size();
  result.summary.changed = changed.size();
  for (CameraChange& c : moved) result.changes.push_back(std::move(c));
  for (CameraChange& c : changed) result.changes.push_back(std::move(c));
  return result;
}

}  // namespace solvane::compare

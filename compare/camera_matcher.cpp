#include "compare/camera_matcher.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "check/geodesy.h"
#include "check/near_duplicates.h"
#include "check/quality_findings.h"
#include "convert/record_encoder.h"

namespace solvane::compare {
namespace {

std::uint8_t low(std::int32_t v) noexcept { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu); }

GeoPoint startOf(const DiffCamera& c) noexcept { return {c.lat / 10000.0, c.lon / 10000.0}; }
GeoPoint endOf(const DiffCamera& c) noexcept { return {c.lat2 / 10000.0, c.lon2 / 10000.0}; }

// The direction of travel in degrees, or nothing for a camera that warns whichever way one
// comes (DTYPE other than 1 and 2, or a stored H that holds no direction).
std::optional<double> travelDirection(const DiffCamera& c, bool storedForm) noexcept {
  const std::uint8_t dtype = low(c.dtype);
  if (dtype != 1 && dtype != 2) return std::nullopt;
  if (storedForm || c.fromDatabase) {
    if (c.h > 179) return std::nullopt;
    return (2 * c.h + 180) % 360;
  }
  return ((c.direction % 360) + 360) % 360;
}

struct Candidate {
  std::uint32_t old, neu;
  bool disagree;  // directions of travel do not agree
  // The distance to the centimetre: cameras that are equally near but for the ellipsoid's
  // curvature (a hundred-thousandth of a metre) go on to the next rule.
  std::int64_t centimetres;
  int differences;
  std::uint32_t orderGap;
};

bool candidateBefore(const Candidate& a, const Candidate& b) noexcept {
  if (a.disagree != b.disagree) return !a.disagree;
  if (a.centimetres != b.centimetres) return a.centimetres < b.centimetres;
  if (a.differences != b.differences) return a.differences < b.differences;
  if (a.orderGap != b.orderGap) return a.orderGap < b.orderGap;
  if (a.old != b.old) return a.old < b.old;
  return a.neu < b.neu;
}

// A candidate from a pair whose start points are `startMetres` apart; nothing when a
// section's ends are too far apart.
std::optional<Candidate> candidate(std::span<const DiffCamera> old, std::span<const DiffCamera> neu, std::uint32_t o,
                                   std::uint32_t n, double startMetres, const MatchOptions& options) {
  const DiffCamera& a = old[o];
  const DiffCamera& b = neu[n];
  if (a.section != b.section) return std::nullopt;
  double metres = startMetres;
  if (a.section) {
    const double end = distanceMetres(endOf(a), endOf(b));
    if (!(end <= options.nearMetres)) return std::nullopt;
    metres += end;
  }
  const auto gap = static_cast<std::uint32_t>(o > n ? o - n : n - o);
  return Candidate{o,
                   n,
                   !directionsAgree(a, b, options.storedForm),
                   std::llround(metres * 100),
                   valueDifferences(a, b, options.storedForm).count(),
                   gap};
}

std::vector<CameraMatch> choose(std::vector<Candidate>& candidates, std::size_t oldCount, std::size_t newCount) {
  std::sort(candidates.begin(), candidates.end(), candidateBefore);
  std::vector<bool> oldTaken(oldCount), newTaken(newCount);
  std::vector<CameraMatch> matches;
  for (const Candidate& c : candidates) {
    if (oldTaken[c.old] || newTaken[c.neu]) continue;
    oldTaken[c.old] = newTaken[c.neu] = true;
    matches.push_back({c.old, c.neu});
  }
  std::sort(matches.begin(), matches.end(), [](const CameraMatch& a, const CameraMatch& b) { return a.old < b.old; });
  return matches;
}

double nearOf(const MatchOptions& options) noexcept {
  return std::clamp(options.nearMetres, kMinNearMetres, kMaxNearMetres);
}

}  // namespace

ValueDifferences valueDifferences(const DiffCamera& a, const DiffCamera& b, bool storedForm) noexcept {
  ValueDifferences d;
  if (storedForm || a.fromDatabase || b.fromDatabase) {
    const auto type = [](const DiffCamera& c) { return c.section ? std::uint8_t{16} : low(c.type); };
    d.type = type(a) != type(b);
    d.speed = speedByte(a.speed) != speedByte(b.speed);
    d.dtype = low(a.dtype) != low(b.dtype);
    d.direction = a.h != b.h;
    d.direction2 = a.section && b.section && a.h2 != b.h2;
  } else {
    d.type = a.type != b.type;
    d.speed = a.speed != b.speed;
    d.dtype = a.dtype != b.dtype;
    d.direction = a.direction != b.direction;
    d.direction2 = a.section && b.section && a.direction2 != b.direction2;
  }
  return d;
}

bool directionsAgree(const DiffCamera& a, const DiffCamera& b, bool storedForm) noexcept {
  const std::optional<double> da = travelDirection(a, storedForm), db = travelDirection(b, storedForm);
  if (!da || !db) return true;
  double apart = angleBetweenDegrees(*da, *db);
  if (low(a.dtype) == 2 || low(b.dtype) == 2) apart = std::min(apart, 180.0 - apart);
  return apart <= kSameDirectionDegrees;
}

std::vector<CameraMatch> matchCameras(std::span<const DiffCamera> old, std::span<const DiffCamera> neu,
                                      const MatchOptions& given) {
  MatchOptions options = given;
  options.nearMetres = nearOf(given);
  std::vector<GeoPoint> points;
  points.reserve(old.size() + neu.size());
  for (const DiffCamera& c : old) points.push_back(startOf(c));
  for (const DiffCamera& c : neu) points.push_back(startOf(c));
  const std::size_t split = old.size();
  std::vector<NearPair> pairs = findNearPairs(points, options.nearMetres, [&](std::size_t a, std::size_t b) {
    return a < split && b >= split && old[a].section == neu[b - split].section;
  });
  points = {};
  std::vector<Candidate> candidates;
  candidates.reserve(pairs.size());
  for (const NearPair& p : pairs) {
    const auto o = p.a, n = static_cast<std::uint32_t>(p.b - split);
    if (auto c = candidate(old, neu, o, n, p.metres, options)) candidates.push_back(*c);
  }
  pairs = {};
  return choose(candidates, old.size(), neu.size());
}

std::vector<CameraMatch> matchCamerasByAllPairs(std::span<const DiffCamera> old, std::span<const DiffCamera> neu,
                                                const MatchOptions& given) {
  MatchOptions options = given;
  options.nearMetres = nearOf(given);
  std::vector<Candidate> candidates;
  for (std::uint32_t o = 0; o < old.size(); ++o) {
    for (std::uint32_t n = 0; n < neu.size(); ++n) {
      const double m = distanceMetres(startOf(old[o]), startOf(neu[n]));
      if (!(m <= options.nearMetres)) continue;
      if (auto c = candidate(old, neu, o, n, m, options)) candidates.push_back(*c);
    }
  }
  return choose(candidates, old.size(), neu.size());
}

}  // namespace solvane::compare

#include "compare/camera_matcher.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <queue>

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

// 16 bytes: a million of them are sorted.
struct Candidate {
  std::uint32_t old, neu;
  // The distance to the centimetre (at most 2 x 10 km): cameras that are equally near but for
  // the ellipsoid's curvature (a hundred-thousandth of a metre) go on to the next rule.
  std::int32_t centimetres;
  std::uint8_t disagree;  // directions of travel do not agree
  std::uint8_t differences;
};

std::uint32_t orderGap(const Candidate& c) noexcept { return c.old > c.neu ? c.old - c.neu : c.neu - c.old; }

bool candidateBefore(const Candidate& a, const Candidate& b) noexcept {
  if (a.disagree != b.disagree) return a.disagree < b.disagree;
  if (a.centimetres != b.centimetres) return a.centimetres < b.centimetres;
  if (a.differences != b.differences) return a.differences < b.differences;
  if (orderGap(a) != orderGap(b)) return orderGap(a) < orderGap(b);
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
  return Candidate{o, n, static_cast<std::int32_t>(std::llround(metres * 100)),
                   static_cast<std::uint8_t>(!directionsAgree(a, b, options.storedForm)),
                   static_cast<std::uint8_t>(valueDifferences(a, b, options.storedForm).count())};
}

// The greedy choice over the candidates in their order; cameras already taken stay out.
std::vector<CameraMatch> choose(std::vector<Candidate>& candidates, std::vector<bool>& oldTaken,
                                std::vector<bool>& newTaken) {
  std::sort(candidates.begin(), candidates.end(), candidateBefore);
  std::vector<CameraMatch> matches;
  for (const Candidate& c : candidates) {
    if (oldTaken[c.old] || newTaken[c.neu]) continue;
    oldTaken[c.old] = newTaken[c.neu] = true;
    matches.push_back({c.old, c.neu});
  }
  return matches;
}

// The mode of comparison is one for all pairs: stored as soon as a database is involved.
MatchOptions normalised(const MatchOptions& given, std::span<const DiffCamera> old, std::span<const DiffCamera> neu) {
  MatchOptions options = given;
  options.nearMetres = std::clamp(given.nearMetres, kMinNearMetres, kMaxNearMetres);
  const auto fromDatabase = [](const DiffCamera& c) { return c.fromDatabase; };
  options.storedForm = given.storedForm || std::any_of(old.begin(), old.end(), fromDatabase) ||
                       std::any_of(neu.begin(), neu.end(), fromDatabase);
  return options;
}

// The fast path's first step. Pairs at the same stored place (a section: both ends) with
// equal values are the greedy's first choices: nothing sorts before 0 cm, 0 differences and
// agreeing directions (equal values agree). So they can be chosen first, without the grid,
// among themselves in the greedy's order, and the grid needs only the cameras left. Near the
// poles distinct stored places can be less than a centimetre apart; cameras there (within
// 0.1 degree) are left to the grid, which also keeps them exact.
constexpr std::int32_t kPolarLatitude = 899000;

std::int32_t canonicalLongitude(std::int32_t lon) noexcept { return lon == -1800000 ? 1800000 : lon; }

struct IdentityKey {
  std::array<std::int32_t, 10> v{};
  friend bool operator==(const IdentityKey&, const IdentityKey&) = default;
};

IdentityKey identityKey(const DiffCamera& c, bool stored) noexcept {
  IdentityKey k;
  k.v[0] = c.section;
  k.v[1] = c.lat;
  k.v[2] = canonicalLongitude(c.lon);
  if (c.section) {
    k.v[3] = c.lat2;
    k.v[4] = canonicalLongitude(c.lon2);
  }
  if (stored) {
    k.v[5] = c.section ? 16 : low(c.type);
    k.v[6] = speedByte(c.speed);
    k.v[7] = low(c.dtype);
    k.v[8] = c.h;
    k.v[9] = c.section ? c.h2 : 0;
  } else {
    k.v[5] = c.type;
    k.v[6] = c.speed;
    k.v[7] = c.dtype;
    k.v[8] = c.direction;
    k.v[9] = c.section ? c.direction2 : 0;
  }
  return k;
}

bool polar(const DiffCamera& c) noexcept {
  return c.lat >= kPolarLatitude || c.lat <= -kPolarLatitude ||
         (c.section && (c.lat2 >= kPolarLatitude || c.lat2 <= -kPolarLatitude));
}

std::uint64_t mix(std::uint64_t h, std::uint64_t v) noexcept {
  h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
  h *= 0xBF58476D1CE4E5B9ull;
  return h ^ (h >> 31);
}

std::uint64_t hashOf(const IdentityKey& k) noexcept {
  std::uint64_t h = 0;
  for (const std::int32_t x : k.v) h = mix(h, static_cast<std::uint32_t>(x));
  return h;
}

struct Entry {
  std::uint64_t hash;
  std::uint32_t index;
  std::uint32_t isNew;
};

// The greedy among cameras that are all equal: every old-new pair among them is a first
// choice (0 cm, no difference), taken by how far apart the two stand in their sides' order
// (then old, then new). The nearest such pair of those left always stands side by side once
// the indices of both sides are merged in one order (anything between would be nearer to one
// of them), so a heap of neighbouring pairs gives the same matches as sorting all n x m pairs,
// and a crowd of equal cameras at one place costs n log n instead.
std::vector<CameraMatch> matchEqual(std::vector<Entry> items) {
  std::sort(items.begin(), items.end(),
            [](const Entry& a, const Entry& b) { return a.index != b.index ? a.index < b.index : a.isNew < b.isNew; });
  const std::size_t n = items.size();
  std::vector<std::size_t> prev(n), next(n);
  std::vector<bool> alive(n, true);
  for (std::size_t k = 0; k < n; ++k) {
    prev[k] = k == 0 ? SIZE_MAX : k - 1;
    next[k] = k + 1 == n ? SIZE_MAX : k + 1;
  }
  struct Pair {
    std::uint32_t gap, old, neu;
    std::size_t left, right;  // positions in `items`, side by side
    bool operator>(const Pair& o) const noexcept {
      if (gap != o.gap) return gap > o.gap;
      if (old != o.old) return old > o.old;
      return neu > o.neu;
    }
  };
  std::priority_queue<Pair, std::vector<Pair>, std::greater<Pair>> heap;
  const auto push = [&](std::size_t l, std::size_t r) {
    if (l == SIZE_MAX || r == SIZE_MAX || items[l].isNew == items[r].isNew) return;
    const Entry& o = items[l].isNew ? items[r] : items[l];
    const Entry& w = items[l].isNew ? items[l] : items[r];
    heap.push({o.index > w.index ? o.index - w.index : w.index - o.index, o.index, w.index, l, r});
  };
  for (std::size_t k = 0; k + 1 < n; ++k) push(k, k + 1);
  std::vector<CameraMatch> matches;
  while (!heap.empty()) {
    const Pair p = heap.top();
    heap.pop();
    if (!alive[p.left] || !alive[p.right]) continue;
    alive[p.left] = alive[p.right] = false;
    matches.push_back({p.old, p.neu});
    const std::size_t l = prev[p.left], r = next[p.right];
    if (l != SIZE_MAX) next[l] = r;
    if (r != SIZE_MAX) prev[r] = l;
    push(l, r);
  }
  return matches;
}

std::vector<CameraMatch> matchIdentical(std::span<const DiffCamera> old, std::span<const DiffCamera> neu, bool stored,
                                        std::vector<bool>& oldTaken, std::vector<bool>& newTaken) {
  std::vector<Entry> entries;
  entries.reserve(old.size() + neu.size());
  for (std::uint32_t i = 0; i < old.size(); ++i) {
    if (!polar(old[i])) entries.push_back({hashOf(identityKey(old[i], stored)), i, 0});
  }
  for (std::uint32_t i = 0; i < neu.size(); ++i) {
    if (!polar(neu[i])) entries.push_back({hashOf(identityKey(neu[i], stored)), i, 1});
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.hash != b.hash) return a.hash < b.hash;
    if (a.isNew != b.isNew) return a.isNew < b.isNew;
    return a.index < b.index;
  });
  const auto cameraOf = [&](const Entry& e) -> const DiffCamera& { return e.isNew ? neu[e.index] : old[e.index]; };
  std::vector<CameraMatch> matches;
  for (std::size_t i = 0; i < entries.size();) {
    std::size_t j = i + 1;
    while (j < entries.size() && entries[j].hash == entries[i].hash) ++j;
    if (j - i == 2 && !entries[i].isNew && entries[i + 1].isNew) {
      // The usual case: one camera on each side.
      if (identityKey(cameraOf(entries[i]), stored) == identityKey(cameraOf(entries[i + 1]), stored)) {
        matches.push_back({entries[i].index, entries[i + 1].index});
        oldTaken[entries[i].index] = newTaken[entries[i + 1].index] = true;
      }
    } else if (j - i > 2) {
      // Cameras listed more than once (or a rare clash of hashes): split by the whole key.
      std::vector<std::pair<IdentityKey, Entry>> run;
      for (std::size_t k = i; k < j; ++k) run.push_back({identityKey(cameraOf(entries[k]), stored), entries[k]});
      std::sort(run.begin(), run.end(), [](const auto& a, const auto& b) {
        if (a.first.v != b.first.v) return a.first.v < b.first.v;
        if (a.second.isNew != b.second.isNew) return a.second.isNew < b.second.isNew;
        return a.second.index < b.second.index;
      });
      for (std::size_t a = 0; a < run.size();) {
        std::size_t b = a + 1;
        while (b < run.size() && run[b].first == run[a].first) ++b;
        std::vector<Entry> equal;
        for (std::size_t k = a; k < b; ++k) equal.push_back(run[k].second);
        for (const CameraMatch& m : matchEqual(std::move(equal))) {
          oldTaken[m.old] = newTaken[m.neu] = true;
          matches.push_back(m);
        }
        a = b;
      }
    }
    i = j;
  }
  return matches;
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
  const MatchOptions options = normalised(given, old, neu);
  std::vector<bool> oldTaken(old.size()), newTaken(neu.size());
  std::vector<CameraMatch> matches = matchIdentical(old, neu, options.storedForm, oldTaken, newTaken);

  // The rest through the grid: the cameras left on both sides, with their own numbering.
  std::vector<std::uint32_t> oldLeft, newLeft;
  for (std::uint32_t i = 0; i < old.size(); ++i) {
    if (!oldTaken[i]) oldLeft.push_back(i);
  }
  for (std::uint32_t i = 0; i < neu.size(); ++i) {
    if (!newTaken[i]) newLeft.push_back(i);
  }
  std::vector<GeoPoint> points;
  points.reserve(oldLeft.size() + newLeft.size());
  for (const std::uint32_t i : oldLeft) points.push_back(startOf(old[i]));
  for (const std::uint32_t i : newLeft) points.push_back(startOf(neu[i]));
  std::vector<Candidate> candidates;
  forEachNearPairAcross(points, oldLeft.size(), options.nearMetres, [&](std::uint32_t a, std::uint32_t b, double m) {
    const std::uint32_t o = oldLeft[a], n = newLeft[b - oldLeft.size()];
    if (old[o].section != neu[n].section) return;
    if (auto c = candidate(old, neu, o, n, m, options)) candidates.push_back(*c);
  });
  points = {};
  for (const CameraMatch& m : choose(candidates, oldTaken, newTaken)) matches.push_back(m);
  std::sort(matches.begin(), matches.end(), [](const CameraMatch& a, const CameraMatch& b) { return a.old < b.old; });
  return matches;
}

std::vector<CameraMatch> matchCamerasByAllPairs(std::span<const DiffCamera> old, std::span<const DiffCamera> neu,
                                                const MatchOptions& given) {
  const MatchOptions options = normalised(given, old, neu);
  std::vector<Candidate> candidates;
  for (std::uint32_t o = 0; o < old.size(); ++o) {
    for (std::uint32_t n = 0; n < neu.size(); ++n) {
      const double m = distanceMetres(startOf(old[o]), startOf(neu[n]));
      if (!(m <= options.nearMetres)) continue;
      if (auto c = candidate(old, neu, o, n, m, options)) candidates.push_back(*c);
    }
  }
  std::vector<bool> oldTaken(old.size()), newTaken(neu.size());
  std::vector<CameraMatch> matches = choose(candidates, oldTaken, newTaken);
  std::sort(matches.begin(), matches.end(), [](const CameraMatch& a, const CameraMatch& b) { return a.old < b.old; });
  return matches;
}

}  // namespace solvane::compare

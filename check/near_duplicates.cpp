#include "check/near_duplicates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>

namespace solvane {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRad = kPi / 180.0;

// A cell spans at most this share of the search distance north-south and east-west, so any
// two positions in one cell are closer than the distance (0.49 + 0.49 < 1, with room for the
// distance formula's own error).
constexpr double kCellShare = 0.49;
// The neighbour search looks this much further than the distance, for the same reason.
constexpr double kSearchSlack = 1.01;

class UnionFind {
 public:
  explicit UnionFind(std::size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), std::size_t{0}); }
  std::size_t find(std::size_t i) noexcept {
    while (parent_[i] != i) {
      parent_[i] = parent_[parent_[i]];
      i = parent_[i];
    }
    return i;
  }
  void join(std::size_t a, std::size_t b) noexcept {
    a = find(a);
    b = find(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<std::size_t> parent_;
};

std::vector<NearGroup> groupsOf(UnionFind& uf, std::span<const GeoPoint> points) {
  const std::size_t n = points.size();
  std::vector<std::size_t> size(n, 0);
  for (std::size_t i = 0; i < n; ++i) ++size[uf.find(i)];
  std::vector<std::size_t> slot(n, SIZE_MAX);
  std::vector<NearGroup> groups;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t root = uf.find(i);
    if (size[root] < 2) continue;
    if (slot[root] == SIZE_MAX) {
      slot[root] = groups.size();
      groups.emplace_back();
      groups.back().members.reserve(size[root]);
    }
    groups[slot[root]].members.push_back(i);  // ascending, and the group's first member comes first
  }
  for (NearGroup& g : groups) {
    const GeoPoint first = points[g.members.front()];
    for (std::size_t k = 1; k < g.members.size(); ++k) {
      g.metres = std::max(g.metres, distanceMetres(first, points[g.members[k]]));
    }
  }
  return groups;
}

double lonFraction(double lon) noexcept {
  double f = std::fmod(lon + 180.0, 360.0) / 360.0;
  if (f < 0) f += 1.0;
  return f >= 1.0 ? 0.0 : f;
}

// The grid: bands of equal latitude height, each cut into as many equal longitude cells as
// keep a cell's east-west extent small enough at the band's edge nearest the equator.
class Grid {
 public:
  explicit Grid(double near) : near_(near) {
    bandRad_ = kCellShare * near / wgs84::kMaxRadius;
    bands_ = static_cast<std::int64_t>(std::floor(kPi / bandRad_)) + 1;
    reach_ = static_cast<std::int64_t>(std::ceil(kSearchSlack * near / wgs84::kMinMeridianRadius / bandRad_));
  }
  std::int64_t bandOf(double lat) const noexcept {
    const auto b = static_cast<std::int64_t>(std::floor((lat * kRad + kPi / 2) / bandRad_));
    return std::clamp<std::int64_t>(b, 0, bands_ - 1);
  }
  double lowRad(std::int64_t band) const noexcept {
    return std::max(-kPi / 2, -kPi / 2 + static_cast<double>(band) * bandRad_);
  }
  double highRad(std::int64_t band) const noexcept {
    return std::min(kPi / 2, -kPi / 2 + static_cast<double>(band + 1) * bandRad_);
  }
  double minAbsLat(std::int64_t band) const noexcept {
    const double lo = lowRad(band), hi = highRad(band);
    if (lo <= 0 && hi >= 0) return 0;
    return std::min(std::fabs(lo), std::fabs(hi));
  }
  double maxAbsLat(std::int64_t band) const noexcept {
    return std::max(std::fabs(lowRad(band)), std::fabs(highRad(band)));
  }
  // Cells in a band, remembered for the few bands last asked about: callers go band by band.
  std::int64_t cellsIn(std::int64_t band) const noexcept {
    CacheSlot& slot = cache_[static_cast<std::uint64_t>(band) % kCacheSlots];
    if (slot.band != band) slot = {band, countCells(band)};
    return slot.cells;
  }
  std::int64_t countCells(std::int64_t band) const noexcept {
    const double across = wgs84::kMaxRadius * std::cos(minAbsLat(band));
    const double cellRad = kCellShare * near_ / std::max(across, 1e-9);
    const double n = std::ceil(2 * kPi / cellRad);
    return n < 1 ? 1 : n > 4.0e9 ? std::int64_t{4000000000} : static_cast<std::int64_t>(n);
  }
  // Longitude (as a fraction of the circle) that two positions within the distance may differ
  // by, when neither lies further from the equator than `maxAbsLat`: the chord between them
  // is at least 2 r sin(dlon / 2) with r the smaller parallel's radius (at least a cos lat).
  double lonReachFraction(double maxAbsLat) const noexcept {
    const double arg = kSearchSlack * near_ / (2 * wgs84::kA * std::cos(maxAbsLat));
    if (!(arg < 1.0)) return 1.0;
    return 2 * std::asin(arg) / (2 * kPi);
  }
  std::int64_t bands() const noexcept { return bands_; }
  std::int64_t reach() const noexcept { return reach_; }

 private:
  struct CacheSlot {
    std::int64_t band = -1;
    std::int64_t cells = 0;
  };
  static constexpr std::size_t kCacheSlots = 64;
  mutable std::array<CacheSlot, kCacheSlots> cache_{};
  double near_;
  double bandRad_;
  std::int64_t bands_;
  std::int64_t reach_;
};

constexpr std::uint64_t key(std::int64_t band, std::int64_t cell) noexcept {
  return (static_cast<std::uint64_t>(band) << 32) | static_cast<std::uint64_t>(cell);
}

// The positions sorted into the grid's cells, and a walk over every pair of occupied cells
// that may hold positions within the distance of each other.
class CellWalk {
 public:
  struct Entry {
    std::uint64_t key;
    std::uint32_t index;
  };
  struct Cell {
    std::uint64_t key;
    std::uint32_t begin, end;  // a run of entries
  };

  CellWalk(std::span<const GeoPoint> points, const Grid& grid) : grid_(grid) {
    const std::size_t n = points.size();
    entries_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t band = grid.bandOf(points[i].latitude);
      const std::int64_t cells = grid.cellsIn(band);
      const auto cell = std::min<std::int64_t>(
          static_cast<std::int64_t>(lonFraction(points[i].longitude) * static_cast<double>(cells)), cells - 1);
      entries_[i] = {key(band, cell), static_cast<std::uint32_t>(i)};
    }
    std::sort(entries_.begin(), entries_.end(),
              [](const Entry& a, const Entry& b) { return a.key != b.key ? a.key < b.key : a.index < b.index; });
    for (std::size_t i = 0; i < n;) {
      std::size_t j = i + 1;
      while (j < n && entries_[j].key == entries_[i].key) ++j;
      cells_.push_back({entries_[i].key, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
      i = j;
    }
    keys_.resize(cells_.size());
    for (std::size_t c = 0; c < cells_.size(); ++c) keys_[c] = cells_[c].key;
  }

  [[nodiscard]] const std::vector<Entry>& entries() const noexcept { return entries_; }
  [[nodiscard]] const std::vector<Cell>& cells() const noexcept { return cells_; }

  // Calls measure(x, y) once for each pair of entries that may lie within the distance: the
  // pairs inside a cell, then those across neighbouring cells (see forEachNeighbour).
  template <typename Measure>
  void forEachCandidatePair(Measure&& measure) const {
    for (const Cell& c : cells_) {
      for (std::uint32_t x = c.begin; x < c.end; ++x) {
        for (std::uint32_t y = x + 1; y < c.end; ++y) measure(x, y);
      }
    }
    forEachNeighbour([&](const Cell& a, const Cell& b) {
      for (std::uint32_t x = a.begin; x < a.end; ++x) {
        for (std::uint32_t y = b.begin; y < b.end; ++y) measure(x, y);
      }
    });
  }

  // Calls visit(a, b) once for each pair of distinct occupied cells close enough to hold a
  // pair within the distance, `b` after `a` in key order.
  template <typename Visit>
  void forEachNeighbour(Visit&& visit) const {
    std::vector<std::size_t> hints(2 * static_cast<std::size_t>(grid_.reach() + 1), 0);
    const auto compareRange = [&](const Cell& a, std::uint64_t lo, std::uint64_t hi, std::size_t& hint) {
      for (std::size_t k = lowerBound(hint, lo); k < keys_.size() && keys_[k] <= hi; ++k) visit(a, cells_[k]);
    };
    for (const Cell& c : cells_) {
      const auto band = static_cast<std::int64_t>(c.key >> 32);
      const auto cell = static_cast<std::int64_t>(c.key & 0xffffffffu);
      const double cellsHere = static_cast<double>(grid_.cellsIn(band));
      const double west = static_cast<double>(cell) / cellsHere, east = static_cast<double>(cell + 1) / cellsHere;
      double maxAbs = grid_.maxAbsLat(band);
      // Only cells after this one: bands further north, and this band's cells to the east.
      for (std::int64_t b = band; b <= std::min(band + grid_.reach(), grid_.bands() - 1); ++b) {
        std::size_t* hint = &hints[2 * static_cast<std::size_t>(b - band)];
        maxAbs = std::max(maxAbs, grid_.maxAbsLat(b));
        const std::int64_t count = grid_.cellsIn(b);
        const double reach = grid_.lonReachFraction(maxAbs);
        auto first = static_cast<std::int64_t>(std::floor((west - reach) * static_cast<double>(count)));
        auto last = static_cast<std::int64_t>(std::floor((east + reach) * static_cast<double>(count)));
        if (b == band) first = cell + 1;
        if (last - first + 1 >= count || (b == band && last - cell >= count - 1)) {
          // The whole band (or this band's every other cell) is within reach.
          compareRange(c, key(b, b == band ? cell + 1 : 0), key(b, count - 1), hint[0]);
          continue;
        }
        const auto wrap = [count](std::int64_t x) { return ((x % count) + count) % count; };
        const std::int64_t f = wrap(first), l = wrap(last);
        if (f <= l) {
          compareRange(c, key(b, f), key(b, l), hint[0]);
        } else {
          compareRange(c, key(b, f), key(b, count - 1), hint[0]);
          compareRange(c, key(b, 0), key(b, l), hint[1]);
        }
      }
    }
  }

 private:
  // The first key at or after `lo`, searched from where the same search ended for the previous
  // cell: cells come in key order, so the ranges of one neighbour band move forward, and a
  // gallop from the last answer costs a few steps instead of a search of the whole array.
  std::size_t lowerBound(std::size_t& hint, std::uint64_t lo) const {
    const std::size_t n = keys_.size();
    hint = std::min(hint, n);
    if (hint > 0 && keys_[hint - 1] >= lo) {
      hint = static_cast<std::size_t>(std::lower_bound(keys_.begin(), keys_.end(), lo) - keys_.begin());
      return hint;
    }
    std::size_t from = hint, to = hint, step = 1;
    while (to < n && keys_[to] < lo) {
      from = to + 1;
      to += step;
      step *= 2;
    }
    to = std::min(to, n);
    hint = static_cast<std::size_t>(std::lower_bound(keys_.begin() + static_cast<std::ptrdiff_t>(from),
                                                     keys_.begin() + static_cast<std::ptrdiff_t>(to), lo) -
                                    keys_.begin());
    return hint;
  }

  const Grid& grid_;
  std::vector<Entry> entries_;
  std::vector<Cell> cells_;
  std::vector<std::uint64_t> keys_;
};

bool pairBefore(const NearPair& a, const NearPair& b) noexcept { return a.a != b.a ? a.a < b.a : a.b < b.b; }

}  // namespace

std::vector<NearGroup> findNearGroups(std::span<const GeoPoint> points, double nearMetres) {
  const double near = std::clamp(nearMetres, kMinNearMetres, kMaxNearMetres);
  const Grid grid(near);
  const CellWalk walk(points, grid);
  const auto& entries = walk.entries();

  UnionFind uf(points.size());
  for (const CellWalk::Cell& c : walk.cells()) {
    for (std::uint32_t e = c.begin + 1; e < c.end; ++e) uf.join(entries[c.begin].index, entries[e].index);
  }
  // Cells already in one group need no measuring, and one joined pair joins two cells.
  walk.forEachNeighbour([&](const CellWalk::Cell& a, const CellWalk::Cell& b) {
    if (uf.find(entries[a.begin].index) == uf.find(entries[b.begin].index)) return;
    for (std::uint32_t x = a.begin; x < a.end; ++x) {
      for (std::uint32_t y = b.begin; y < b.end; ++y) {
        if (distanceMetres(points[entries[x].index], points[entries[y].index]) <= near) {
          uf.join(entries[x].index, entries[y].index);
          return;
        }
      }
    }
  });
  return groupsOf(uf, points);
}

std::vector<NearPair> findNearPairs(std::span<const GeoPoint> points, double nearMetres,
                                    const std::function<bool(std::size_t, std::size_t)>& wanted) {
  const double near = std::clamp(nearMetres, kMinNearMetres, kMaxNearMetres);
  const Grid grid(near);
  const CellWalk walk(points, grid);
  const auto& entries = walk.entries();
  std::vector<NearPair> pairs;
  const auto measure = [&](std::uint32_t x, std::uint32_t y) {
    std::size_t i = entries[x].index, j = entries[y].index;
    if (i > j) std::swap(i, j);
    if (wanted && !wanted(i, j)) return;
    const double m = distanceMetres(points[i], points[j]);
    if (m <= near) pairs.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), m});
  };
  walk.forEachCandidatePair(measure);
  std::sort(pairs.begin(), pairs.end(), pairBefore);
  return pairs;
}

void forEachNearPairAcross(std::span<const GeoPoint> points, std::size_t split, double nearMetres,
                           const std::function<void(std::uint32_t, std::uint32_t, double)>& visit) {
  const double near = std::clamp(nearMetres, kMinNearMetres, kMaxNearMetres);
  const Grid grid(near);
  const CellWalk walk(points, grid);
  const auto& entries = walk.entries();
  // No two positions are closer than their latitudes' difference along the flattest meridian
  // (the great-circle angle is at least that difference, the radius at least the smallest),
  // which rules out most neighbours without the trigonometry of the distance.
  const double latReach = near / wgs84::kMinMeridianRadius / kRad * (1 + 1e-9);  // rounding slack
  const auto measure = [&](std::uint32_t x, std::uint32_t y) {
    std::uint32_t i = entries[x].index, j = entries[y].index;
    if ((i < split) == (j < split)) return;
    if (i > j) std::swap(i, j);
    if (std::fabs(points[i].latitude - points[j].latitude) > latReach) return;
    const double m = distanceMetres(points[i], points[j]);
    if (m <= near) visit(i, j, m);
  };
  walk.forEachCandidatePair(measure);
}

std::vector<NearPair> findNearPairsByAllPairs(std::span<const GeoPoint> points, double nearMetres,
                                              const std::function<bool(std::size_t, std::size_t)>& wanted) {
  const double near = std::clamp(nearMetres, kMinNearMetres, kMaxNearMetres);
  std::vector<NearPair> pairs;
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (std::size_t j = i + 1; j < points.size(); ++j) {
      if (wanted && !wanted(i, j)) continue;
      const double m = distanceMetres(points[i], points[j]);
      if (m <= near) pairs.push_back({static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j), m});
    }
  }
  return pairs;
}

std::vector<NearGroup> findNearGroupsByAllPairs(std::span<const GeoPoint> points, double nearMetres) {
  const double near = std::clamp(nearMetres, kMinNearMetres, kMaxNearMetres);
  UnionFind uf(points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (std::size_t j = i + 1; j < points.size(); ++j) {
      if (distanceMetres(points[i], points[j]) <= near) uf.join(i, j);
    }
  }
  return groupsOf(uf, points);
}

}  // namespace solvane

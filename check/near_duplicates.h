// Near duplicates: camera positions closer together than a given distance, found with a grid
// so that a million positions take about a second.
//
// Positions within the distance of each other are joined, and joined positions form a group
// (one camera listed twice makes a pair; a crossing listed from several sources makes a
// cluster). Each group is reported once, however many pairs it holds, so a thousand cameras
// at one crossing are one group of a thousand, not half a million pairs.
//
// The grid's cells are at most about half the distance across, so all positions in one cell
// are joined without measuring; cells are compared with their neighbours only until the
// first joined pair, and not at all once they are in the same group. Positions at the
// poles and on both sides of the antimeridian are found like any others.
//
// Usage:
//   const std::vector<NearPair> pairs = findNearPairs(points, 50.0);  // every pair, for matching
//   const std::vector<NearGroup> groups = findNearGroups(points, 20.0);
//   for (const NearGroup& g : groups) ... g.members (indices into points) ...
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "check/geodesy.h"

namespace solvane {

// The search distance is held to this range: below half a metre the grid's keys would not
// fit in 64 bits, and above 10 km positions are no longer "the same place".
inline constexpr double kMinNearMetres = 0.5;
inline constexpr double kMaxNearMetres = 10000.0;

struct NearGroup {
  std::vector<std::size_t> members;  // indices into the positions, ascending, at least two
  // For a pair the distance between its two positions; for a larger group the greatest
  // distance of a member from the first one.
  double metres = 0;
};

// Groups of positions joined by distances of at most `nearMetres` (clamped to the range
// above), ordered by their first member. Positions must have latitudes within -90..90.
[[nodiscard]] std::vector<NearGroup> findNearGroups(std::span<const GeoPoint> points, double nearMetres);

// The same by measuring every pair: the reference for tests, quadratic.
[[nodiscard]] std::vector<NearGroup> findNearGroupsByAllPairs(std::span<const GeoPoint> points, double nearMetres);

// Every pair of positions at most `nearMetres` apart (clamped as above), each once with
// a < b, ordered by a, then b: for matching cameras one to one, which needs each candidate
// rather than groups. `wanted`, when set, is asked before measuring (a diff wants only pairs
// across its two sides). At most 2^32 - 1 positions.
struct NearPair {
  std::uint32_t a = 0, b = 0;
  double metres = 0;
};
[[nodiscard]] std::vector<NearPair> findNearPairs(std::span<const GeoPoint> points, double nearMetres,
                                                  const std::function<bool(std::size_t, std::size_t)>& wanted = {});
// Every pair of a position before `split` and one from `split` on (two sets in one span) at
// most `nearMetres` apart, handed to visit(a, b, metres) with a < split <= b, in no particular
// order: for matching two sets of a million positions each without holding every pair.
void forEachNearPairAcross(std::span<const GeoPoint> points, std::size_t split, double nearMetres,
                           const std::function<void(std::uint32_t a, std::uint32_t b, double metres)>& visit);
// The same by measuring every pair: the reference for tests, quadratic.
[[nodiscard]] std::vector<NearPair> findNearPairsByAllPairs(
    std::span<const GeoPoint> points, double nearMetres,
    const std::function<bool(std::size_t, std::size_t)>& wanted = {});

}  // namespace solvane

// Matching the cameras of two releases one to one: a camera has no lasting identity (IDX is
// renumbered at will), so it is "the same" when it stands at the same place facing the same
// way.
//
// Candidates. An old and a new camera are a candidate pair when both are points, or both are
// sections, and their positions (a section: both its ends) lie within `near` metres of each
// other on the WGS84 ellipsoid, across the antimeridian and the poles as anywhere else.
//
// Choice. The candidates are sorted by, in this order:
//   1. direction: pairs whose directions of travel agree first (DTYPE 1 within 30 degrees,
//      DTYPE 2 either way along its axis, a camera without a direction agreeing with any),
//      so a camera turned round is matched only when no camera facing its way is left near it;
//   2. distance (a section: the sum of its two ends' distances), nearest first, to the
//      centimetre;
//   3. the number of values that differ (TYPE, SPD, DTYPE, DIR, DIR2), fewest first;
//   4. how far apart the two stand in their sides' order, then the old camera's place in its
//      side, then the new one's: ties of the above are resolved by source order.
// Then the pairs are taken greedily in that order, each only while neither of its cameras is
// matched yet. So every camera is matched at most once, and the same input always gives the
// same matches: nothing depends on the order of a hash, a thread or the grid. Among cameras
// equally near, the one that agrees in its values wins; a camera moved onto another one's
// place leaves that place to the camera that was there (distance 0 and equal values first).
//
// The fast path finds the candidates on the near-duplicate grid (check/near_duplicates.h); the
// reference measures every pair. Both end in the same choice.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "compare/release_side.h"

namespace solvane::compare {

// Cameras farther apart than this are different cameras: a camera surveyed again moves by a
// few metres, one whose post was moved by some tens, while two cameras of one road facing the
// same way stand hundreds of metres apart.
inline constexpr double kDefaultDiffNearMetres = 50.0;

struct MatchOptions {
  double nearMetres = kDefaultDiffNearMetres;
  // Compare the values as the database stores them (TYPE 16 for sections, speeds below 10 as
  // 0, directions as H): set when either side holds a database, whose cameras have nothing
  // else.
  bool storedForm = false;
};

struct CameraMatch {
  std::uint32_t old = 0, neu = 0;  // indices into the two sides' cameras
};

// The values of a pair that differ, by the rule of MatchOptions::storedForm.
struct ValueDifferences {
  bool type = false, speed = false, dtype = false, direction = false, direction2 = false;
  [[nodiscard]] int count() const noexcept { return type + speed + dtype + direction + direction2; }
  [[nodiscard]] bool any() const noexcept { return count() > 0; }
};
[[nodiscard]] ValueDifferences valueDifferences(const DiffCamera& a, const DiffCamera& b, bool storedForm) noexcept;

// Whether two cameras' directions of travel agree (rule 1 above).
[[nodiscard]] bool directionsAgree(const DiffCamera& a, const DiffCamera& b, bool storedForm) noexcept;

// The matches, ordered by the old camera's index.
[[nodiscard]] std::vector<CameraMatch> matchCameras(std::span<const DiffCamera> old, std::span<const DiffCamera> neu,
                                                    const MatchOptions& options);
// The same by measuring every pair: the reference for tests, quadratic.
[[nodiscard]] std::vector<CameraMatch> matchCamerasByAllPairs(std::span<const DiffCamera> old,
                                                              std::span<const DiffCamera> neu,
                                                              const MatchOptions& options);

}  // namespace solvane::compare

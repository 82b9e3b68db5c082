// Quality findings: faults of camera lists that convert without complaint but put a wrong
// camera on a driver's screen. They complement the row check (row_check.h), which finds rows
// the conversion skips or writes at 0.
//
// Each finding has a kind (a stable name for scripts), a severity, the row it is about, the
// other rows it names, its text and the cells it rests on, and its place on the map. A
// problem is a value the device will certainly get wrong (a direction outside the compass,
// a section without a speed, X and Y exchanged); a note is a likely fault that may be meant
// (two cameras a few metres apart, a section far longer than usual).
//
// Direction types: DTYPE 0 has no direction, DTYPE 1 warns in the direction DIR (compass
// degrees, 0 north, clockwise, the direction of travel), DTYPE 2 in both directions along DIR.
//
// Usage:
//   QualityOptions options;  // --near, --section-min, --section-max
//   for (const QualityFinding& f : checkQuality(table, options, nameOfRow)) ...
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "check/geodesy.h"
#include "table/camera_table.h"

namespace solvane {

// Two positions this close are the same camera listed twice: GPS fixes of one camera from two
// sources differ by a few metres, while two real cameras are seldom closer than a lane or two
// apart (and then face different ways).
inline constexpr double kDefaultNearMetres = 20.0;
// Two rows written at the same coordinates (each truncated to 1/10000 degree) are at most
// 15.7 m apart, the diagonal of such a cell at the equator: a near-duplicate search over at
// least this distance finds every such pair itself, with more to say about it.
inline constexpr double kNearCoversSameCoordinatesMetres = 16.0;
// Average-speed sections run from a few hundred metres to some tens of kilometres; shorter
// ones cannot time a vehicle usefully, longer ones are rare enough to deserve a look.
inline constexpr double kDefaultSectionMinMetres = 200.0;
inline constexpr double kDefaultSectionMaxMetres = 50000.0;
// No average-speed section anywhere is this long: an end point this far from its start
// belongs to another section or has a mistyped coordinate.
inline constexpr double kSectionEndFarMetres = 300000.0;
// A section shorter than this starts and ends at the same place: a position's digits were
// copied to both lines (1 m is far below any GPS fix's scatter).
inline constexpr double kSectionSameSpotMetres = 1.0;
// Two directions count as the same within this angle: lists round directions to the road's
// bearing, which two sources measure some degrees apart, while different carriageways or
// approaches to a crossing differ by 90 degrees or more.
inline constexpr double kSameDirectionDegrees = 30.0;
// A section's DIR (its direction of travel at the start) more than a right angle off the
// bearing from its start to its end points the wrong way; roads bend, but not backwards.
inline constexpr double kSectionDirectionToleranceDegrees = 90.0;
// The list's area reaches this many interquartile ranges beyond the quartiles of its
// latitudes and of its longitudes (Tukey's "far out" fence: a few strays do not widen it),
// and this much further (about 100 km), so that a point outside it is far outside.
inline constexpr double kAreaFenceIqrs = 3.0;
inline constexpr double kAreaMarginDegrees = 1.0;
// With fewer rows the area says too little to call a point an outlier.
inline constexpr std::size_t kMinRowsForArea = 20;
// A TYPE enforces speed when at least this many of its points, and this share of them, carry
// a speed the device keeps (10 or more): then a point of that TYPE without one lost its limit.
inline constexpr std::size_t kSpeedTypeMinRows = 10;
inline constexpr double kSpeedTypeShare = 0.9;
// Speed limits are multiples of 5 (km/h or mph) and none enforced by a camera exceeds 150.
inline constexpr int kSpeedStep = 5;
inline constexpr int kMaxPlausibleSpeed = 150;

struct QualityOptions {
  double nearMetres = kDefaultNearMetres;  // 0: no near-duplicate search
  double sectionMinMetres = kDefaultSectionMinMetres;
  double sectionMaxMetres = kDefaultSectionMaxMetres;
};

struct QualityFinding {
  const char* kind = "";            // e.g. "nearDuplicate"
  bool problem = false;             // false: a note
  std::size_t row = 0;              // the table row it is about
  std::vector<std::size_t> others;  // further rows it names (a near duplicate's partner, a cluster)
  std::string text;            // e.g. "near duplicate: 12.3 m from mine.txt:5, same direction, same TYPE, same speed"
  std::string cells;           // the cells it rests on, e.g. "X \"10.5\", Y \"50.5\""
  GeoPoint at;                 // where it is: the row's position
  std::optional<GeoPoint> to;  // a line's other end: the partner, or the section's end point
  std::size_t groupSize = 0;   // near duplicates: rows in the group (2 for a pair)
  double metres = 0;           // near duplicates: the distance; sections: the length
};

// How a finding names another row, e.g. "mine.txt:5" or "row 5".
using RowNamer = std::function<std::string(std::size_t row)>;

// The findings of a whole table, ordered by row, problems before notes within a row.
[[nodiscard]] std::vector<QualityFinding> checkQuality(const CameraTable& table, const QualityOptions& options,
                                                       const RowNamer& nameOf);

// The distance as the findings print it: "0.4 m", "12.3 m", "1.25 km", "450 km".
[[nodiscard]] std::string formatMetres(double metres);

}  // namespace solvane

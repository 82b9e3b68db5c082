// Distances and bearings between camera positions on the WGS84 ellipsoid, for the quality
// checks (near duplicates, section lengths, swapped coordinates).
//
// The distance is the great-circle angle times the ellipsoid's radius of curvature at the
// pair's midpoint in the pair's own direction. Up to a few hundred kilometres that is within
// 0.01 % of the geodesic, it stays right at the poles and across the antimeridian, and it
// costs one haversine.
//
// Usage:
//   const double m = distanceMetres({37.5, 127.0}, {37.5001, 127.0});  // about 11 m
#pragma once

namespace solvane {

struct GeoPoint {
  double latitude = 0;   // degrees, -90..90
  double longitude = 0;  // degrees; any value, taken modulo 360
};

namespace wgs84 {
inline constexpr double kA = 6378137.0;                         // equatorial radius, metres
inline constexpr double kF = 1.0 / 298.257223563;               // flattening
inline constexpr double kE2 = kF * (2.0 - kF);                  // first eccentricity squared
inline constexpr double kMinMeridianRadius = kA * (1.0 - kE2);  // at the equator, about 6335439 m
inline constexpr double kMaxRadius = 6399593.6258;              // a / sqrt(1 - e2): both radii at the poles
}  // namespace wgs84

[[nodiscard]] double distanceMetres(GeoPoint a, GeoPoint b) noexcept;

// Initial compass bearing from a towards b in degrees, 0 north, clockwise, 0 <= result < 360
// (on the sphere; an ellipsoidal bearing differs by a fraction of a degree, far less than
// any direction tolerance of the checks).
[[nodiscard]] double bearingDegrees(GeoPoint a, GeoPoint b) noexcept;

// The smaller angle between two compass directions, 0..180.
[[nodiscard]] double angleBetweenDegrees(double a, double b) noexcept;

}  // namespace solvane

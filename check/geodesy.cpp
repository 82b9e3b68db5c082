#include "check/geodesy.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace solvane {
namespace {

constexpr double kRad = std::numbers::pi / 180.0;

struct Vec {
  double x, y, z;
};

Vec unit(GeoPoint p) noexcept {
  const double la = p.latitude * kRad, lo = p.longitude * kRad;
  return {std::cos(la) * std::cos(lo), std::cos(la) * std::sin(lo), std::sin(la)};
}

}  // namespace

double distanceMetres(GeoPoint a, GeoPoint b) noexcept {
  const double la1 = a.latitude * kRad, la2 = b.latitude * kRad;
  const double dla = la2 - la1, dlo = (b.longitude - a.longitude) * kRad;
  const double s1 = std::sin(dla / 2), s2 = std::sin(dlo / 2);
  const double h = std::clamp(s1 * s1 + std::cos(la1) * std::cos(la2) * s2 * s2, 0.0, 1.0);
  const double sigma = 2.0 * std::asin(std::sqrt(h));
  if (sigma == 0.0) return 0.0;

  // The direction of the pair at its midpoint, from the chord between the two unit vectors.
  const Vec u = unit(a), v = unit(b);
  const Vec m{u.x + v.x, u.y + v.y, u.z + v.z};
  const double mh = std::hypot(m.x, m.y);
  const double latM = std::atan2(m.z, mh);
  const double lonM = mh > 0 ? std::atan2(m.y, m.x) : 0.0;
  const Vec d{v.x - u.x, v.y - u.y, v.z - u.z};
  const double north =
      -std::sin(latM) * std::cos(lonM) * d.x - std::sin(latM) * std::sin(lonM) * d.y + std::cos(latM) * d.z;
  const double east = -std::sin(lonM) * d.x + std::cos(lonM) * d.y;
  const double nn = north * north, ee = east * east;
  const double cos2 = nn + ee > 0 ? nn / (nn + ee) : 1.0;

  // Radii of curvature at the midpoint: along the meridian (M) and across it (N); the radius
  // in azimuth alpha is Euler's M N / (N cos^2 + M sin^2).
  const double sl = std::sin(latM);
  const double w2 = 1.0 - wgs84::kE2 * sl * sl;
  const double nRad = wgs84::kA / std::sqrt(w2);
  const double mRad = nRad * (1.0 - wgs84::kE2) / w2;
  const double r = mRad * nRad / (nRad * cos2 + mRad * (1.0 - cos2));
  return sigma * r;
}

double bearingDegrees(GeoPoint a, GeoPoint b) noexcept {
  const double la1 = a.latitude * kRad, la2 = b.latitude * kRad;
  const double dlo = (b.longitude - a.longitude) * kRad;
  const double y = std::sin(dlo) * std::cos(la2);
  const double x = std::cos(la1) * std::sin(la2) - std::sin(la1) * std::cos(la2) * std::cos(dlo);
  double deg = std::atan2(y, x) / kRad;
  if (deg < 0) deg += 360.0;
  return deg >= 360.0 ? 0.0 : deg;
}

double angleBetweenDegrees(double a, double b) noexcept {
  double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

}  // namespace solvane

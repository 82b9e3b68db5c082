#include "check/near_duplicates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "check/geodesy.h"

namespace solvane {
namespace {

// Vincenty's inverse formula on WGS84, iterated to 1e-13 rad: the geodesic to a fraction of a
// millimetre for points that are not nearly antipodal.
double vincentyMetres(GeoPoint p, GeoPoint q) {
  constexpr double a = wgs84::kA, f = wgs84::kF, b = a * (1 - f);
  constexpr double rad = std::numbers::pi / 180.0;
  const double L = (q.longitude - p.longitude) * rad;
  const double U1 = std::atan((1 - f) * std::tan(p.latitude * rad)),
               U2 = std::atan((1 - f) * std::tan(q.latitude * rad));
  const double sinU1 = std::sin(U1), cosU1 = std::cos(U1), sinU2 = std::sin(U2), cosU2 = std::cos(U2);
  double lambda = L, sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
  for (int k = 0; k < 200; ++k) {
    const double sinL = std::sin(lambda), cosL = std::cos(lambda);
    sinSigma = std::hypot(cosU2 * sinL, cosU1 * sinU2 - sinU1 * cosU2 * cosL);
    if (sinSigma == 0) return 0;
    cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosL;
    sigma = std::atan2(sinSigma, cosSigma);
    const double sinAlpha = cosU1 * cosU2 * sinL / sinSigma;
    cos2Alpha = 1 - sinAlpha * sinAlpha;
    cos2SigmaM = cos2Alpha != 0 ? cosSigma - 2 * sinU1 * sinU2 / cos2Alpha : 0;
    const double C = f / 16 * cos2Alpha * (4 + f * (4 - 3 * cos2Alpha));
    const double prev = lambda;
    lambda = L + (1 - C) * f * sinAlpha *
                     (sigma + C * sinSigma * (cos2SigmaM + C * cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM)));
    if (std::fabs(lambda - prev) < 1e-13) break;
  }
  const double u2 = cos2Alpha * (a * a - b * b) / (b * b);
  const double A = 1 + u2 / 16384 * (4096 + u2 * (-768 + u2 * (320 - 175 * u2)));
  const double B = u2 / 1024 * (256 + u2 * (-128 + u2 * (74 - 47 * u2)));
  const double dSigma =
      B * sinSigma *
      (cos2SigmaM + B / 4 *
                        (cosSigma * (-1 + 2 * cos2SigmaM * cos2SigmaM) -
                         B / 6 * cos2SigmaM * (-3 + 4 * sinSigma * sinSigma) * (-3 + 4 * cos2SigmaM * cos2SigmaM)));
  return b * A * (sigma - dSigma);
}

// A point `metres` from p in compass direction `bearing`, on a sphere: good enough to place
// test points at a chosen spacing.
GeoPoint offset(GeoPoint p, double metres, double bearing) {
  constexpr double rad = std::numbers::pi / 180.0, r = 6371008.8;
  const double d = metres / r, br = bearing * rad, la = p.latitude * rad, lo = p.longitude * rad;
  const double la2 = std::asin(std::sin(la) * std::cos(d) + std::cos(la) * std::sin(d) * std::cos(br));
  const double lo2 =
      lo + std::atan2(std::sin(br) * std::sin(d) * std::cos(la), std::cos(d) - std::sin(la) * std::sin(la2));
  double lon = lo2 / rad;
  if (lon > 180) lon -= 360;
  if (lon < -180) lon += 360;
  return {la2 / rad, lon};
}

TEST(Geodesy, DistanceWithinAHundredthOfAPercentOfTheGeodesicEverywhere) {
  std::mt19937_64 rng(15);
  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180), bearing(0, 360);
  std::uniform_real_distribution<double> logMetres(0, std::log(300000.0));
  double worst = 0;
  for (int k = 0; k < 20000; ++k) {
    GeoPoint p{lat(rng), lon(rng)};
    if (k % 4 == 0) p.latitude = std::copysign(89.99 + 0.01 * std::fabs(lat(rng)) / 90, p.latitude);  // near a pole
    if (k % 4 == 1) p.longitude = std::copysign(179.999, p.longitude);  // the antimeridian
    const GeoPoint q = offset(p, std::exp(logMetres(rng)), bearing(rng));
    const double ref = vincentyMetres(p, q);
    if (ref < 1.0) continue;
    worst = std::max(worst, std::fabs(distanceMetres(p, q) - ref) / ref);
  }
  EXPECT_LT(worst, 1e-4) << "worst relative error " << worst;
  // A degree of latitude: 110574 m at the equator, 111694 m at the poles.
  EXPECT_NEAR(distanceMetres({0, 10}, {1, 10}), 110574, 3);
  EXPECT_NEAR(distanceMetres({89, 10}, {90, 10}), 111694, 3);
  EXPECT_NEAR(distanceMetres({0, 179.9999}, {0, -179.9999}), 22.26, 0.01);
}

TEST(Geodesy, BearingsAndAngles) {
  EXPECT_NEAR(bearingDegrees({0, 0}, {1, 0}), 0, 1e-9);
  EXPECT_NEAR(bearingDegrees({0, 0}, {0, 1}), 90, 1e-9);
  EXPECT_NEAR(bearingDegrees({0, 0}, {-1, 0}), 180, 1e-9);
  EXPECT_NEAR(bearingDegrees({0, 0}, {0, -1}), 270, 1e-9);
  EXPECT_NEAR(bearingDegrees({0, 179.99}, {0, -179.99}), 90, 1e-6);
  EXPECT_DOUBLE_EQ(angleBetweenDegrees(350, 10), 20);
  EXPECT_DOUBLE_EQ(angleBetweenDegrees(0, 180), 180);
  EXPECT_DOUBLE_EQ(angleBetweenDegrees(90, 450), 0);
}

std::string describe(const std::vector<NearGroup>& groups) {
  std::string s;
  for (const NearGroup& g : groups) {
    s += "{";
    for (const std::size_t m : g.members) s += std::to_string(m) + " ";
    s += "}";
  }
  return s;
}

void expectSameAsAllPairs(const std::vector<GeoPoint>& points, double near) {
  const std::vector<NearGroup> fast = findNearGroups(points, near);
  const std::vector<NearGroup> slow = findNearGroupsByAllPairs(points, near);
  ASSERT_EQ(describe(fast), describe(slow));
  for (std::size_t k = 0; k < fast.size(); ++k) EXPECT_DOUBLE_EQ(fast[k].metres, slow[k].metres);
}

// Lists where the grid could go wrong: pairs straddling the distance in every direction,
// dense clusters, the poles, both sides of the antimeridian, and one crossing of equal
// positions.
std::vector<GeoPoint> generated(std::mt19937_64& rng, GeoPoint centre, double spread, double near, std::size_t n) {
  std::uniform_real_distribution<double> unit(0, 1), bearing(0, 360);
  std::vector<GeoPoint> points;
  while (points.size() < n) {
    GeoPoint p = offset(centre, spread * std::sqrt(unit(rng)), bearing(rng));
    const double r = unit(rng);
    points.push_back(p);
    if (r < 0.3) {
      // a partner just inside or just outside the distance
      points.push_back(offset(p, near * (0.98 + 0.04 * unit(rng)), bearing(rng)));
    } else if (r < 0.35) {
      // a small cluster
      for (int k = 0; k < 12; ++k) points.push_back(offset(p, near * 1.5 * unit(rng), bearing(rng)));
    } else if (r < 0.37) {
      for (int k = 0; k < 4; ++k) points.push_back(p);
    }
  }
  return points;
}

TEST(NearDuplicates, GridFindsTheSameGroupsAsAllPairs) {
  std::mt19937_64 rng(2026);
  struct Case {
    const char* where;
    GeoPoint centre;
    double spread;  // metres
  };
  const Case cases[] = {
      {"mid latitudes", {37.5, 127.0}, 2000}, {"equator", {0.0, 10.0}, 1500},
      {"antimeridian", {-16.5, 180.0}, 1500}, {"north pole", {90.0, 0.0}, 800},
      {"south pole", {-89.9995, 45.0}, 800},  {"high latitude", {78.2, 15.6}, 1500},
  };
  for (const Case& c : cases) {
    for (const double near : {0.5, 5.0, 20.0, 150.0}) {
      SCOPED_TRACE(std::string(c.where) + ", near " + std::to_string(near));
      const double spread = c.spread * std::max(1.0, near / 20.0);
      const std::vector<GeoPoint> points = generated(rng, c.centre, spread, near, 1200);
      expectSameAsAllPairs(points, near);
      // Every pair, not only the groups, and with a filter that keeps pairs across two sets
      // (here: even and odd positions, as partners follow each other) as a diff asks for them.
      const auto describePairs = [](const std::vector<NearPair>& pairs) {
        std::string s;
        for (const NearPair& p : pairs) s += std::to_string(p.a) + "-" + std::to_string(p.b) + " ";
        return s;
      };
      EXPECT_EQ(describePairs(findNearPairs(points, near)), describePairs(findNearPairsByAllPairs(points, near)));
      const auto across = [](std::size_t a, std::size_t b) { return a % 2 != b % 2; };
      const std::vector<NearPair> fast = findNearPairs(points, near, across);
      EXPECT_EQ(describePairs(fast), describePairs(findNearPairsByAllPairs(points, near, across)));
      EXPECT_FALSE(fast.empty());
      // Two sets in one span, pairs handed out one by one.
      const std::size_t split = points.size() / 3;
      std::vector<NearPair> visited;
      forEachNearPairAcross(points, split, near, [&](std::uint32_t a, std::uint32_t b, double m) {
        visited.push_back({a, b, m});
      });
      std::sort(visited.begin(), visited.end(),
                [](const NearPair& x, const NearPair& y) { return x.a != y.a ? x.a < y.a : x.b < y.b; });
      EXPECT_EQ(describePairs(visited),
                describePairs(findNearPairsByAllPairs(
                    points, near, [split](std::size_t a, std::size_t b) { return a < split && b >= split; })));
    }
  }
}

TEST(NearDuplicates, PairsAcrossTheAntimeridianAndThePole) {
  const std::vector<GeoPoint> points{
      {10.0, 179.99995}, {10.0, -179.99995},  // 11 m apart across 180
      {89.99999, 0.0},   {89.99999, 180.0},   // 2.2 m apart across the pole
      {-90.0, 0.0},      {-90.0, 123.0},      // the same point
      {10.0, 170.0},
  };
  const std::vector<NearGroup> groups = findNearGroups(points, 20.0);
  ASSERT_EQ(describe(groups), "{0 1 }{2 3 }{4 5 }");
  const std::vector<NearPair> pairs = findNearPairs(points, 20.0);
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].b, 1u);
  EXPECT_NEAR(pairs[0].metres, 10.96, 0.05);
  EXPECT_NEAR(groups[0].metres, 10.96, 0.05);
  EXPECT_NEAR(groups[2].metres, 0.0, 1e-6);
}

TEST(NearDuplicates, ADenseClusterIsOneGroup) {
  // 3000 cameras at one crossing, within 5 m: one group, found without measuring 4.5 million pairs.
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> jitter(-0.00002, 0.00002);
  std::vector<GeoPoint> points;
  for (int k = 0; k < 3000; ++k) points.push_back({48.1 + jitter(rng), 11.5 + jitter(rng)});
  points.push_back({48.2, 11.5});
  const std::vector<NearGroup> groups = findNearGroups(points, 20.0);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].members.size(), 3000u);
  EXPECT_LT(groups[0].metres, 10.0);
}

}  // namespace
}  // namespace solvane

#include "bench/list_generator.h"

#include <array>
#include <charconv>

namespace solvane::bench {
namespace {

// splitmix64: tiny, fast and the same on every platform and standard library (the
// distributions of <random> are not), so a seed means the same file everywhere.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) noexcept : state_(seed) {}
  std::uint64_t next() noexcept {
    std::uint64_t x = (state_ += 0x9E3779B97F4A7C15ull);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
  }
  // Uniform in [0, n).
  std::uint64_t below(std::uint64_t n) noexcept { return next() % n; }
  // Roughly normal, mean 0, spread about `sigma` (sum of four uniforms), in integer units.
  std::int64_t bell(std::int64_t sigma) noexcept {
    std::int64_t sum = 0;
    for (int i = 0; i < 4; ++i) sum += static_cast<std::int64_t>(below(2'000'001)) - 1'000'000;
    return sum * sigma / 1'154'700;  // sd of the sum is 2/sqrt(3) * 1e6
  }

 private:
  std::uint64_t state_;
};

// Cities as (longitude, latitude) in micro-degrees, a weight in points per thousand and a
// spread in micro-degrees. The rest of the points are spread thinly over the whole country.
struct City {
  std::int64_t lon, lat;
  int weight;
  std::int64_t spread;
};
constexpr std::array<City, 10> kCities{{
    {126'978'000, 37'566'000, 260, 90'000},
    {129'075'000, 35'180'000, 110, 60'000},
    {128'601'000, 35'871'000, 70, 50'000},
    {126'705'000, 37'456'000, 80, 50'000},
    {126'851'000, 35'160'000, 50, 40'000},
    {127'385'000, 36'351'000, 50, 40'000},
    {129'311'000, 35'539'000, 30, 35'000},
    {127'029'000, 37'263'000, 70, 45'000},
    {128'590'000, 38'200'000, 20, 80'000},
    {126'531'000, 33'499'000, 20, 40'000},
}};
constexpr int kCityShare = 760;  // per thousand; the rest is rural
constexpr std::int64_t kWestLon = 125'000'000, kEastLon = 129'600'000;
constexpr std::int64_t kSouthLat = 33'100'000, kNorthLat = 38'600'000;

constexpr std::array<const char*, 8> kTypes{"1", "1", "1", "2", "4", "5", "7", "8"};
constexpr std::array<int, 9> kSpeeds{30, 40, 50, 60, 60, 70, 80, 100, 110};

void putInt(std::string& out, std::int64_t v) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// Micro-degrees as decimal degrees with six decimals, or seven when `extra` is set (some
// lists carry one more digit).
void putDegrees(std::string& out, std::int64_t micro, std::uint64_t extra) {
  if (micro < 0) {
    out.push_back('-');
    micro = -micro;
  }
  putInt(out, micro / 1'000'000);
  out.push_back('.');
  char frac[8];
  std::int64_t f = micro % 1'000'000;
  for (int i = 5; i >= 0; --i) {
    frac[i] = static_cast<char>('0' + f % 10);
    f /= 10;
  }
  out.append(frac, 6);
  if (extra) out.push_back(static_cast<char>('0' + extra % 10));
}

struct Point {
  std::int64_t lon, lat;
};

Point randomPoint(Rng& rng) {
  if (static_cast<int>(rng.below(1000)) < kCityShare) {
    int pick = static_cast<int>(rng.below(760));
    for (const City& c : kCities) {
      if (pick < c.weight) return {c.lon + rng.bell(c.spread), c.lat + rng.bell(c.spread)};
      pick -= c.weight;
    }
  }
  return {kWestLon + static_cast<std::int64_t>(rng.below(kEastLon - kWestLon)),
          kSouthLat + static_cast<std::int64_t>(rng.below(kNorthLat - kSouthLat))};
}

void putPointLine(std::string& out, Rng& rng, const std::string& idx, Point p, bool section) {
  out += idx;
  out.push_back(',');
  putDegrees(out, p.lon, rng.below(8) == 0 ? rng.next() | 1 : 0);
  out.push_back(',');
  putDegrees(out, p.lat, rng.below(8) == 0 ? rng.next() | 1 : 0);
  out.push_back(',');
  // A few lists leave TYPE empty; the loader stores it as "3".
  if (section) {
    out += "2";
  } else if (rng.below(200) != 0) {
    out += kTypes[rng.below(kTypes.size())];
  }
  out.push_back(',');
  putInt(out, kSpeeds[rng.below(kSpeeds.size())]);
  out.push_back(',');
  putInt(out, static_cast<std::int64_t>(rng.below(3)));
  out.push_back(',');
  putInt(out, static_cast<std::int64_t>(rng.below(360)));
  out += "\r\n";
}

constexpr const char* kHeader = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n";

}  // namespace

std::size_t sectionsFor(std::size_t points) noexcept { return points / 50; }

GeneratedLists generateLists(std::size_t points, std::size_t sections, std::uint64_t seed) {
  GeneratedLists lists;
  Rng rng(seed);

  std::string& normal = lists.normal;
  normal.reserve(points * 42 + points / 20 + 256);
  normal += "// Camera list, generated for benchmarks (seed ";
  putInt(normal, static_cast<std::int64_t>(seed & 0x7FFFFFFF));
  normal += ")\r\n";
  normal += kHeader;
  std::string idx;
  std::size_t region = 0;
  for (std::size_t i = 1; i <= points; ++i) {
    // Lists are kept in blocks by region, each opened by a comment line, now and then
    // separated by an empty line.
    if (i % 2000 == 1) {
      if (region && rng.below(4) == 0) normal += "\r\n";
      normal += "// region ";
      putInt(normal, static_cast<std::int64_t>(++region));
      normal += ", checked 2024-10\r\n";
    }
    idx.clear();
    putInt(idx, static_cast<std::int64_t>(i));
    putPointLine(normal, rng, idx, randomPoint(rng), false);
  }

  std::string& autodoria = lists.autodoria;
  autodoria.reserve(sections * 80 + 64);
  autodoria += kHeader;
  for (std::size_t s = 1; s <= sections; ++s) {
    const Point start = randomPoint(rng);
    // Sections run two to eight kilometres along a road.
    const Point end{start.lon + rng.bell(30'000), start.lat + rng.bell(30'000)};
    idx.clear();
    putInt(idx, static_cast<std::int64_t>(2 * s - 1));
    putPointLine(autodoria, rng, idx, start, true);
    idx.clear();
    putInt(idx, static_cast<std::int64_t>(2 * s));
    putPointLine(autodoria, rng, idx, end, true);
  }
  return lists;
}

}  // namespace solvane::bench

#include "import/camera_merge.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "check/geodesy.h"
#include "check/near_duplicates.h"
#include "check/quality_findings.h"

namespace solvane::importer {
namespace {

GeoPoint pointOf(const Position& p) noexcept { return {p.latDegrees, p.lonDegrees}; }

std::int64_t dtypeOf(const Camera& c) noexcept { return c.dtype.value_or(c.direction ? 1 : 0); }

bool directionsAgree(const Camera& a, const Camera& b) noexcept {
  const auto directional = [](const Camera& c) {
    const std::int64_t d = dtypeOf(c);
    return c.direction && (d == 1 || d == 2);
  };
  if (!directional(a) || !directional(b)) return true;
  double apart = angleBetweenDegrees(static_cast<double>(*a.direction), static_cast<double>(*b.direction));
  if (dtypeOf(a) == 2 || dtypeOf(b) == 2) apart = std::min(apart, 180.0 - apart);
  return apart <= kSameDirectionDegrees;
}

}  // namespace

MergeReport mergeCameras(CameraSet& set, std::span<const std::size_t> camerasPerFile, double metres) {
  MergeReport report;
  report.metres = std::clamp(metres, kMinNearMetres, kMaxNearMetres);
  const std::vector<Camera>& cameras = set.cameras();
  const std::vector<std::string>& places = set.places();
  const std::size_t n = cameras.size();
  report.merged.assign(camerasPerFile.size(), std::vector<std::size_t>(camerasPerFile.size(), 0));

  std::vector<std::size_t> fileOf(n, 0);
  for (std::size_t f = 0, i = 0; f < camerasPerFile.size(); ++f) {
    for (std::size_t k = 0; k < camerasPerFile[f] && i < n; ++k) fileOf[i++] = f;
  }

  std::vector<GeoPoint> points(n);
  for (std::size_t i = 0; i < n; ++i) points[i] = pointOf(cameras[i].at);
  const std::vector<NearPair> pairs = findNearPairs(points, report.metres, [&](std::size_t a, std::size_t b) {
    return cameras[a].isSection() == cameras[b].isSection();
  });
  // For each camera, the earlier cameras near it (pairs come ordered by their first camera).
  std::vector<std::size_t> start(n + 1, 0);
  for (const NearPair& p : pairs) ++start[p.b + 1];
  for (std::size_t i = 0; i < n; ++i) start[i + 1] += start[i];
  std::vector<std::pair<std::uint32_t, double>> earlier(pairs.size());
  std::vector<std::size_t> fill(start.begin(), start.end() - 1);
  for (const NearPair& p : pairs) earlier[fill[p.b]++] = {p.a, p.metres};

  std::vector<Camera> kept;
  std::vector<std::string> keptPlaces;
  std::vector<std::size_t> slot(n, SIZE_MAX);  // where a camera kept stands in `kept`
  for (std::size_t i = 0; i < n; ++i) {
    const Camera& c = cameras[i];
    std::optional<std::pair<std::uint32_t, double>> best;
    for (std::size_t k = start[i]; k < start[i + 1]; ++k) {
      const auto [a, m] = earlier[k];
      if (slot[a] == SIZE_MAX) continue;  // joined another camera itself
      const Camera& host = kept[slot[a]];
      if (c.isSection() && !(distanceMetres(pointOf(*c.end), pointOf(*host.end)) <= report.metres)) continue;
      if (!directionsAgree(host, c)) continue;
      if (!best || m < best->second || (m == best->second && a < best->first)) best = {{a, m}};
    }
    if (!best) {
      slot[i] = kept.size();
      kept.push_back(c);
      keptPlaces.push_back(i < places.size() ? places[i] : std::string());
      continue;
    }
    Camera& host = kept[slot[best->first]];
    CameraMerge merge{fileOf[best->first], fileOf[i], keptPlaces[slot[best->first]],
                      i < places.size() ? places[i] : std::string(), best->second};
    if (!host.speed && c.speed) {
      host.speed = c.speed;
      merge.tookSpeed = true;
    }
    if (!host.direction && c.direction) {
      host.direction = c.direction;
      host.direction2 = c.direction2;
      if (!host.dtype) host.dtype = c.dtype;
      merge.tookDirection = true;
    }
    ++report.merged[merge.keptFile][merge.mergedFile];
    report.merges.push_back(std::move(merge));
  }
  set.replaceCameras(std::move(kept), std::move(keptPlaces));
  return report;
}

}  // namespace solvane::importer

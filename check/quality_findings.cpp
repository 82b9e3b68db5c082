#include "check/quality_findings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <charconv>
#include <map>

#include "base/c_number.h"
#include "check/near_duplicates.h"
#include "check/row_check.h"
#include "convert/record_encoder.h"

namespace solvane {
namespace {

std::string quoted(std::string_view name, std::string_view text) {
  return std::string(name) + " \"" + std::string(text) + "\"";
}

// Fixed-point text of a number, whatever the process locale (the dialog sets one).
std::string fixed(double v, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

std::string degrees(double d) { return fixed(d, 0); }

// What the checks need of one row, read once.
struct Facts {
  bool placed = false;  // written where its X and Y say: in range and both numbers
  GeoPoint at;
  bool section = false;
  bool endPlaced = false;  // a section whose X2 and Y2 are numbers
  GeoPoint end;
  int typeByte = 0;        // as written (16 for a section)
  std::int32_t speed = 0;  // atoi of SPD
  int speedByte = 0;       // as written
  int dtype = 0;           // DTYPE byte as written
  bool dirNumber = false;
  std::int32_t dir = 0;
};

Facts factsOf(const RowCells& cells, const RowCheck& rc) {
  Facts f;
  f.placed = !rc.skipped() && !rc.atZero();
  f.at = {parseCDouble(cells[kY]), parseCDouble(cells[kX])};
  f.section = rc.section;
  f.endPlaced = rc.section && !rc.endPointMissing;
  if (f.endPlaced) {
    f.end = {parseCDouble(cells[kY2]), parseCDouble(cells[kX2])};
    f.endPlaced = std::fabs(f.end.latitude) <= 90.0 && std::isfinite(f.end.longitude);
  }
  f.typeByte = rc.typeByte;
  f.speed = parseCInt(cells[kSpd]);
  f.speedByte = speedByte(f.speed);
  f.dtype = static_cast<std::uint8_t>(static_cast<std::uint32_t>(parseCInt(cells[kDtype])));
  f.dirNumber = readsAsNumber(cells[kDir]);
  f.dir = parseCInt(cells[kDir]);
  return f;
}

bool directional(const Facts& f) noexcept {
  return (f.dtype == 1 || f.dtype == 2) && f.dirNumber && f.dir >= 0 && f.dir <= 360;
}

// How two cameras' directions compare, for a near-duplicate's text; "same direction" or
// "opposite directions" or "directions 90° apart", or nothing when either has none.
std::string directionsCompared(const Facts& a, const Facts& b) {
  if (!directional(a) || !directional(b)) return "";
  double apart = angleBetweenDegrees(a.dir, b.dir);
  // A camera that warns both ways faces along its axis either way.
  if (a.dtype == 2 || b.dtype == 2) apart = std::min(apart, 180.0 - apart);
  if (apart <= kSameDirectionDegrees) return "facing the same way";
  return "directions " + degrees(apart) + "° apart";
}

class Checker {
 public:
  Checker(const CameraTable& table, const QualityOptions& options, const RowNamer& nameOf)
      : table_(table), options_(options), nameOf_(nameOf) {
    facts_.reserve(table.rowCount());
    for (std::size_t i = 0; i < table.rowCount(); ++i) {
      const RowCells cells = table.cells(i);
      facts_.push_back(factsOf(cells, checkRow(cells)));
    }
  }

  std::vector<QualityFinding> run() {
    speedTypes();
    for (std::size_t i = 0; i < facts_.size(); ++i) rowFindings(i);
    swapped();
    if (options_.nearMetres > 0) nearDuplicates();
    std::stable_sort(out_.begin(), out_.end(), [](const QualityFinding& a, const QualityFinding& b) {
      return a.row != b.row ? a.row < b.row : a.problem > b.problem;
    });
    return std::move(out_);
  }

 private:
  QualityFinding& add(const char* kind, bool problem, std::size_t row, std::string text, std::string cells) {
    QualityFinding f;
    f.kind = kind;
    f.problem = problem;
    f.row = row;
    f.text = std::move(text);
    f.cells = std::move(cells);
    f.at = facts_[row].at;
    out_.push_back(std::move(f));
    return out_.back();
  }
  std::string_view cell(std::size_t row, int column) const { return table_.cell(row, column); }

  // Which TYPEs of points carry a speed nearly always.
  void speedTypes() {
    std::map<int, std::pair<std::size_t, std::size_t>> count;  // TYPE byte: points, of them with a speed
    for (const Facts& f : facts_) {
      if (f.section || !f.placed) continue;
      auto& [all, withSpeed] = count[f.typeByte];
      ++all;
      if (f.speedByte >= 10) ++withSpeed;
    }
    for (const auto& [type, c] : count) {
      if (c.first >= kSpeedTypeMinRows &&
          static_cast<double>(c.second) >= kSpeedTypeShare * static_cast<double>(c.first)) {
        speedTypes_[type] = c;
      }
    }
  }

  void rowFindings(std::size_t i) {
    const Facts& f = facts_[i];
    if (!f.placed) return;  // the row check has said what is wrong with it
    directionFindings(i, f);
    speedFindings(i, f);
    if (f.section && f.endPlaced) sectionFindings(i, f);
  }

  void directionFindings(std::size_t i, const Facts& f) {
    if (f.dtype == 0 || ((f.dtype == 1 || f.dtype == 2) && f.dirNumber && f.dir >= 0 && f.dir <= 360)) return;
    const std::string cells = quoted("DTYPE", cell(i, kDtype)) + ", " + quoted("DIR", cell(i, kDir));
    const std::string dt = "DTYPE " + std::to_string(f.dtype);
    if (f.dtype == 1 || f.dtype == 2) {
      if (!f.dirNumber) {
        // One way needs its way; both ways with no direction is written as DIR 0, which
        // DTYPE 2 treats specially (H 0, the north-south axis), and may be meant.
        add("directionMissing", f.dtype == 1, i,
            dt + (f.dtype == 1
                      ? " warns one way, but DIR holds no number: written as direction 0 (north)"
                      : " without a direction: DIR holds no number and is written as 0 (the north-south axis)"),
            cells);
      } else if (f.dir < 0 || f.dir > 360) {
        add("directionOutOfRange", true, i,
            "DIR " + std::to_string(f.dir) + " is outside 0..360 for " + dt + ": written as half-direction " +
                std::to_string(halfDirection(f.dir, static_cast<std::uint8_t>(f.dtype))),
            cells);
      }
    } else if (f.dtype != 0) {
      add("directionTypeUnknown", false, i, dt + " is none of 0 (no direction), 1 (one way) and 2 (both ways)",
          quoted("DTYPE", cell(i, kDtype)));
    }
  }

  void speedFindings(std::size_t i, const Facts& f) {
    if (f.speed >= 0 && f.speed <= 255 && f.speedByte != 0 && f.speedByte % kSpeedStep == 0 &&
        f.speedByte <= kMaxPlausibleSpeed) {
      return;
    }
    const std::string cells = quoted("SPD", cell(i, kSpd));
    if (f.speed < 0 || f.speed > 255) {
      add("speedWrapped", true, i,
          "SPD " + std::to_string(f.speed) + " does not fit in a byte: written as " + std::to_string(f.speedByte),
          cells);
      return;
    }
    if (f.speedByte == 0) {
      if (f.section) {
        add("speedMissing", true, i, "section without a speed limit: written with speed 0", cells);
      } else if (const auto it = speedTypes_.find(f.typeByte); it != speedTypes_.end()) {
        add("speedMissing", false, i,
            "written with speed 0, while " + std::to_string(it->second.second) + " of the " +
                std::to_string(it->second.first) + " TYPE " + std::to_string(f.typeByte) + " points carry a speed",
            quoted("TYPE", cell(i, kType)) + ", " + cells);
      }
      return;
    }
    if (f.speedByte % kSpeedStep != 0 || f.speedByte > kMaxPlausibleSpeed) {
      add("speedImplausible", false, i,
          "speed " + std::to_string(f.speedByte) + " is not a plausible limit (a multiple of " +
              std::to_string(kSpeedStep) + " up to " + std::to_string(kMaxPlausibleSpeed) + ")",
          cells);
    }
  }

  void sectionFindings(std::size_t i, const Facts& f) {
    const double length = distanceMetres(f.at, f.end);
    const double far = std::max(kSectionEndFarMetres, options_.sectionMaxMetres);
    const char* kind = nullptr;
    bool problem = false;
    std::string text;
    if (length < kSectionSameSpotMetres) {
      kind = "sectionSameSpot", problem = true;
      text = "section starts and ends at the same place (" + formatMetres(length) + " apart)";
    } else if (length > far) {
      kind = "sectionEndFar", problem = true;
      text = "section end point " + formatMetres(length) + " from its start: no section is that long";
    } else if (length < options_.sectionMinMetres) {
      kind = "sectionShort";
      text = "section only " + formatMetres(length) + " long (shorter than " + formatMetres(options_.sectionMinMetres) +
             ")";
    } else if (length > options_.sectionMaxMetres) {
      kind = "sectionLong";
      text = "section " + formatMetres(length) + " long (longer than " + formatMetres(options_.sectionMaxMetres) + ")";
    }
    if (kind) {
      QualityFinding& q = add(kind, problem, i, std::move(text),
                              quoted("X", cell(i, kX)) + ", " + quoted("Y", cell(i, kY)) + ", " +
                                  quoted("X2", cell(i, kX2)) + ", " + quoted("Y2", cell(i, kY2)));
      q.to = f.end;
      q.metres = length;
    }
    if (f.dtype == 1 && directional(f) && length >= kSectionSameSpotMetres) {
      const double bearing = bearingDegrees(f.at, f.end);
      if (angleBetweenDegrees(f.dir, bearing) > kSectionDirectionToleranceDegrees) {
        QualityFinding& q =
            add("sectionDirection", false, i,
                "DIR " + std::to_string(f.dir) + " points away from the section's end point (which lies at " +
                    degrees(bearing) + "°)",
                quoted("DIR", cell(i, kDir)));
        q.to = f.end;
      }
    }
    const std::string_view spd2 = cell(i, kSpd2);
    if (!spd2.empty() && speedByte(parseCInt(spd2)) != f.speedByte) {
      add("sectionSpeeds", false, i,
          "start and end speeds differ: the section is written with " + std::to_string(f.speedByte) +
              ", SPD2 is not written",
          quoted("SPD", cell(i, kSpd)) + ", " + quoted("SPD2", spd2));
    }
  }

  // Points far outside the list's area whose X and Y, exchanged, fall inside it.
  void swapped() {
    std::vector<double> lats, lons;
    for (const Facts& f : facts_) {
      if (!f.placed) continue;
      lats.push_back(f.at.latitude);
      lons.push_back(f.at.longitude);
    }
    if (lats.size() < kMinRowsForArea) return;
    const auto fences = [](std::vector<double>& v) {
      const auto at = [&v](double share) {
        const auto k = static_cast<std::size_t>(std::llround(share * static_cast<double>(v.size() - 1)));
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
        return v[k];
      };
      const double q1 = at(0.25), q3 = at(0.75);
      const double reach = kAreaFenceIqrs * (q3 - q1) + kAreaMarginDegrees;
      return std::pair{q1 - reach, q3 + reach};
    };
    // Plain names, not structured bindings: lambdas below capture them.
    const std::pair<double, double> latFence = fences(lats), lonFence = fences(lons);
    const double latLo = latFence.first, latHi = latFence.second;
    const double lonLo = lonFence.first, lonHi = lonFence.second;
    // A list around the antimeridian or around the world has no such box.
    if (lonHi - lonLo > 180.0) return;
    const auto inside = [&](double lat, double lon) {
      return lat >= latLo && lat <= latHi && lon >= lonLo && lon <= lonHi;
    };
    for (std::size_t i = 0; i < facts_.size(); ++i) {
      const Facts& f = facts_[i];
      if (!f.placed || inside(f.at.latitude, f.at.longitude)) continue;
      if (!inside(f.at.longitude, f.at.latitude)) continue;
      QualityFinding& q =
          add("swappedCoordinates", true, i,
              "X and Y look exchanged: the point lies far outside the list's area, and exchanged it falls inside",
              quoted("X", cell(i, kX)) + ", " + quoted("Y", cell(i, kY)));
      q.to = GeoPoint{f.at.longitude, f.at.latitude};
    }
  }

  void nearDuplicates() {
    std::vector<GeoPoint> points;
    std::vector<std::size_t> rowOf;
    for (std::size_t i = 0; i < facts_.size(); ++i) {
      if (!facts_[i].placed) continue;
      points.push_back(facts_[i].at);
      rowOf.push_back(i);
    }
    for (const NearGroup& g : findNearGroups(points, options_.nearMetres)) {
      const std::size_t first = rowOf[g.members[0]];
      const Facts& a = facts_[first];
      if (g.members.size() == 2) {
        const std::size_t second = rowOf[g.members[1]];
        const Facts& b = facts_[second];
        std::string text = "near duplicate: " + formatMetres(g.metres) + " from " + nameOf_(second);
        const std::string dirs = directionsCompared(a, b);
        if (!dirs.empty()) text += ", " + dirs;
        text += a.typeByte == b.typeByte
                    ? ", same TYPE"
                    : ", TYPE " + std::to_string(a.typeByte) + " and " + std::to_string(b.typeByte);
        text += a.speedByte == b.speedByte
                    ? ", same speed"
                    : ", speeds " + std::to_string(a.speedByte) + " and " + std::to_string(b.speedByte);
        if (a.section != b.section) text += ", a point and a section start";
        QualityFinding& q = add("nearDuplicate", false, first, std::move(text),
                                quoted("X", cell(first, kX)) + ", " + quoted("Y", cell(first, kY)) + "; " +
                                    quoted("X", cell(second, kX)) + ", " + quoted("Y", cell(second, kY)));
        q.others = {second};
        q.to = b.at;
        q.groupSize = 2;
        q.metres = g.metres;
        continue;
      }
      constexpr std::size_t kNamed = 8;  // enough to find the place; the map shows the rest
      std::string names;
      for (std::size_t k = 1; k < g.members.size() && k <= kNamed; ++k) {
        names += (k > 1 ? ", " : "") + nameOf_(rowOf[g.members[k]]);
      }
      if (g.members.size() > kNamed + 1) names += ", ...";
      QualityFinding& q = add("nearCluster", false, first,
                              "near duplicates: " + std::to_string(g.members.size()) + " rows within " +
                                  formatMetres(g.metres) + " of this one (" + names + ")",
                              quoted("X", cell(first, kX)) + ", " + quoted("Y", cell(first, kY)));
      for (std::size_t k = 1; k < g.members.size(); ++k) q.others.push_back(rowOf[g.members[k]]);
      q.groupSize = g.members.size();
      q.metres = g.metres;
    }
  }

  const CameraTable& table_;
  const QualityOptions& options_;
  const RowNamer& nameOf_;
  std::vector<Facts> facts_;
  std::map<int, std::pair<std::size_t, std::size_t>> speedTypes_;
  std::vector<QualityFinding> out_;
};

}  // namespace

std::string formatMetres(double metres) {
  if (metres < 1000.0) return fixed(metres, 1) + " m";
  if (metres < 100000.0) return fixed(metres / 1000.0, 2) + " km";
  return fixed(metres / 1000.0, 0) + " km";
}

std::vector<QualityFinding> checkQuality(const CameraTable& table, const QualityOptions& options,
                                         const RowNamer& nameOf) {
  return Checker(table, options, nameOf).run();
}

}  // namespace solvane

#include "map/map_index.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>

#include "base/c_number.h"
#include "convert/record_encoder.h"

namespace solvane::map {
namespace {

double degreesAsWritten(std::string_view text) noexcept { return scaleCoordinate(text) / 10000.0; }

std::uint8_t lowByte(std::int32_t v) noexcept {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu);
}

// Squared distance from p to the segment a-b.
double segmentDistance2(double px, double py, double ax, double ay, double bx, double by) noexcept {
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = ax + t * dx - px, ey = ay + t * dy - py;
  return ex * ex + ey * ey;
}

void include(WorldRect& r, bool& any, double x, double y) noexcept {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (!any) {
    r = {x, y, x, y};
    any = true;
    return;
  }
  r.left = std::min(r.left, x);
  r.right = std::max(r.right, x);
  r.bottom = std::min(r.bottom, y);
  r.top = std::max(r.top, y);
}

}  // namespace

RowMark markOf(const RowCheck& check) noexcept {
  if (check.skipped()) return RowMark::kSkipped;
  // A section whose end point holds no number is written with that end on 0 too.
  if (check.atZero() || (check.section && check.endPointMissing)) return RowMark::kAtZero;
  return RowMark::kWritten;
}

MapIndex MapIndex::build(const CameraTable& table) {
  MapIndex index;
  const std::size_t n = table.rowCount();
  index.items_.resize(n);

  // Positions in degrees first; the longitude scale needs the mean latitude of all rows.
  std::vector<double> lon(n), lon2(n);
  std::vector<int> typeOfRow(n);
  double latSum = 0;
  std::size_t latCount = 0;
  std::map<int, TypeClass> byType;
  for (std::size_t r = 0; r < n; ++r) {
    const RowCells cells = table.cells(r);
    const RowCheck check = checkRow(cells);
    const RecordCells rc = RecordCells::fromRow(cells);
    MapItem& it = index.items_[r];
    it.row = static_cast<std::uint32_t>(r);
    it.mark = markOf(check);
    // Where the device gets it: the scaled coordinates back in degrees.
    lon[r] = check.longitude / 10000.0;
    it.y = static_cast<float>(check.latitude / 10000.0);
    if (check.section) {
      lon2[r] = degreesAsWritten(rc.x2);
      it.y2 = static_cast<float>(degreesAsWritten(rc.y2));
    }
    // Coloured by the TYPE byte the record gets (16 for every section).
    const int type = typeOfRow[r] = check.typeByte;
    TypeClass& tc = byType[type];
    tc.type = type;
    ++(check.section ? tc.sections : tc.points);
    if (lowByte(parseCInt(rc.dtype)) != 0) {
      const std::int64_t d = parseCInt(rc.dir);
      it.direction = static_cast<std::int16_t>(((d % 360) + 360) % 360);
    }
    ++index.markCounts_[static_cast<int>(it.mark)];
    if (it.mark == RowMark::kWritten) {
      latSum += it.y;
      ++latCount;
    }
  }

  // Near the poles the cosine goes to zero; a floor keeps the plane usable there.
  index.meanLatitude_ = latCount ? latSum / static_cast<double>(latCount) : 0.0;
  index.lonScale_ = std::max(std::cos(index.meanLatitude_ * std::numbers::pi / 180.0), 0.1);

  // The most common types get their own colour, ordered by code so a colour stays with a
  // code from one load to the next; the rest share one.
  std::vector<TypeClass> classes;
  for (const auto& [type, tc] : byType) classes.push_back(tc);
  std::stable_sort(classes.begin(), classes.end(), [](const TypeClass& a, const TypeClass& b) {
    return a.points + a.sections > b.points + b.sections;
  });
  if (classes.size() > kMaxTypeColours) {
    TypeClass other{.other = true};
    for (std::size_t i = kMaxTypeColours - 1; i < classes.size(); ++i) {
      other.points += classes[i].points;
      other.sections += classes[i].sections;
    }
    classes.resize(kMaxTypeColours - 1);
    std::sort(classes.begin(), classes.end(), [](const TypeClass& a, const TypeClass& b) { return a.type < b.type; });
    classes.push_back(other);
  } else {
    std::sort(classes.begin(), classes.end(), [](const TypeClass& a, const TypeClass& b) { return a.type < b.type; });
  }
  index.classes_ = std::move(classes);
  std::map<int, std::uint8_t> colourOf;
  for (std::size_t i = 0; i < index.classes_.size(); ++i)
    if (!index.classes_[i].other) colourOf[index.classes_[i].type] = static_cast<std::uint8_t>(i);
  const auto otherColour = static_cast<std::uint8_t>(index.classes_.empty() ? 0 : index.classes_.size() - 1);

  WorldRect written, all;
  bool anyWritten = false, anyAll = false;
  for (std::size_t r = 0; r < n; ++r) {
    MapItem& it = index.items_[r];
    it.x = static_cast<float>(lon[r] * index.lonScale_);
    const bool section = it.isSection();
    if (section) it.x2 = static_cast<float>(lon2[r] * index.lonScale_);
    const auto found = colourOf.find(typeOfRow[r]);
    it.colour = found != colourOf.end() ? found->second : otherColour;
    include(all, anyAll, it.x, it.y);
    if (section) include(all, anyAll, it.x2, it.y2);
    if (it.mark == RowMark::kWritten) {
      include(written, anyWritten, it.x, it.y);
      if (section) include(written, anyWritten, it.x2, it.y2);
    }
  }
  if (anyWritten) {
    index.extent_ = written;
  } else if (anyAll) {
    index.extent_ = all;
  } else {
    index.extent_ = {-180.0, -90.0, 180.0, 90.0};
  }
  index.buildGrid();
  return index;
}

void MapIndex::buildGrid() {
  const std::size_t n = items_.size();
  if (n == 0) return;
  // The grids span the written rows; rows far outside (bad coordinates) are kept in a short
  // list that every query visits.
  double w = extent_.width(), h = extent_.height();
  const double pad = std::max({w, h, 1e-3}) * 1e-3;
  gridLeft_ = extent_.left - pad;
  gridBottom_ = extent_.bottom - pad;
  w += 2 * pad;
  h += 2 * pad;
  const double target = std::max(1.0, static_cast<double>(n) / 4.0);
  const int nx0 = std::clamp(static_cast<int>(std::lround(std::sqrt(target * w / h))), 1, 2048);
  const int ny0 = std::clamp(static_cast<int>(std::lround(target / nx0)), 1, 2048);
  const double cellW0 = w / nx0, cellH0 = h / ny0;
  constexpr int kMaxLevels = 24;

  // Level and finest cell of every item; -1 for the overflow.
  std::vector<std::int8_t> levelOf(n);
  std::vector<std::uint32_t> cellX(n), cellY(n);
  int topLevel = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const MapItem& it = items_[i];
    const double fx = (it.x - gridLeft_) / cellW0, fy = (it.y - gridBottom_) / cellH0;
    levelOf[i] = -1;
    if (!(fx >= 0 && fx < nx0 && fy >= 0 && fy < ny0)) continue;
    const double dx = it.isSection() ? std::abs(it.x2 - it.x) / cellW0 : 0.0;
    const double dy = it.isSection() ? std::abs(it.y2 - it.y) / cellH0 : 0.0;
    int level = 0;
    double span = 1.0;
    while (level < kMaxLevels && (dx > span || dy > span)) {
      ++level;
      span *= 2;
    }
    if (dx > span || dy > span) continue;  // NaN or longer than the world: overflow
    levelOf[i] = static_cast<std::int8_t>(level);
    cellX[i] = static_cast<std::uint32_t>(fx);
    cellY[i] = static_cast<std::uint32_t>(fy);
    topLevel = std::max(topLevel, level);
  }

  levels_.assign(static_cast<std::size_t>(topLevel) + 1, Level{});
  std::vector<std::size_t> levelBase(levels_.size() + 1, 0);
  for (std::size_t k = 0; k < levels_.size(); ++k) {
    Level& l = levels_[k];
    const int f = 1 << k;
    l.nx = (nx0 + f - 1) / f;
    l.ny = (ny0 + f - 1) / f;
    l.cellW = cellW0 * f;
    l.cellH = cellH0 * f;
    levelBase[k + 1] = levelBase[k] + static_cast<std::size_t>(l.nx) * l.ny;
  }
  const std::size_t keys = levelBase.back();
  auto keyOf = [&](std::size_t i) -> std::size_t {
    const int k = levelOf[i];
    return levelBase[k] + static_cast<std::size_t>(cellY[i] >> k) * levels_[k].nx + (cellX[i] >> k);
  };

  // Counting sort by (level, cell), the overflow last.
  std::vector<std::uint32_t> start(keys + 2, 0);
  for (std::size_t i = 0; i < n; ++i) ++start[(levelOf[i] < 0 ? keys : keyOf(i)) + 1];
  for (std::size_t k = 0; k <= keys; ++k) start[k + 1] += start[k];
  overflowBegin_ = start[keys];
  std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
  std::vector<MapItem> sorted(n);
  for (std::size_t i = 0; i < n; ++i) sorted[next[levelOf[i] < 0 ? keys : keyOf(i)]++] = items_[i];
  items_ = std::move(sorted);
  for (std::size_t k = 0; k < levels_.size(); ++k)
    levels_[k].cellStart.assign(start.begin() + static_cast<std::ptrdiff_t>(levelBase[k]),
                                start.begin() + static_cast<std::ptrdiff_t>(levelBase[k + 1]) + 1);

  itemOfRow_.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i) {
    itemOfRow_[items_[i].row] = static_cast<std::uint32_t>(i);
    if (items_[i].mark != RowMark::kWritten) warned_.push_back(static_cast<std::uint32_t>(i));
  }

  // The commonest colour of each finest cell's written rows, for drawing from far out.
  const Level& l0 = levels_[0];
  cellColour_.assign(static_cast<std::size_t>(l0.nx) * l0.ny, kNoColour);
  std::array<std::uint32_t, kMaxTypeColours + 1> counts{};
  for (std::size_t c = 0; c < cellColour_.size(); ++c) {
    const std::uint32_t b = l0.cellStart[c], e = l0.cellStart[c + 1];
    if (b == e) continue;
    counts.fill(0);
    for (std::uint32_t i = b; i < e; ++i)
      if (items_[i].mark == RowMark::kWritten) ++counts[std::min<std::size_t>(items_[i].colour, kMaxTypeColours)];
    const auto best = std::max_element(counts.begin(), counts.end());
    if (*best) cellColour_[c] = static_cast<std::uint8_t>(best - counts.begin());
  }
}

std::ptrdiff_t MapIndex::itemOfRow(std::size_t row) const noexcept {
  return row < itemOfRow_.size() ? static_cast<std::ptrdiff_t>(itemOfRow_[row]) : -1;
}

MapIndex::CellRange MapIndex::cellsNear(const Level& l, const WorldRect& r, int border) const noexcept {
  // Clamp in double first: a view far off the grid must not overflow the int conversion.
  auto cell = [](double v, int count) { return std::clamp(std::floor(v), -2.0, count + 1.0); };
  const double x0 = cell((r.left - gridLeft_) / l.cellW, l.nx) - border;
  const double x1 = cell((r.right - gridLeft_) / l.cellW, l.nx) + border;
  const double y0 = cell((r.bottom - gridBottom_) / l.cellH, l.ny) - border;
  const double y1 = cell((r.top - gridBottom_) / l.cellH, l.ny) + border;
  if (!(x1 >= 0 && y1 >= 0 && x0 <= l.nx - 1 && y0 <= l.ny - 1)) return {0, 0, -1, -1};  // NaN too
  return {static_cast<int>(std::max(x0, 0.0)), static_cast<int>(std::max(y0, 0.0)),
          static_cast<int>(std::min(x1, l.nx - 1.0)), static_cast<int>(std::min(y1, l.ny - 1.0))};
}

std::size_t MapIndex::countNear(const WorldRect& r) const noexcept {
  std::size_t total = items_.size() - overflowBegin_;
  for (const Level& l : levels_) {
    const CellRange c = cellsNear(l, r, 1);
    for (int cy = c.y0; cy <= c.y1; ++cy) {
      const std::size_t base = static_cast<std::size_t>(cy) * l.nx;
      total += l.cellStart[base + c.x1 + 1] - l.cellStart[base + c.x0];
    }
  }
  return total;
}

std::ptrdiff_t MapIndex::rowAt(double x, double y, double radius) const noexcept {
  const double limit = radius * radius;
  double best = limit;
  std::ptrdiff_t bestRow = -1;
  bool bestWarned = false;
  forEachNear({x - radius, y - radius, x + radius, y + radius}, [&](std::size_t i) {
    const MapItem& it = items_[i];
    double d = it.isSection() ? segmentDistance2(x, y, it.x, it.y, it.x2, it.y2)
                              : (it.x - x) * (it.x - x) + (it.y - y) * (it.y - y);
    if (!(d <= limit)) return;
    const bool warned = it.mark != RowMark::kWritten;
    if (d < best || (d == best && (bestRow < 0 || (warned && !bestWarned)))) {
      best = d;
      bestRow = static_cast<std::ptrdiff_t>(it.row);
      bestWarned = warned;
    }
  });
  return bestRow;
}

}  // namespace solvane::map

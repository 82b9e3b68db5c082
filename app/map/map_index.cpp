#include "app/map/map_index.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "convert/c_number.h"
#include "convert/record_encoder.h"

namespace solvane::map {
namespace {

double degreesAsWritten(std::string_view text) noexcept { return scaleCoordinate(text) / 10000.0; }

std::uint8_t lowByte(std::int32_t v) noexcept { return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFFu); }

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
  // The grid spans the written rows; rows far outside it (bad coordinates) and sections
  // longer than a cell are kept in a short list that every query visits.
  double w = extent_.width(), h = extent_.height();
  const double pad = std::max({w, h, 1e-3}) * 1e-3;
  gridLeft_ = extent_.left - pad;
  gridBottom_ = extent_.bottom - pad;
  w += 2 * pad;
  h += 2 * pad;
  const double target = std::max(1.0, static_cast<double>(n) / 4.0);
  cellsX_ = std::clamp(static_cast<int>(std::lround(std::sqrt(target * w / h))), 1, 2048);
  cellsY_ = std::clamp(static_cast<int>(std::lround(target / cellsX_)), 1, 2048);
  cellW_ = w / cellsX_;
  cellH_ = h / cellsY_;

  const std::size_t cellCount = static_cast<std::size_t>(cellsX_) * cellsY_;
  constexpr std::uint32_t kOverflow = 0xFFFFFFFFu;
  std::vector<std::uint32_t> cellOf(n);
  std::vector<std::uint32_t> counts(cellCount + 1, 0);
  std::size_t overflow = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const MapItem& it = items_[i];
    const double fx = (it.x - gridLeft_) / cellW_, fy = (it.y - gridBottom_) / cellH_;
    bool inGrid = fx >= 0 && fx < cellsX_ && fy >= 0 && fy < cellsY_;
    if (inGrid && it.isSection())
      inGrid = std::abs(it.x2 - it.x) <= cellW_ && std::abs(it.y2 - it.y) <= cellH_;
    if (!inGrid) {
      cellOf[i] = kOverflow;
      ++overflow;
      continue;
    }
    const auto c = static_cast<std::uint32_t>(static_cast<int>(fy) * cellsX_ + static_cast<int>(fx));
    cellOf[i] = c;
    ++counts[c + 1];
  }
  cellStart_.assign(cellCount + 1, 0);
  for (std::size_t c = 0; c < cellCount; ++c) cellStart_[c + 1] = cellStart_[c] + counts[c + 1];
  overflowBegin_ = n - overflow;

  std::vector<MapItem> sorted(n);
  std::vector<std::uint32_t> next(cellStart_.begin(), cellStart_.end() - 1);
  auto overflowNext = static_cast<std::uint32_t>(overflowBegin_);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t slot = cellOf[i] == kOverflow ? overflowNext++ : next[cellOf[i]]++;
    sorted[slot] = items_[i];
  }
  items_ = std::move(sorted);
  itemOfRow_.assign(n, 0);
  for (std::size_t i = 0; i < n; ++i) itemOfRow_[items_[i].row] = static_cast<std::uint32_t>(i);
}

std::ptrdiff_t MapIndex::itemOfRow(std::size_t row) const noexcept {
  return row < itemOfRow_.size() ? static_cast<std::ptrdiff_t>(itemOfRow_[row]) : -1;
}

MapIndex::CellRange MapIndex::cellsNear(const WorldRect& r, int border) const noexcept {
  // Clamp in double first: a view far off the grid must not overflow the int conversion.
  auto cell = [](double v, int count) { return std::clamp(std::floor(v), -2.0, count + 1.0); };
  const double x0 = cell((r.left - gridLeft_) / cellW_, cellsX_) - border;
  const double x1 = cell((r.right - gridLeft_) / cellW_, cellsX_) + border;
  const double y0 = cell((r.bottom - gridBottom_) / cellH_, cellsY_) - border;
  const double y1 = cell((r.top - gridBottom_) / cellH_, cellsY_) + border;
  CellRange c{static_cast<int>(std::max(x0, 0.0)), static_cast<int>(std::max(y0, 0.0)),
              static_cast<int>(std::min(x1, cellsX_ - 1.0)), static_cast<int>(std::min(y1, cellsY_ - 1.0))};
  if (!(x1 >= 0 && y1 >= 0 && x0 <= cellsX_ - 1 && y0 <= cellsY_ - 1) || std::isnan(x0 + x1 + y0 + y1))
    c = {0, 0, -1, -1};
  return c;
}

std::size_t MapIndex::countNear(const WorldRect& r) const noexcept {
  std::size_t total = items_.size() - overflowBegin_;
  if (cellsX_ == 0) return total;
  const CellRange c = cellsNear(r, 1);
  for (int cy = c.y0; cy <= c.y1; ++cy) {
    const std::size_t base = static_cast<std::size_t>(cy) * cellsX_;
    total += cellStart_[base + c.x1 + 1] - cellStart_[base + c.x0];
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

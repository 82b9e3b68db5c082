// What the map preview draws, prepared once per loaded table: every row as a point or a
// section in a flat plane, bucketed in a uniform grid so that a view or a click only looks at
// the rows near it. Toolkit-free, so it can be tested and measured without a display.
//
// The plane: x = longitude * cos(mean latitude), y = latitude, both in degrees. Scaling the
// longitude by the cosine of the latitude the cameras sit at keeps shapes and distances
// looking right near them without any map projection library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "table/camera_table.h"
#include "check/row_check.h"

namespace solvane::map {

// How the conversion will treat a row, as far as the map needs to know (from checkRow).
enum class RowMark : std::uint8_t {
  kWritten,  // written where it stands
  kSkipped,  // not written: out of range
  kAtZero,   // written, but a coordinate (of either end) reads as no number and lands on 0
};

[[nodiscard]] RowMark markOf(const RowCheck& check) noexcept;

inline constexpr std::int16_t kNoDirection = -1;
// Types beyond this many distinct codes share the "other types" colour.
inline constexpr std::size_t kMaxTypeColours = 10;

struct WorldRect {
  double left = 0, bottom = 0, right = 0, top = 0;  // y grows northwards
  [[nodiscard]] double width() const noexcept { return right - left; }
  [[nodiscard]] double height() const noexcept { return top - bottom; }
  [[nodiscard]] bool isEmpty() const noexcept { return !(right > left) || !(top > bottom); }
};

struct MapItem {
  float x = 0, y = 0;                                  // first point in the plane
  float x2 = std::numeric_limits<float>::quiet_NaN();  // end point of a section, NaN for a point
  float y2 = std::numeric_limits<float>::quiet_NaN();
  std::uint32_t row = 0;
  std::int16_t direction = kNoDirection;  // compass degrees 0..359 where DTYPE gives one
  std::uint8_t colour = 0;                // index into MapIndex::typeClasses()
  RowMark mark = RowMark::kWritten;
  [[nodiscard]] bool isSection() const noexcept { return y2 == y2; }  // NaN compares unequal
};

struct TypeClass {
  bool other = false;  // the shared class of the rarer types
  int type = 0;        // the TYPE code as the file gets it
  std::size_t points = 0;
  std::size_t sections = 0;
};

class MapIndex {
 public:
  MapIndex() = default;

  // Reads every row once; each row is placed where the conversion writes it.
  static MapIndex build(const CameraTable& table);

  [[nodiscard]] std::size_t size() const noexcept { return items_.size(); }
  [[nodiscard]] const MapItem& item(std::size_t i) const noexcept { return items_[i]; }
  [[nodiscard]] const std::vector<MapItem>& items() const noexcept { return items_; }

  // Cosine of the mean latitude of the written rows; x = longitude * lonScale().
  [[nodiscard]] double lonScale() const noexcept { return lonScale_; }
  [[nodiscard]] double meanLatitude() const noexcept { return meanLatitude_; }

  // The extent of the rows that are written where they stand (sections with both ends); the
  // whole index when there are none.
  [[nodiscard]] WorldRect extent() const noexcept { return extent_; }

  [[nodiscard]] const std::vector<TypeClass>& typeClasses() const noexcept { return classes_; }
  [[nodiscard]] std::size_t count(RowMark mark) const noexcept { return markCounts_[static_cast<int>(mark)]; }

  // The item that shows a table row, or -1.
  [[nodiscard]] std::ptrdiff_t itemOfRow(std::size_t row) const noexcept;

  // Calls f(itemIndex) for every item that may touch the rectangle: the grid cells under it
  // and their neighbours on every level, then the items kept outside the grids. Callers clip
  // exactly themselves.
  template <class F>
  void forEachNear(const WorldRect& r, F&& f) const {
    for (std::size_t level = 0; level < levels_.size(); ++level) forEachInLevel(level, r, f);
    for (std::size_t i = overflowBegin_; i < items_.size(); ++i) f(i);
  }

  // For drawing from far out, where a finest grid cell is a pixel or two: the finest cells
  // near the rectangle, each as its centre and the colour most of its written rows share
  // (f(x, y, colour), empty cells and cells of warned rows only are left out); then, through
  // g(itemIndex), every item that the finest cells do not hold: longer sections and rows far
  // outside the grid. Warned rows are in warned(), to be drawn on top.
  template <class F, class G>
  void forEachCellNear(const WorldRect& r, F&& f, G&& g) const {
    if (!levels_.empty()) {
      const Level& l = levels_[0];
      const CellRange c = cellsNear(l, r, 1);
      for (int cy = c.y0; cy <= c.y1; ++cy) {
        const double y = gridBottom_ + (cy + 0.5) * l.cellH;
        const std::size_t base = static_cast<std::size_t>(cy) * l.nx;
        for (int cx = c.x0; cx <= c.x1; ++cx) {
          const std::uint8_t colour = cellColour_[base + cx];
          if (colour != kNoColour) f(gridLeft_ + (cx + 0.5) * l.cellW, y, colour);
        }
      }
    }
    for (std::size_t level = 1; level < levels_.size(); ++level) forEachInLevel(level, r, g);
    for (std::size_t i = overflowBegin_; i < items_.size(); ++i) g(i);
  }
  // Size of a finest grid cell in the plane.
  [[nodiscard]] double cellWidth() const noexcept { return levels_.empty() ? 0.0 : levels_[0].cellW; }
  [[nodiscard]] double cellHeight() const noexcept { return levels_.empty() ? 0.0 : levels_[0].cellH; }
  // Indices of the items not written where they stand (skipped or at 0).
  [[nodiscard]] const std::vector<std::uint32_t>& warned() const noexcept { return warned_; }

  // How many items forEachNear would visit; cheap (one look per grid row).
  [[nodiscard]] std::size_t countNear(const WorldRect& r) const noexcept;

  // The row whose mark or line passes closest to (x, y), within `radius`; -1 if none. Ties go
  // to the row drawn last (warnings sit on top).
  [[nodiscard]] std::ptrdiff_t rowAt(double x, double y, double radius) const noexcept;

  // World position of a latitude/longitude and back.
  [[nodiscard]] double toWorldX(double longitude) const noexcept { return longitude * lonScale_; }
  [[nodiscard]] double toLongitude(double worldX) const noexcept { return worldX / lonScale_; }

 private:
  static constexpr std::uint8_t kNoColour = 0xFF;
  struct CellRange {
    int x0, y0, x1, y1;
  };
  // One grid of the hierarchy. Level k has cells 2^k times the finest, and holds the items
  // whose extent fits in one of its cells but not in one of the level below, so a query
  // needs to look only one cell beyond its rectangle on every level.
  struct Level {
    int nx = 0, ny = 0;
    double cellW = 1, cellH = 1;
    std::vector<std::uint32_t> cellStart;  // nx * ny + 1 offsets into items_
  };
  [[nodiscard]] CellRange cellsNear(const Level& l, const WorldRect& r, int border) const noexcept;
  template <class F>
  void forEachInLevel(std::size_t level, const WorldRect& r, F& f) const {
    const Level& l = levels_[level];
    const CellRange c = cellsNear(l, r, 1);
    for (int cy = c.y0; cy <= c.y1; ++cy) {
      const std::size_t base = static_cast<std::size_t>(cy) * l.nx;
      const std::uint32_t end = l.cellStart[base + c.x1 + 1];
      for (std::uint32_t i = l.cellStart[base + c.x0]; i < end; ++i) f(static_cast<std::size_t>(i));
    }
  }
  void buildGrid();

  std::vector<MapItem> items_;  // level 0 items in cell order, level 1 ..., then the overflow
  std::vector<Level> levels_;
  std::vector<std::uint8_t> cellColour_;  // per finest cell: the commonest colour of its written rows
  std::vector<std::uint32_t> warned_;
  std::vector<std::uint32_t> itemOfRow_;
  std::vector<TypeClass> classes_;
  std::size_t markCounts_[3] = {0, 0, 0};
  std::size_t overflowBegin_ = 0;
  double gridLeft_ = 0, gridBottom_ = 0;
  double lonScale_ = 1.0, meanLatitude_ = 0.0;
  WorldRect extent_;
};

}  // namespace solvane::map

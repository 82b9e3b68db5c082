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

#include "app/camera_table.h"
#include "convert/row_check.h"

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
  float x = 0, y = 0;  // first point in the plane
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
  // and its border, then the items kept outside the grid. Callers clip exactly themselves.
  template <class F>
  void forEachNear(const WorldRect& r, F&& f) const {
    if (cellsX_ > 0) {
      const CellRange c = cellsNear(r, 1);
      for (int cy = c.y0; cy <= c.y1; ++cy) {
        const std::size_t base = static_cast<std::size_t>(cy) * cellsX_;
        const std::uint32_t end = cellStart_[base + c.x1 + 1];
        for (std::uint32_t i = cellStart_[base + c.x0]; i < end; ++i) f(static_cast<std::size_t>(i));
      }
    }
    for (std::size_t i = overflowBegin_; i < items_.size(); ++i) f(i);
  }

  // How many items forEachNear would visit; cheap (one look per grid row).
  [[nodiscard]] std::size_t countNear(const WorldRect& r) const noexcept;

  // The row whose mark or line passes closest to (x, y), within `radius`; -1 if none. Ties go
  // to the row drawn last (warnings sit on top).
  [[nodiscard]] std::ptrdiff_t rowAt(double x, double y, double radius) const noexcept;

  // World position of a latitude/longitude and back.
  [[nodiscard]] double toWorldX(double longitude) const noexcept { return longitude * lonScale_; }
  [[nodiscard]] double toLongitude(double worldX) const noexcept { return worldX / lonScale_; }

 private:
  struct CellRange {
    int x0, y0, x1, y1;
  };
  [[nodiscard]] CellRange cellsNear(const WorldRect& r, int border) const noexcept;
  void buildGrid();

  std::vector<MapItem> items_;  // grid items in cell order, then the overflow items
  std::vector<std::uint32_t> cellStart_;  // cellsX_ * cellsY_ + 1 offsets into items_
  std::vector<std::uint32_t> itemOfRow_;
  std::vector<TypeClass> classes_;
  std::size_t markCounts_[3] = {0, 0, 0};
  std::size_t overflowBegin_ = 0;
  int cellsX_ = 0, cellsY_ = 0;
  double gridLeft_ = 0, gridBottom_ = 0, cellW_ = 1, cellH_ = 1;
  double lonScale_ = 1.0, meanLatitude_ = 0.0;
  WorldRect extent_;
};

}  // namespace solvane::map

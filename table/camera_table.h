// The camera table: 14 text columns, one row per camera, each row with an item data value.
//
// It is the one store of camera data between loading and conversion, and it must hold a
// million rows cheaply. A row loaded from a list refers to its line in the list's bytes, which
// the table keeps, and splits it into cells when they are read; a row built or changed cell by
// cell is packed into one blob in an append-only arena (a cell count, then each cell as a
// length and its bytes). Either way a row costs 16 bytes plus at most the bytes of its text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/large_memory.h"

namespace solvane {

inline constexpr int kColumnCount = 14;

// Column numbers, in the order of the headings.
enum Column : int {
  kIdx = 0,
  kX,
  kY,
  kType,
  kSpd,
  kDtype,
  kDir,
  kIdx2,
  kX2,
  kY2,
  kType2,
  kSpd2,
  kDtype2,
  kDir2,
};

struct ColumnInfo {
  std::string_view heading;
  int widthPixels;
};

inline constexpr std::array<ColumnInfo, kColumnCount> kColumns{{
    {"IDX", 40},
    {"X", 80},
    {"Y", 80},
    {"TYPE", 50},
    {"SPD", 50},
    {"DTYPE", 50},
    {"DIR", 50},
    {"IDX2", 40},
    {"X2", 80},
    {"Y2", 80},
    {"TYPE2", 50},
    {"SPD2", 50},
    {"DTYPE2", 50},
    {"DIR2", 50},
}};

using ItemData = std::intptr_t;
using RowCells = std::array<std::string_view, kColumnCount>;

class CameraTable {
 public:
  CameraTable();
  CameraTable(CameraTable&&) noexcept;
  CameraTable& operator=(CameraTable&&) noexcept;
  CameraTable(const CameraTable&) = delete;
  CameraTable& operator=(const CameraTable&) = delete;
  ~CameraTable();

  [[nodiscard]] std::size_t rowCount() const noexcept { return rows_.size(); }

  // Inserts a row with `column0` in column 0, empty cells elsewhere and item data 0.
  // A position at or beyond the row count appends. Returns the new row's position.
  std::size_t insertRow(std::size_t position, std::string_view column0);

  // Appends a complete row in one step: cells past the 14th are dropped.
  void appendRow(std::span<const std::string_view> cells, ItemData itemData);

  // Keeps `bytes` (owned by `owner`) alive with the table, so rows can refer to lines in them.
  void keepText(std::shared_ptr<const char[]> owner, std::string_view bytes);
  // Keeps all the text that `other` keeps.
  void shareKeptText(const CameraTable& other);

  // Appends a row whose cells are the comma-separated fields of `line` (no line feed), the
  // first 14 of them; with `typeAsThree` its TYPE cell reads "3". A line inside kept text is
  // referred to where it lies; any other line is copied.
  void appendLine(std::string_view line, bool typeAsThree, ItemData itemData);

  // Replaces a cell; does nothing for a missing row or a column outside 0..13.
  void setCell(std::size_t row, int column, std::string_view text);
  // Replaces the cells from `firstColumn` on with `texts` in one step; texts that would fall
  // past column 13 are dropped.
  void setCells(std::size_t row, int firstColumn, std::span<const std::string_view> texts);

  // The cell's text, or the empty text for a missing row or column. The view stays valid
  // until the table is next changed.
  [[nodiscard]] std::string_view cell(std::size_t row, int column) const noexcept;

  // All 14 cells of a row (empty for a missing row), decoded in one pass.
  [[nodiscard]] RowCells cells(std::size_t row) const noexcept;

  // The line a row refers to, for readers that need only a few of its cells: nothing for a
  // missing row or one built cell by cell. With `typeAsThree` the row's TYPE cell reads "3"
  // whatever the line holds there.
  struct RowLine {
    std::string_view text;
    bool typeAsThree = false;
  };
  [[nodiscard]] std::optional<RowLine> rowLine(std::size_t row) const noexcept {
    if (row >= rows_.size() || rows_[row].isBlob) return std::nullopt;
    const Row& r = rows_[row];
    return RowLine{{r.text, r.size}, r.typeAsThree != 0};
  }

  // A hint that the row is read soon: a pass over a sorted table, whose rows lie scattered
  // in memory, can overlap the cache misses of several rows.
  void prefetchRow(std::size_t row) const noexcept;

  void setItemData(std::size_t row, ItemData value);
  [[nodiscard]] ItemData itemData(std::size_t row) const noexcept;

  // Position of the first row whose item data equals `value`, or -1.
  [[nodiscard]] std::ptrdiff_t findByItemData(ItemData value) const noexcept;

  void deleteRow(std::size_t row);
  void deleteAllRows() noexcept;

  // Stable sort by each row's own latitude (column "Y" read as atof), ascending.
  void sortByLatitude();

  // Hint for bulk loads: room for this many more rows without reallocation.
  void reserveRows(std::size_t additional);

  // Moves all rows of `other` after this table's rows, adding `itemDataOffset` to their item
  // data; their text changes hands without a copy. `other` is left empty.
  void appendTable(CameraTable&& other, ItemData itemDataOffset);

 private:
  // 16 bytes: item data that a row's 29 bits cannot hold (negative or very large values) are
  // kept in wideItems_ and the row holds their index there.
  struct Row {
    const char* text;         // the line, or the packed blob when `isBlob`
    std::uint32_t size;       // the line's length
    std::uint32_t item : 29;  // the item data, or its index in wideItems_ when `wideItem`
    std::uint32_t isBlob : 1;
    std::uint32_t typeAsThree : 1;
    std::uint32_t wideItem : 1;
  };
  static constexpr std::uint32_t kItemLimit = std::uint32_t{1} << 29;
  struct KeptText {
    std::shared_ptr<const char[]> owner;
    std::string_view bytes;
  };
  class Arena;

 public:
  struct SortKey;  // a row's latitude in sortable form and its position

 private:
  Row lineRow(const char* text, std::uint32_t size, bool typeAsThree, ItemData itemData);
  Row blobRow(const unsigned char* blob, ItemData itemData);
  void putItem(Row& row, ItemData value);
  void putWideItem(Row& row, ItemData value);
  [[nodiscard]] ItemData itemOf(const Row& row) const noexcept;
  static RowCells rowCells(const Row& row) noexcept;
  [[nodiscard]] bool isKept(std::string_view line) const noexcept;
  const unsigned char* storeBlob(const RowCells& cells, int cellCount);

  LargeVector<Row> rows_;
  std::unique_ptr<Arena> arena_;
  std::vector<KeptText> kept_;
  std::vector<ItemData> wideItems_;
};

// Latitude of a row as the sort sees it: atof of column "Y".
double rowLatitude(const CameraTable& table, std::size_t row) noexcept;

// Three-way comparison of two latitude texts by their atof values: +1, -1 or 0.
int CompareByLatitude(std::string_view latitudeA, std::string_view latitudeB) noexcept;

}  // namespace solvane

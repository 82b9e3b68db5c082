#include "table/camera_table.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "table/line_fields.h"
#include "base/c_number.h"

namespace solvane {

// Append-only storage for row blobs. Memory comes in chunks that never move, so a blob's
// address stays valid until the table is cleared; a blob larger than a chunk gets its own.
class CameraTable::Arena {
 public:
  unsigned char* allocate(std::size_t size) {
    if (size > kChunkSize / 4) return chunks_.emplace_back(std::make_unique<unsigned char[]>(size)).get();
    if (chunks_.empty() || kChunkSize - used_ < size || !current_) {
      current_ = chunks_.emplace_back(std::make_unique_for_overwrite<unsigned char[]>(kChunkSize)).get();
      used_ = 0;
    }
    unsigned char* p = current_ + used_;
    used_ += size;
    return p;
  }
  // Takes over the chunks of another arena; this arena goes on filling its own chunk.
  void adopt(Arena&& other) {
    chunks_.reserve(chunks_.size() + other.chunks_.size());
    for (auto& chunk : other.chunks_) chunks_.push_back(std::move(chunk));
    other.clear();
  }
  void clear() noexcept {
    chunks_.clear();
    current_ = nullptr;
    used_ = 0;
  }

 private:
  static constexpr std::size_t kChunkSize = std::size_t{1} << 20;
  std::vector<std::unique_ptr<unsigned char[]>> chunks_;
  unsigned char* current_ = nullptr;
  std::size_t used_ = 0;
};

namespace {

std::size_t varintSize(std::size_t v) noexcept {
  std::size_t n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

unsigned char* putVarint(unsigned char* p, std::size_t v) noexcept {
  while (v >= 0x80) {
    *p++ = static_cast<unsigned char>(v | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<unsigned char>(v);
  return p;
}

const unsigned char* getVarint(const unsigned char* p, std::size_t& v) noexcept {
  v = 0;
  int shift = 0;
  while (*p & 0x80) {
    v |= static_cast<std::size_t>(*p++ & 0x7F) << shift;
    shift += 7;
  }
  v |= static_cast<std::size_t>(*p++) << shift;
  return p;
}

// Number of leading cells that must be stored: trailing empty cells are implied.
int usedCells(const RowCells& cells) noexcept {
  int n = kColumnCount;
  while (n > 0 && cells[static_cast<std::size_t>(n - 1)].empty()) --n;
  return n;
}

RowCells decode(const unsigned char* blob) noexcept {
  RowCells cells{};
  if (!blob) return cells;
  const int n = *blob++;
  for (int i = 0; i < n; ++i) {
    std::size_t len = 0;
    blob = getVarint(blob, len);
    cells[static_cast<std::size_t>(i)] = std::string_view(reinterpret_cast<const char*>(blob), len);
    blob += len;
  }
  return cells;
}

}  // namespace

CameraTable::CameraTable() : arena_(std::make_unique<Arena>()) {}
CameraTable::CameraTable(CameraTable&&) noexcept = default;
CameraTable& CameraTable::operator=(CameraTable&&) noexcept = default;
CameraTable::~CameraTable() = default;

CameraTable::Row CameraTable::lineRow(const char* text, std::uint32_t size, bool typeAsThree, ItemData itemData) {
  Row row{text, size, 0, 0, typeAsThree ? 1u : 0u, 0};
  putItem(row, itemData);
  return row;
}

CameraTable::Row CameraTable::blobRow(const unsigned char* blob, ItemData itemData) {
  Row row{reinterpret_cast<const char*>(blob), 0, 0, 1, 0, 0};
  putItem(row, itemData);
  return row;
}

void CameraTable::putItem(Row& row, ItemData value) {
  if (value >= 0 && value < static_cast<ItemData>(kItemLimit)) [[likely]] {
    row.item = static_cast<std::uint32_t>(value);
    row.wideItem = 0;
    return;
  }
  putWideItem(row, value);
}

void CameraTable::putWideItem(Row& row, ItemData value) {
  if (wideItems_.size() >= kItemLimit) {
    // Only values still held by a row are kept; the rest were replaced long ago.
    std::vector<ItemData> live;
    for (Row& r : rows_) {
      if (!r.wideItem) continue;
      live.push_back(wideItems_[r.item]);
      r.item = static_cast<std::uint32_t>(live.size() - 1);
    }
    wideItems_ = std::move(live);
    if (wideItems_.size() >= kItemLimit) throw std::length_error("too many rows with wide item data");
  }
  row.item = static_cast<std::uint32_t>(wideItems_.size());
  row.wideItem = 1;
  wideItems_.push_back(value);
}

ItemData CameraTable::itemOf(const Row& row) const noexcept {
  return row.wideItem ? wideItems_[row.item] : static_cast<ItemData>(row.item);
}

RowCells CameraTable::rowCells(const Row& row) noexcept {
  if (row.isBlob) return decode(reinterpret_cast<const unsigned char*>(row.text));
  LineFields f = splitFields({row.text, row.size});
  if (row.typeAsThree) f.cells[kType] = "3";
  return f.cells;
}

const unsigned char* CameraTable::storeBlob(const RowCells& cells, int cellCount) {
  if (cellCount == 0) return nullptr;
  std::size_t size = 1;
  for (int i = 0; i < cellCount; ++i) {
    const std::size_t len = cells[static_cast<std::size_t>(i)].size();
    size += varintSize(len) + len;
  }
  unsigned char* blob = arena_->allocate(size);
  unsigned char* p = blob;
  *p++ = static_cast<unsigned char>(cellCount);
  for (int i = 0; i < cellCount; ++i) {
    const std::string_view text = cells[static_cast<std::size_t>(i)];
    p = putVarint(p, text.size());
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    p += text.size();
  }
  return blob;
}

std::size_t CameraTable::insertRow(std::size_t position, std::string_view column0) {
  RowCells cells{};
  cells[0] = column0;
  const Row row = blobRow(storeBlob(cells, usedCells(cells)), 0);
  if (position >= rows_.size()) {
    rows_.push_back(row);
    return rows_.size() - 1;
  }
  rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(position), row);
  return position;
}

void CameraTable::appendRow(std::span<const std::string_view> cells, ItemData itemData) {
  RowCells all{};
  std::copy_n(cells.begin(), std::min<std::size_t>(cells.size(), kColumnCount), all.begin());
  rows_.push_back(blobRow(storeBlob(all, usedCells(all)), itemData));
}

void CameraTable::keepText(std::shared_ptr<const char[]> owner, std::string_view bytes) {
  if (owner && !bytes.empty()) kept_.push_back(KeptText{std::move(owner), bytes});
}

void CameraTable::shareKeptText(const CameraTable& other) {
  if (&other != this) kept_.insert(kept_.end(), other.kept_.begin(), other.kept_.end());
}

bool CameraTable::isKept(std::string_view line) const noexcept {
  // Addresses compared as integers: the line may lie in none of the kept blocks.
  const auto begin = reinterpret_cast<std::uintptr_t>(line.data());
  const auto end = begin + line.size();
  for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
    const auto keptBegin = reinterpret_cast<std::uintptr_t>(it->bytes.data());
    if (begin >= keptBegin && end <= keptBegin + it->bytes.size()) return true;
  }
  return false;
}

void CameraTable::appendLine(std::string_view line, bool typeAsThree, ItemData itemData) {
  if (line.size() > UINT32_MAX) {
    // Too long to refer to; the 14 cells are packed like any other row.
    LineFields f = splitFields(line);
    if (typeAsThree) f.cells[kType] = "3";
    appendRow(std::span(f.cells.data(), f.kept()), itemData);
    return;
  }
  const char* text = line.data();
  if (!line.empty() && !isKept(line)) {
    char* copy = reinterpret_cast<char*>(arena_->allocate(line.size()));
    std::memcpy(copy, line.data(), line.size());
    text = copy;
  }
  rows_.push_back(lineRow(text, static_cast<std::uint32_t>(line.size()), typeAsThree, itemData));
}

void CameraTable::setCell(std::size_t row, int column, std::string_view text) {
  setCells(row, column, std::span(&text, 1));
}

void CameraTable::setCells(std::size_t row, int firstColumn, std::span<const std::string_view> texts) {
  if (row >= rows_.size() || firstColumn < 0 || firstColumn >= kColumnCount) return;
  RowCells cells = rowCells(rows_[row]);
  const std::size_t first = static_cast<std::size_t>(firstColumn);
  std::copy_n(texts.begin(), std::min(texts.size(), cells.size() - first),
              cells.begin() + static_cast<std::ptrdiff_t>(first));
  // The new blob is written elsewhere before the row points to it, so the texts may be views
  // into the row's old cells; the old text stays until the next clear.
  Row changed = rows_[row];
  changed.text = reinterpret_cast<const char*>(storeBlob(cells, usedCells(cells)));
  changed.size = 0;
  changed.isBlob = 1;
  changed.typeAsThree = 0;
  rows_[row] = changed;  // the item data stay as they were
}

std::string_view CameraTable::cell(std::size_t row, int column) const noexcept {
  if (row >= rows_.size() || column < 0 || column >= kColumnCount) return {};
  const Row& r = rows_[row];
  if (!r.isBlob) {
    if (column == kType && r.typeAsThree) return "3";
    return fieldOf({r.text, r.size}, column);
  }
  const auto* p = reinterpret_cast<const unsigned char*>(r.text);
  if (!p) return {};
  const int n = *p++;
  if (column >= n) return {};
  std::size_t len = 0;
  for (int i = 0; i < column; ++i) {
    p = getVarint(p, len);
    p += len;
  }
  p = getVarint(p, len);
  return {reinterpret_cast<const char*>(p), len};
}

RowCells CameraTable::cells(std::size_t row) const noexcept {
  if (row >= rows_.size()) return {};
  return rowCells(rows_[row]);
}

void CameraTable::prefetchRow(std::size_t row) const noexcept {
#if defined(__GNUC__) || defined(__clang__)
  if (row < rows_.size() && rows_[row].text) {
    // The text of a point is about 40 bytes and may straddle two cache lines.
    __builtin_prefetch(rows_[row].text);
    __builtin_prefetch(rows_[row].text + 40);
  }
#else
  (void)row;
#endif
}

void CameraTable::setItemData(std::size_t row, ItemData value) {
  if (row < rows_.size()) putItem(rows_[row], value);
}

ItemData CameraTable::itemData(std::size_t row) const noexcept { return row < rows_.size() ? itemOf(rows_[row]) : 0; }

std::ptrdiff_t CameraTable::findByItemData(ItemData value) const noexcept {
  const auto it = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) { return itemOf(r) == value; });
  return it == rows_.end() ? -1 : it - rows_.begin();
}

void CameraTable::deleteRow(std::size_t row) {
  if (row < rows_.size()) rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
}

void CameraTable::deleteAllRows() noexcept {
  rows_.clear();
  rows_.shrink_to_fit();
  arena_->clear();
  kept_.clear();
  kept_.shrink_to_fit();
  wideItems_.clear();
  wideItems_.shrink_to_fit();
}

void CameraTable::reserveRows(std::size_t additional) { rows_.reserve(rows_.size() + additional); }

void CameraTable::appendTable(CameraTable&& other, ItemData itemDataOffset) {
  if (&other == this) return;
  rows_.reserve(rows_.size() + other.rows_.size());
  arena_->adopt(std::move(*other.arena_));
  for (KeptText& text : other.kept_) {
    const bool known =
        std::any_of(kept_.begin(), kept_.end(), [&](const KeptText& k) { return k.owner == text.owner; });
    if (!known) kept_.push_back(std::move(text));
  }
  for (Row row : other.rows_) {
    // Added as unsigned numbers: item data are the caller's values and may be anything.
    const auto moved = static_cast<std::uintptr_t>(other.itemOf(row)) + static_cast<std::uintptr_t>(itemDataOffset);
    putItem(row, static_cast<ItemData>(moved));
    rows_.push_back(row);
  }
  other.deleteAllRows();
}

}  // namespace solvane

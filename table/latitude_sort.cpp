// The latitude sort of the camera table (CameraTable::sortByLatitude), the latitude read from a
// row for it, and CompareByLatitude, the order it keeps.
#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <span>
#include <type_traits>

#include "base/c_number.h"
#include "base/helper_thread.h"
#include "table/camera_table.h"
#include "table/line_fields.h"

namespace solvane {

namespace {

// Below this many rows a second sorting thread costs more than it saves.
constexpr std::size_t kParallelSortRows = std::size_t{1} << 15;

// A latitude as an unsigned number in the same order; -0 and +0 are equal, as they compare.
// The value is never NaN.
std::uint64_t orderedBits(double latitude) noexcept {
  if (latitude == 0.0) latitude = 0.0;
  const auto bits = std::bit_cast<std::uint64_t>(latitude);
  constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
  return (bits & kSign) ? ~bits : bits | kSign;
}

void prefetch(const void* p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

}  // namespace

// 12 bytes rather than 16: the radix passes move less memory.
struct CameraTable::SortKey {
  std::uint32_t low, high;  // orderedBits of the latitude
  std::uint32_t index;
  SortKey() noexcept {}  // left unset: every key is written before it is read
  SortKey(std::uint64_t bits, std::uint32_t i) noexcept
      : low(static_cast<std::uint32_t>(bits)), high(static_cast<std::uint32_t>(bits >> 32)), index(i) {}
  [[nodiscard]] std::uint64_t latitude() const noexcept { return std::uint64_t{high} << 32 | low; }
};

namespace {

using SortKey = CameraTable::SortKey;

// Stable least-significant-digit radix sort by `latitude`, 11 bits a pass; a pass in which
// all keys share the digit is skipped (the sign and exponent of similar latitudes agree).
// `scratch` is as long as `keys`.
void radixSort(std::span<SortKey> keys, std::span<SortKey> scratch) {
  constexpr unsigned kBits = 11;
  constexpr std::size_t kPasses = (64 + kBits - 1) / kBits;
  constexpr std::uint64_t kMask = (std::uint64_t{1} << kBits) - 1;
  if (keys.size() < 2) return;
  std::vector<std::array<std::uint32_t, kMask + 1>> counts(kPasses);
  for (const SortKey& k : keys) {
    for (std::size_t p = 0; p < kPasses; ++p) ++counts[p][(k.latitude() >> (p * kBits)) & kMask];
  }
  std::span<SortKey> from = keys, to = scratch;
  for (std::size_t p = 0; p < kPasses; ++p) {
    auto& count = counts[p];
    const unsigned shift = static_cast<unsigned>(p) * kBits;
    if (count[(from[0].latitude() >> shift) & kMask] == from.size()) continue;
    std::uint32_t sum = 0;
    for (std::uint32_t& c : count) sum += std::exchange(c, sum);  // counts -> first positions
    for (const SortKey& k : from) to[count[(k.latitude() >> shift) & kMask]++] = k;
    std::swap(from, to);
  }
  if (from.data() != keys.data()) std::copy(from.begin(), from.end(), keys.begin());
}

}  // namespace

void CameraTable::sortByLatitude() {
  // Each key is parsed once. Ties keep load order (the radix sort is stable and the keys start
  // in load order), so the order is one and the same however the work is split.
  const std::size_t n = rows_.size();
  if (n < 2) return;
  LargeVector<SortKey> keys(n);
  // The new row order is built in the memory that first serves the radix sort as scratch
  // space (a row takes more room than a key), so the sort touches less fresh memory. The bytes
  // hold keys until the radix sort ends and rows from then on; both are implicit-lifetime
  // types, which a new array of bytes creates in place.
  static_assert(sizeof(Row) >= sizeof(SortKey) && alignof(Row) >= alignof(SortKey));
  static_assert(std::is_trivially_copyable_v<SortKey> && std::is_trivially_destructible_v<SortKey>);
  static_assert(std::is_trivially_copyable_v<Row> && std::is_trivially_destructible_v<Row>);
  LargeVector<Row> sorted(n);  // left unset
  const std::span<SortKey> scratch(
      std::launder(reinterpret_cast<SortKey*>(new (sorted.data()) std::byte[n * sizeof(SortKey)])), n);
  const auto sortRange = [&](std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i) {
      keys[i] = SortKey{orderedBits(rowLatitude(*this, i)), static_cast<std::uint32_t>(i)};
    }
    radixSort(std::span(keys).subspan(begin, end - begin), scratch.subspan(begin, end - begin));
  };

  // A large table is sorted in two halves, the second on a helper thread, and the halves are
  // merged straight into the new row order, again on both threads.
  HelperThread helper;
  if (n >= kParallelSortRows) helper.start([&sortRange, n, half = n / 2] { sortRange(half, n); });
  const std::size_t mid = helper.onHelperThread() ? n / 2 : n;  // without a helper, all sorted here
  sortRange(0, mid);
  if (helper.onHelperThread()) helper.finish();

  new (sorted.data()) std::byte[n * sizeof(Row)];  // rows from here on, every place filled below
  const std::span<const SortKey> first(keys.data(), mid), second(keys.data() + mid, n - mid);
  const auto mergeInto = [&](std::size_t a, std::size_t aEnd, std::size_t b, std::size_t bEnd, std::size_t out) {
    // Equal latitudes: the first half's row comes first. The rows are fetched from all over
    // the old order, so those a few keys ahead are asked for early.
    constexpr std::size_t kAhead = 8;
    while (a != aEnd && b != bEnd) {
      if (a + kAhead < aEnd) prefetch(&rows_[first[a + kAhead].index]);
      if (b + kAhead < bEnd) prefetch(&rows_[second[b + kAhead].index]);
      sorted[out++] = rows_[(second[b].latitude() < first[a].latitude() ? second[b++] : first[a++]).index];
    }
    for (; a != aEnd; ++a) sorted[out++] = rows_[first[a].index];
    for (; b != bEnd; ++b) sorted[out++] = rows_[second[b].index];
  };
  // The first `k` rows of the merge take `i` keys from the first half and k - i from the
  // second: found by bisection, the two stretches merge independently.
  const std::size_t k = n / 2;
  std::size_t lo = k > second.size() ? k - second.size() : 0, hi = std::min(k, first.size());
  while (lo < hi) {
    const std::size_t i = lo + (hi - lo) / 2;
    if (first[i].latitude() <= second[k - i - 1].latitude()) {
      lo = i + 1;
    } else {
      hi = i;
    }
  }
  const std::size_t i = lo;
  HelperThread merger;  // without a thread, the second stretch is merged here after the first
  merger.start([&mergeInto, i, k, &first, &second] { mergeInto(i, first.size(), k - i, second.size(), k); },
               second.size() > 0);
  mergeInto(0, i, 0, k - i, 0);
  merger.finish();
  rows_ = std::move(sorted);
}

double rowLatitude(const CameraTable& table, std::size_t row) noexcept {
  if (const auto line = table.rowLine(row)) {
    // Read straight from the line: the number ends where the Y cell does or earlier.
    const char* const end = line->text.data() + line->text.size();
    const char* const comma = findNthComma(line->text.data(), end, kY);
    if (comma == end) return 0.0;  // no Y cell
    const char* next = nullptr;
    return scanCDouble(comma + 1, end, &next);
  }
  return parseCDouble(table.cell(row, kY));
}

int CompareByLatitude(std::string_view latitudeA, std::string_view latitudeB) noexcept {
  const double a = parseCDouble(latitudeA);
  const double b = parseCDouble(latitudeB);
  if (a > b) return 1;
  if (a < b) return -1;
  return 0;
}

}  // namespace solvane

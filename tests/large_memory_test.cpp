#include "base/large_memory.h"

#include <cstdint>
#include <numeric>

#include <gtest/gtest.h>

namespace solvane {
namespace {

// Sizes around the large-block threshold and the 2 MB page: every byte of each block must be
// usable and hold its value while the other blocks come and go.
TEST(LargeMemory, BlocksOfEverySizeHoldTheirBytes) {
  const std::size_t sizes[] = {1,
                               kLargeBlock - 1,
                               kLargeBlock,
                               kLargeBlock + 1,
                               (std::size_t{2} << 20) - 1,
                               std::size_t{2} << 20,
                               (std::size_t{5} << 20) + 3};
  std::vector<LargeBytes> blocks;
  for (const std::size_t size : sizes) {
    LargeBytes block = makeLargeBytes(size);
    ASSERT_NE(block.get(), nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % alignof(std::max_align_t), 0u) << size;
    for (std::size_t i = 0; i < size; ++i) block[i] = static_cast<char>(i * 7 + size);
    blocks.push_back(std::move(block));
  }
  blocks.erase(blocks.begin() + 2);  // freeing one leaves the others intact
  blocks.erase(blocks.begin() + 4);
  std::size_t k = 0;
  for (const std::size_t size : sizes) {
    if (size == sizes[2] || size == sizes[5]) continue;
    const LargeBytes& block = blocks[k++];
    for (std::size_t i = 0; i < size; i += 4093) ASSERT_EQ(block[i], static_cast<char>(i * 7 + size)) << size;
    EXPECT_EQ(block[size - 1], static_cast<char>((size - 1) * 7 + size)) << size;
  }
}

TEST(LargeMemory, VectorsGrowAcrossTheThresholdKeepingTheirElements) {
  LargeVector<std::uint64_t> v;
  for (std::uint64_t i = 0; i < 600'000; ++i) v.push_back(i);  // several reallocations, small to large
  EXPECT_EQ(std::accumulate(v.begin(), v.end(), std::uint64_t{0}), 600'000ull * 599'999 / 2);
  v.resize(10);
  v.shrink_to_fit();
  EXPECT_EQ(v.back(), 9u);
}

}  // namespace
}  // namespace solvane

// Large tables take the two-thread paths of the sort and the encoder; their results must be
// exactly those of the one-thread code.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "table/camera_table.h"
#include "bench/list_generator.h"
#include "base/c_number.h"
#include "convert/conversion.h"

namespace solvane {
namespace {

std::uint64_t fnv1a(const std::vector<char>& bytes) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ull;
  }
  return h;
}

TEST(LargeTable, SortKeepsLoadOrderAmongEqualLatitudesAcrossBothHalves) {
  // 100k rows drawn from a handful of latitude texts, several of them equal in value
  // ("37.5", "37.50", " 37.5"), so ties straddle the point where the halves are merged.
  const char* latitudes[] = {"37.5", "37.50", " 37.5", "-12",    "abc",     "",      "0",       "-0.0",
                             "90",   "1e1",   "1e999", "-1e999", "-1e-999", "-37.5", "4.9e-324"};
  CameraTable table;
  constexpr std::size_t kRows = 100'000;
  std::vector<std::pair<double, std::size_t>> expected;
  for (std::size_t i = 0; i < kRows; ++i) {
    const std::string idx = std::to_string(i);
    const char* y = latitudes[(i * 7 + i / 1000) % std::size(latitudes)];
    const std::string_view cells[] = {idx, "127", y};
    table.appendRow(cells, static_cast<ItemData>(i + 1));
    expected.emplace_back(parseCDouble(y), i);
  }
  std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  table.sortByLatitude();
  ASSERT_EQ(table.rowCount(), kRows);
  for (std::size_t pos = 0; pos < kRows; ++pos) {
    ASSERT_EQ(table.cell(pos, kIdx), std::to_string(expected[pos].second)) << "position " << pos;
    ASSERT_EQ(table.itemData(pos), static_cast<ItemData>(expected[pos].second + 1));
  }
}

TEST(LargeTable, ConversionOfGeneratedListsGivesTheSameBytesAsTheOneThreadCode) {
  // The hash was taken from the file that the one-thread conversion wrote for these lists,
  // date and seed, before the sort and the encoder were split over two threads.
  const auto dir = std::filesystem::temp_directory_path() / ("solvane-large-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto lists = bench::generateLists(100'000, bench::sectionsFor(100'000), 7);
  ConversionRequest request;
  request.sources.normal = dir / "normal.txt";
  request.sources.autodoria = dir / "autodoria.txt";
  std::ofstream(request.sources.normal, std::ios::binary) << lists.normal;
  std::ofstream(request.sources.autodoria, std::ios::binary) << lists.autodoria;
  request.outputDir = dir;
  request.date = FileDate{2024, 11, 5};
  request.seed = 42;
  CameraTable table;
  const ConversionResult result = runConversion(request, table);
  ASSERT_EQ(result.status, ConversionStatus::kConverted) << result.message << " " << result.detail;
  std::ifstream in(result.outputPath, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  EXPECT_EQ(bytes.size(), 2'448'064u);
  EXPECT_EQ(fnv1a(bytes), 0xca653f40a7b49ba1ull);
}

}  // namespace
}  // namespace solvane

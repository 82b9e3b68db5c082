// Google Benchmark cases for the map preview at 100k and 1M points (with 2 sections per 100
// points): building the map index, drawing one frame of the whole country (every row in
// view, drawn as pixels), one frame zoomed to a city, and finding the row under a click.
// A frame is what every step of a drag or a wheel turn costs, so it must stay well under the
// 16 ms of a 60 Hz screen for the map to feel smooth.
//
// Runs offscreen; needs the GUI build (SOLVANE_BUILD_GUI and SOLVANE_BUILD_BENCH).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <map>
#include <memory>

#include "table/camera_table.h"
#include "map/map_index.h"
#include "app/map/map_view.h"
#include "bench/list_generator.h"
#include "load/autodoria_list.h"
#include "load/normal_list.h"

namespace solvane::bench {
namespace {

constexpr std::uint64_t kSeed = 20241105;

// The generated lists loaded into a table, and the map index of it, built once per size.
struct Loaded {
  CameraTable table;
  std::shared_ptr<const map::MapIndex> index;
};

Loaded& loaded(std::size_t points) {
  static std::map<std::size_t, std::unique_ptr<Loaded>> cache;
  auto& slot = cache[points];
  if (!slot) {
    slot = std::make_unique<Loaded>();
    const GeneratedLists lists = generateLists(points, sectionsFor(points), kSeed);
    parseNormalList(lists.normal, true, slot->table, "normal");
    parseAutodoriaList(lists.autodoria, true, slot->table, "autodoria");
    slot->index = std::make_shared<const map::MapIndex>(map::MapIndex::build(slot->table));
  }
  return *slot;
}

void BM_MapIndexBuild(benchmark::State& state) {
  const CameraTable& table = loaded(static_cast<std::size_t>(state.range(0))).table;
  for (auto _ : state) benchmark::DoNotOptimize(map::MapIndex::build(table));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(table.rowCount()));
}

// One frame of a 1000 x 700 map: fitted to every row, or zoomed in 40 times on the middle.
void frame(benchmark::State& state, double zoom) {
  map::MapView view;
  view.resize(1000, 700);
  view.setIndex(loaded(static_cast<std::size_t>(state.range(0))).index);
  view.fitAll();
  view.setView(view.viewCentre(), view.pixelsPerDegree() * zoom);
  QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    view.render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}
void BM_MapFrameWholeCountry(benchmark::State& state) { frame(state, 1.0); }
void BM_MapFrameCity(benchmark::State& state) { frame(state, 40.0); }

void BM_MapRowAt(benchmark::State& state) {
  const map::MapIndex& index = *loaded(static_cast<std::size_t>(state.range(0))).index;
  const map::WorldRect e = index.extent();
  std::size_t i = 0;
  for (auto _ : state) {
    // Walk the country on a coarse lattice; a click radius of 7 pixels at city zoom.
    const double x = e.left + e.width() * static_cast<double>(i % 97) / 97.0;
    const double y = e.bottom + e.height() * static_cast<double>(i / 97 % 89) / 89.0;
    benchmark::DoNotOptimize(index.rowAt(x, y, 0.002));
    ++i;
  }
}

BENCHMARK(BM_MapIndexBuild)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MapFrameWholeCountry)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MapFrameCity)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MapRowAt)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace solvane::bench

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

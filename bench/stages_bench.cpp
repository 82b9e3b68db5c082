// Google Benchmark cases for each stage of a conversion at 10k, 100k and 1M points (with 2
// sections per 100 points): loading both lists from files, sorting by latitude, encoding the
// file image, and the whole run from files to the written database.
//
// The lists are generated once per size into a private temporary folder, which is removed at
// the end. Times are wall-clock (real time), since stages may use more than one thread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include <unistd.h>

#include "table/camera_table.h"
#include "bench/list_generator.h"
#include "convert/conversion.h"
#include "load/load_command.h"
#include "check/near_duplicates.h"
#include "check/quality_findings.h"
#include "base/c_number.h"

namespace solvane::bench {
namespace {

constexpr std::uint64_t kSeed = 20241105;
constexpr FileDate kDate{2024, 11, 5};

class Workspace {
 public:
  Workspace() {
    dir_ = std::filesystem::temp_directory_path() / ("solvane-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_ / "out");
  }
  ~Workspace() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  struct Lists {
    SourcePaths paths;
    std::size_t bytes = 0;
  };

  // The generated lists for `points` points, written on first use.
  const Lists& lists(std::size_t points) {
    auto it = lists_.find(points);
    if (it != lists_.end()) return it->second;
    const GeneratedLists generated = generateLists(points, sectionsFor(points), kSeed);
    Lists l;
    l.paths.normal = dir_ / ("normal_" + std::to_string(points) + ".txt");
    l.paths.autodoria = dir_ / ("autodoria_" + std::to_string(points) + ".txt");
    write(l.paths.normal, generated.normal);
    write(l.paths.autodoria, generated.autodoria);
    l.bytes = generated.normal.size() + generated.autodoria.size();
    return lists_.emplace(points, std::move(l)).first->second;
  }

  [[nodiscard]] std::filesystem::path outputDir() const { return dir_ / "out"; }

 private:
  static void write(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.string().c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::perror(path.string().c_str());
      std::abort();
    }
  }

  std::filesystem::path dir_;
  std::map<std::size_t, Lists> lists_;
};

Workspace& workspace() {
  static Workspace w;
  return w;
}

void loadOrDie(CameraTable& table, const SourcePaths& paths) {
  const LoadResult r = loadSources(table, paths);
  if (!r.ok()) {
    std::fprintf(stderr, "load failed: %s %s\n", r.error->message.c_str(), r.error->detail.c_str());
    std::abort();
  }
}

void setCounters(benchmark::State& state, const Workspace::Lists& lists, std::size_t rows) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lists.bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * rows));
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_Load(benchmark::State& state) {
  const auto& lists = workspace().lists(static_cast<std::size_t>(state.range(0)));
  CameraTable table;
  for (auto _ : state) {
    loadOrDie(table, lists.paths);
    benchmark::DoNotOptimize(table.rowCount());
  }
  setCounters(state, lists, table.rowCount());
}

void BM_Sort(benchmark::State& state) {
  const auto& lists = workspace().lists(static_cast<std::size_t>(state.range(0)));
  CameraTable table;
  for (auto _ : state) {
    state.PauseTiming();
    loadOrDie(table, lists.paths);  // the lists' own order, not an already sorted table
    state.ResumeTiming();
    table.sortByLatitude();
    benchmark::ClobberMemory();
  }
  setCounters(state, lists, table.rowCount());
}

void BM_Encode(benchmark::State& state) {
  const auto& lists = workspace().lists(static_cast<std::size_t>(state.range(0)));
  CameraTable table;
  loadOrDie(table, lists.paths);
  table.sortByLatitude();
  const Header header = makeHeader(kDate);
  const RandomBytes random(kSeed);
  for (auto _ : state) {
    EncodedDatabase db = encodeDatabase(table, header, random.block(), random);
    benchmark::DoNotOptimize(db.bytes.data());
  }
  setCounters(state, lists, table.rowCount());
}

void BM_Convert(benchmark::State& state) {
  const auto& lists = workspace().lists(static_cast<std::size_t>(state.range(0)));
  ConversionRequest request;
  request.sources = lists.paths;
  request.outputDir = workspace().outputDir();
  request.date = kDate;
  request.seed = kSeed;
  std::size_t rows = 0;
  for (auto _ : state) {
    CameraTable table;
    const ConversionResult r = runConversion(request, table);
    if (r.status != ConversionStatus::kConverted) {
      state.SkipWithError(r.message.c_str());
      return;
    }
    rows = r.rowsLoaded;
  }
  setCounters(state, lists, rows);
}

// The near-duplicate search alone, on every row's first point.
void BM_NearDuplicates(benchmark::State& state) {
  const auto& lists = workspace().lists(static_cast<std::size_t>(state.range(0)));
  CameraTable table;
  loadOrDie(table, lists.paths);
  std::vector<GeoPoint> points;
  points.reserve(table.rowCount());
  for (std::size_t i = 0; i < table.rowCount(); ++i) {
    points.push_back({parseCDouble(table.cell(i, kY)), parseCDouble(table.cell(i, kX))});
  }
  std::size_t groups = 0;
  for (auto _ : state) {
    groups = findNearGroups(points, kDefaultNearMetres).size();
    benchmark::DoNotOptimize(groups);
  }
  setCounters(state, lists, table.rowCount());
  state.counters["groups"] = static_cast<double>(groups);
}

// All quality findings of a loaded table: reading the cells, the per-row rules, the list's
// area and the near-duplicate search.
void BM_QualityCheck(benchmark::State& state) {
  const auto& lists = workspace().lists(static_cast<std::size_t>(state.range(0)));
  CameraTable table;
  loadOrDie(table, lists.paths);
  std::size_t findings = 0;
  for (auto _ : state) {
    findings = checkQuality(table, QualityOptions{}, [](std::size_t row) { return std::to_string(row); }).size();
    benchmark::DoNotOptimize(findings);
  }
  setCounters(state, lists, table.rowCount());
  state.counters["findings"] = static_cast<double>(findings);
}

// A thousand cameras at one crossing among a hundred thousand spread over a city: the
// crossing must cost no more than its thousand rows.
void BM_NearDuplicatesCluster(benchmark::State& state) {
  std::vector<GeoPoint> points;
  for (int k = 0; k < 100'000; ++k) points.push_back({37.4 + (k % 317) * 0.0007, 126.9 + (k / 317) * 0.0009});
  for (int k = 0; k < 1000; ++k) points.push_back({37.5 + (k % 10) * 0.00001, 127.0 + (k / 10) * 0.000001});
  for (auto _ : state) benchmark::DoNotOptimize(findNearGroups(points, kDefaultNearMetres).size());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * points.size()));
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_Load)->Apply(sizes);
BENCHMARK(BM_Sort)->Apply(sizes);
BENCHMARK(BM_Encode)->Apply(sizes);
BENCHMARK(BM_Convert)->Apply(sizes);
BENCHMARK(BM_NearDuplicates)->Apply(sizes);
BENCHMARK(BM_QualityCheck)->Apply(sizes);
BENCHMARK(BM_NearDuplicatesCluster)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace solvane::bench

BENCHMARK_MAIN();

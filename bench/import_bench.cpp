// `solvane import` throughput: a million-point GeoJSON (as dump writes it), Garmin POI CSV and
// GPX, each read and turned into the two list texts; and an OpenStreetMap PBF extract read by
// the importer beside `osmium tags-filter` selecting the same objects from the same file.
//
// Inputs are generated here (no downloads): the points of a generated normal list, and a
// synthetic extract written with libosmium (nodes along ways, one node in 1000 a camera, one
// camera in 20 a device of an average-speed relation, plus unrelated relations). Times are
// wall-clock, since libosmium decodes PBF on several threads.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <osmium/builder/attr.hpp>
#include <osmium/io/any_output.hpp>

#include "bench/list_generator.h"
#include "import/camera_set.h"
#include "import/geojson_reader.h"
#include "import/osm_reader.h"
#include "import/poi_csv_reader.h"
#include "import/xml_readers.h"

namespace solvane::bench {
namespace {

namespace fs = std::filesystem;

struct Point {
  std::string lon, lat, speed, dir;
};

// The points of a generated normal list (its X, Y, SPD and DIR texts).
std::vector<Point> points(std::size_t n) {
  const GeneratedLists lists = generateLists(n, 0, 20241105);
  std::vector<Point> out;
  out.reserve(n);
  std::size_t pos = lists.normal.find('\n') + 1;  // after the header
  while (pos < lists.normal.size()) {
    const std::size_t end = lists.normal.find('\n', pos);
    const std::string_view line(lists.normal.data() + pos,
                                (end == std::string::npos ? lists.normal.size() : end) - pos);
    pos = end == std::string::npos ? lists.normal.size() : end + 1;
    if (line.starts_with("//") || line.empty()) continue;
    std::vector<std::string> f;
    std::size_t a = 0;
    for (std::size_t b; (b = line.find(',', a)) != std::string_view::npos; a = b + 1)
      f.emplace_back(line.substr(a, b - a));
    f.emplace_back(line.substr(a));
    if (f.size() >= 7 && f[0] != "IDX") {
      if (!f[6].empty() && f[6].back() == '\r') f[6].pop_back();
      out.push_back({f[1], f[2], f[4], f[6]});
    }
  }
  return out;
}

const std::vector<Point>& million() {
  static const std::vector<Point> p = points(1000000);
  return p;
}

void report(benchmark::State& state, const std::string& text, std::size_t cameras) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cameras));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

std::string orNull(const std::string& number) { return number.empty() ? "null" : number; }

void BM_ImportGeoJson(benchmark::State& state) {
  std::string text = "{\"type\": \"FeatureCollection\", \"features\": [";
  std::size_t n = 0;
  for (const Point& p : million()) {
    text += n++ ? ",\n" : "\n";
    text += "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [" + p.lon + ", " + p.lat +
            "]}, \"properties\": {\"record\": " + std::to_string(n) +
            ", \"kind\": \"point\", \"type\": 1, \"speed\": " + orNull(p.speed) +
            ", \"dtype\": 1, \"h\": 12, \"direction\": " + orNull(p.dir) + ", \"ambiguous\": false}}";
  }
  text += "\n]}\n";
  for (auto _ : state) {
    importer::CameraSet set;
    if (const auto e = importer::readGeoJson(text, set)) state.SkipWithError((e->where + ": " + e->reason).c_str());
    benchmark::DoNotOptimize(importer::normalListText(set.cameras(), {}));
  }
  report(state, text, million().size());
}

void BM_ImportPoiCsv(benchmark::State& state) {
  std::string text;
  for (const Point& p : million()) text += p.lon + "," + p.lat + ",\"Speed camera, fixed @" + p.speed + "\"\r\n";
  for (auto _ : state) {
    importer::CameraSet set;
    if (importer::readPoiCsv(text, "Cameras.csv", set)) state.SkipWithError("parse error");
    benchmark::DoNotOptimize(importer::normalListText(set.cameras(), {}));
  }
  report(state, text, million().size());
}

void BM_ImportGpx(benchmark::State& state) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.1\" creator=\"bench\">\n";
  for (const Point& p : million()) {
    text += "<wpt lat=\"" + p.lat + "\" lon=\"" + p.lon + "\"><name>Camera @" + p.speed +
            "</name><extensions><direction>" + p.dir + "</direction></extensions></wpt>\n";
  }
  text += "</gpx>\n";
  for (auto _ : state) {
    importer::CameraSet set;
    if (importer::readGpx(text, false, set)) state.SkipWithError("parse error");
    benchmark::DoNotOptimize(importer::normalListText(set.cameras(), {}));
  }
  report(state, text, million().size());
}

// A synthetic extract: `nodes` nodes in ways of 10, cameras and enforcement relations among them.
class Extract {
 public:
  explicit Extract(std::size_t nodes) {
    path_ = fs::temp_directory_path() / ("solvane-bench-osm-" + std::to_string(::getpid()) + ".osm.pbf");
    using namespace osmium::builder::attr;  // NOLINT: the builder's attribute helpers
    osmium::io::Writer writer(osmium::io::File(path_.string()), osmium::io::overwrite::allow);
    osmium::memory::Buffer buffer(1 << 22, osmium::memory::Buffer::auto_grow::yes);
    const auto flush = [&](bool force) {
      if (force || buffer.committed() > (1 << 21)) {
        writer(std::move(buffer));
        buffer = osmium::memory::Buffer(1 << 22, osmium::memory::Buffer::auto_grow::yes);
      }
    };
    std::uint64_t state = 12345;
    const auto next = [&] {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<std::uint32_t>(state >> 33);
    };
    for (std::size_t id = 1; id <= nodes; ++id) {
      const double lon = 5.0 + (next() % 1000000) * 1e-5, lat = 47.0 + (next() % 800000) * 1e-5;
      if (id % 1000 == 0) {
        osmium::builder::add_node(buffer, _id(static_cast<std::int64_t>(id)), _version(1), _location(lon, lat),
                                  _tag("highway", "speed_camera"), _tag("maxspeed", id % 3000 ? "50" : "30 mph"),
                                  _tag("direction", "NE"));
        ++cameras_;
      } else if (id % 7 == 0) {
        osmium::builder::add_node(buffer, _id(static_cast<std::int64_t>(id)), _version(1), _location(lon, lat),
                                  _tag("highway", "crossing"));
      } else {
        osmium::builder::add_node(buffer, _id(static_cast<std::int64_t>(id)), _version(1), _location(lon, lat));
      }
      buffer.commit();
      flush(false);
    }
    for (std::size_t w = 1; w * 10 <= nodes; ++w) {
      std::vector<osmium::object_id_type> refs;
      for (std::size_t k = 0; k < 10; ++k) refs.push_back(static_cast<osmium::object_id_type>((w - 1) * 10 + k + 1));
      osmium::builder::add_way(buffer, _id(static_cast<std::int64_t>(w)), _version(1), _nodes(refs),
                               _tag("highway", "residential"));
      buffer.commit();
      flush(false);
    }
    std::int64_t rid = 1;
    for (std::size_t c = 20000; c <= nodes; c += 20000, ++rid) {
      // An average-speed section between two cameras 20 apart, and an unrelated route.
      osmium::builder::add_relation(
          buffer, _id(rid * 2), _version(1),
          _member(osmium::item_type::node, static_cast<osmium::object_id_type>(c), "device"),
          _member(osmium::item_type::node, static_cast<osmium::object_id_type>(c - 19000), "device"),
          _tag("type", "enforcement"), _tag("enforcement", "average_speed"), _tag("maxspeed", "80"));
      osmium::builder::add_relation(buffer, _id(rid * 2 + 1), _version(1),
                                    _member(osmium::item_type::way, static_cast<osmium::object_id_type>(c / 10), ""),
                                    _tag("type", "route"), _tag("route", "bus"));
      buffer.commit();
      flush(false);
    }
    flush(true);
    writer.close();
  }
  ~Extract() {
    // SOLVANE_BENCH_KEEP_EXTRACT=1 keeps the file, for timing `solvane import` on it by hand.
    if (std::getenv("SOLVANE_BENCH_KEEP_EXTRACT")) {
      std::fprintf(stderr, "extract kept: %s\n", path_.string().c_str());
      return;
    }
    std::error_code ec;
    fs::remove(path_, ec);
  }
  Extract(const Extract&) = delete;
  Extract& operator=(const Extract&) = delete;
  [[nodiscard]] const fs::path& path() const { return path_; }
  [[nodiscard]] std::size_t cameras() const { return cameras_; }

 private:
  fs::path path_;
  std::size_t cameras_ = 0;
};

const Extract& extract() {
  static const Extract e(20000000);  // 20 million nodes, 2 million ways: about 200 MB of PBF
  return e;
}

void BM_ImportOsmPbf(benchmark::State& state) {
  const Extract& e = extract();
  std::size_t cameras = 0;
  for (auto _ : state) {
    importer::CameraSet set;
    if (importer::readOsmFile(e.path(), "", set)) state.SkipWithError("read error");
    benchmark::DoNotOptimize(importer::normalListText(set.cameras(), {}));
    cameras = set.cameras().size();
  }
  state.counters["cameras"] = static_cast<double>(cameras);
  state.counters["file_MB"] = static_cast<double>(fs::file_size(e.path())) / 1e6;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(e.path())));
}

// The same objects selected by osmium-tool: camera nodes and enforcement relations (with the
// member nodes they reference, as the importer needs them).
void BM_OsmiumTagsFilter(benchmark::State& state) {
  const Extract& e = extract();
  const fs::path out = fs::temp_directory_path() / ("solvane-bench-osmium-" + std::to_string(::getpid()) + ".osm.pbf");
  const std::string command = "osmium tags-filter --overwrite --no-progress -o '" + out.string() + "' '" +
                              e.path().string() + "' n/highway=speed_camera r/type=enforcement";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("osmium tags-filter failed (is osmium-tool installed?)");
  }
  std::error_code ec;
  fs::remove(out, ec);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(e.path())));
}

BENCHMARK(BM_ImportGeoJson)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportPoiCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportGpx)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportOsmPbf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OsmiumTagsFilter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace solvane::bench

BENCHMARK_MAIN();

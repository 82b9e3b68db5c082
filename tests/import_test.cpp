// The import readers: the fixture table (tests/import_fixtures: each input beside the exact
// lists, skipped items and notes, or the exact error it must give), the round trip
// dump -> import -> convert, and the pieces the readers share.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <osmium/io/any_input.hpp>
#include <osmium/io/any_output.hpp>

#include "base/c_number.h"
#include "bench/list_generator.h"
#include "check/database_reader.h"
#include "cli/dump_command.h"
#include "convert/conversion.h"
#include "convert/record_encoder.h"
#include "import/camera_set.h"
#include "import/geojson_reader.h"
#include "import/import_run.h"
#include "import/osm_reader.h"
#include "import/table_csv_reader.h"
#include "load/load_command.h"

namespace fs = std::filesystem;

namespace solvane::importer {
namespace {

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void spit(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string withoutCr(std::string s) {
  std::erase(s, '\r');
  return s;
}

fs::path freshDir(const std::string& name) {
  const fs::path d = fs::temp_directory_path() / ("solvane_import_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

// What a reader made of a file, in the form of the .expected files.
std::string describe(const std::optional<ReadError>& error, const CameraSet& set) {
  if (error) return "# error\n" + (error->where.empty() ? "" : error->where + ": ") + error->reason + "\n";
  std::string out = "# Solvane.txt\n" + withoutCr(normalListText(set.cameras(), {}));
  out += "# Autodoria.txt\n" + withoutCr(autodoriaListText(set.cameras(), {}));
  out += "# skipped\n";
  for (const auto& s : set.skipped()) out += s + "\n";
  out += "# notes\n";
  for (const auto& s : set.notes()) out += s + "\n";
  return out;
}

std::optional<ReadError> readFixture(const fs::path& file, CameraSet& set) {
  const std::string bytes = slurp(file);
  const auto format = detectFormat(file, bytes.substr(0, 512));
  if (!format) return ReadError{"", "format not detected"};
  if (*format == Format::kOsmXml || *format == Format::kOsmPbf) return readOsmFile(file, "", set);
  const bool sections = file.filename().string().find("sections") != std::string::npos;
  return readInto(*format, bytes, file.filename().string(), sections, set);
}

// Every fixture gives exactly its .expected text; SOLVANE_UPDATE_FIXTURES=1 rewrites them
// (review the diff before committing).
TEST(ImportFixtures, EachGivesExactlyItsExpectedLinesOrError) {
  const fs::path dir = fs::path(SOLVANE_SOURCE_DIR) / "tests/import_fixtures";
  const bool update = std::getenv("SOLVANE_UPDATE_FIXTURES") != nullptr;
  std::size_t checked = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const fs::path file = entry.path();
    if (file.extension() == ".expected") continue;
    SCOPED_TRACE(file.filename().string());
    CameraSet set;
    const auto error = readFixture(file, set);
    const std::string actual = describe(error, set);
    fs::path expectedPath = file;
    expectedPath += ".expected";
    if (update) spit(expectedPath, actual);
    ASSERT_TRUE(fs::exists(expectedPath)) << "no " << expectedPath;
    EXPECT_EQ(actual, slurp(expectedPath));
    ++checked;
    if (error || set.cameras().empty()) continue;
    // The lists written load with the real loaders, every camera a row.
    const fs::path out = freshDir("load");
    spit(out / "Solvane.txt", normalListText(set.cameras(), {}));
    spit(out / "Autodoria.txt", autodoriaListText(set.cameras(), {}));
    CameraTable table;
    const LoadResult loaded = loadSources(table, {out / "Solvane.txt", out / "Autodoria.txt"});
    ASSERT_TRUE(loaded.ok()) << loaded.error->detail;
    EXPECT_EQ(table.rowCount(), set.cameras().size());
    fs::remove_all(out);
  }
  EXPECT_GE(checked, 21u);
}

// The same OpenStreetMap data as PBF (written here with libosmium) gives the same cameras; and
// a plain XML file, whose relations the first pass finds by a byte search (readOsmFile), gives
// what the whole-file first pass (readOsmBytes, the reference) gives.
TEST(ImportFixtures, OsmPbfReadsLikeOsmXml) {
  const fs::path dir = freshDir("pbf");
  for (const char* name : {"osm_cameras.osm", "osm_enforcement.osm", "osm_relation_in_a_comment.osm"}) {
    SCOPED_TRACE(name);
    const fs::path xml = fs::path(SOLVANE_SOURCE_DIR) / "tests/import_fixtures" / name;
    const fs::path pbf = dir / (std::string(name) + ".pbf");
    {
      osmium::io::Reader reader(xml.string());
      osmium::io::Writer writer(osmium::io::File(pbf.string()), osmium::io::overwrite::allow);
      while (osmium::memory::Buffer buffer = reader.read()) writer(std::move(buffer));
      writer.close();
      reader.close();
    }
    CameraSet fromXml, fromPbf;
    ASSERT_FALSE(readOsmFile(xml, "", fromXml));
    ASSERT_FALSE(readOsmFile(pbf, "", fromPbf));
    EXPECT_EQ(normalListText(fromPbf.cameras(), {}), normalListText(fromXml.cameras(), {}));
    EXPECT_EQ(autodoriaListText(fromPbf.cameras(), {}), autodoriaListText(fromXml.cameras(), {}));
    EXPECT_EQ(fromPbf.skipped().size(), fromXml.skipped().size());
    EXPECT_EQ(fromPbf.notes().size(), fromXml.notes().size());
    CameraSet wholeFile;
    ASSERT_FALSE(readOsmBytes(slurp(xml), "osm", wholeFile));
    EXPECT_EQ(normalListText(wholeFile.cameras(), {}), normalListText(fromXml.cameras(), {}));
    EXPECT_EQ(autodoriaListText(wholeFile.cameras(), {}), autodoriaListText(fromXml.cameras(), {}));
    EXPECT_EQ(wholeFile.notes(), fromXml.notes());
  }
  fs::remove_all(dir);
}

// The hooks a front end uses: progress rises to the work's size (an OSM file counts twice, it
// is read in two passes), and a cancel, before or during the reading, writes nothing.
TEST(ImportHooks, ProgressReachesTheTotalAndCancelWritesNothing) {
  const fs::path dir = freshDir("hooks");
  std::string csv;
  for (int i = 0; i < 3000; ++i) csv += "11." + std::to_string(1000 + i) + ",48.5,cam@50\n";
  spit(dir / "many.csv", csv);
  const fs::path osm = fs::path(SOLVANE_SOURCE_DIR) / "tests/import_fixtures/osm_cameras.osm";
  ImportRequest request;
  request.files = {dir / "many.csv", osm};
  request.outputDir = dir;
  std::vector<ImportProgress> seen;
  request.progress = [&](const ImportProgress& p) { seen.push_back(p); };
  ImportResult r = runImport(request);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(r.cancelled);
  const std::uint64_t total = csv.size() + 2 * fs::file_size(osm);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front().bytesRead, 0u);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].bytesTotal, total);
    if (i) EXPECT_GE(seen[i].bytesRead, seen[i - 1].bytesRead);
  }
  EXPECT_EQ(seen.back().bytesRead, total);
  EXPECT_EQ(seen.back().objects, r.cameras.cameras().size());

  // Cancelled from the first report (so inside the OSM reader, the first file now), or before
  // the start.
  spit(dir / "Solvane.txt", "the list before\n");
  spit(dir / "Autodoria.txt", "the sections before\n");
  std::atomic<bool> cancel = false;
  request.cancel = &cancel;
  request.files = {osm, dir / "many.csv"};
  for (const bool during : {true, false}) {
    cancel = !during;
    std::size_t reports = 0;
    request.progress = [&](const ImportProgress&) {
      ++reports;
      cancel = true;
    };
    r = runImport(request);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(reports, 1u);  // stopped before the end's report
    EXPECT_EQ(slurp(dir / "Solvane.txt"), "the list before\n");
    EXPECT_EQ(slurp(dir / "Autodoria.txt"), "the sections before\n");
  }
  fs::remove_all(dir);
}

// Converts the two lists in `dir` and returns the decoded records as dump's CSV.
std::string convertAndDump(const fs::path& normal, const fs::path& autodoria, const fs::path& outDir,
                           std::string* geojson = nullptr) {
  ConversionRequest request;
  request.sources = {normal, autodoria};
  request.outputDir = outDir;
  request.date = FileDate{2024, 11, 5};
  request.seed = 7;
  CameraTable table;
  const ConversionResult result = runConversion(request, table);
  EXPECT_EQ(result.status, ConversionStatus::kConverted) << result.message << " " << result.detail;
  const DatabaseRead read = readDatabaseFile(result.outputPath);
  EXPECT_FALSE(read.error);
  const DatabaseInspection& inspection = read.inspection;
  EXPECT_TRUE(inspection.valid());
  if (geojson) *geojson = cli::recordsGeoJson(inspection.records);
  return cli::recordsCsv(inspection.records);
}

// dump -> import -> convert gives the original records back, value for value (the random
// bytes of one-point records are not in the dump).
void expectRoundTrip(const fs::path& normal, const fs::path& autodoria, const std::string& name,
                     bool throughCsv = false) {
  const fs::path dir = freshDir(name);
  std::string geojson;
  const std::string original = convertAndDump(normal, autodoria, dir, &geojson);
  const fs::path dumped = dir / (throughCsv ? "dump.csv" : "dump.geojson");
  spit(dumped, throughCsv ? original : geojson);
  ImportRequest request;
  request.files = {dumped};
  request.outputDir = dir;
  const ImportResult imported = runImport(request);
  ASSERT_TRUE(imported.ok) << imported.error;
  EXPECT_TRUE(imported.cameras.skipped().empty()) << imported.cameras.skipped().front();
  fs::create_directories(dir / "again");
  const std::string again = convertAndDump(dir / "Solvane.txt", dir / "Autodoria.txt", dir / "again");
  // Line by line, so that a failure names the first record that differs.
  std::istringstream a(original), b(again);
  std::string lineA, lineB;
  std::size_t lines = 0;
  while (std::getline(a, lineA)) {
    ASSERT_TRUE(std::getline(b, lineB)) << "the round trip lost records after " << lines;
    ASSERT_EQ(lineB, lineA) << "record line " << lines;
    ++lines;
  }
  EXPECT_FALSE(std::getline(b, lineB)) << "the round trip added records";
  EXPECT_GT(lines, 1u);
  fs::remove_all(dir);
}

TEST(ImportRoundTrip, DumpImportConvertGivesTheExampleRecords) {
  const fs::path examples = fs::path(SOLVANE_SOURCE_DIR) / "examples";
  expectRoundTrip(examples / "Solvane.txt", examples / "Autodoria.txt", "examples");
}

TEST(ImportRoundTrip, DumpImportConvertGivesAGeneratedListsRecords) {
  const fs::path dir = freshDir("generated_src");
  const bench::GeneratedLists lists = bench::generateLists(20000, 800, 11);
  spit(dir / "normal.txt", lists.normal);
  spit(dir / "autodoria.txt", lists.autodoria);
  expectRoundTrip(dir / "normal.txt", dir / "autodoria.txt", "generated");
  fs::remove_all(dir);
}

// Lists with the cells real lists hold beside the tidy ones: TYPE 2 written as 02, 258 or -254
// (all stored as 2), speeds and DTYPEs beyond a byte, directions beyond the compass, texts
// where numbers belong, and sections whose end lies outside the range (written by the
// conversion, which range-tests only the start).
bench::GeneratedLists oddLists(std::size_t points, std::uint64_t seed) {
  static constexpr const char* kTypes[] = {"1", "02", "258", "-254", "", "3", " 7", "x", "300", "16"};
  static constexpr const char* kSpeeds[] = {"", "9", "10", "300", "-5", "abc", "50", "255", "256", "130.7"};
  static constexpr const char* kDtypes[] = {"", "0", "1", "2", "7", "-1", "258", "x"};
  static constexpr const char* kDirs[] = {"", "0", "360", "400", "-90", "abc", "180", "359", "1000", "45.6"};
  static constexpr const char* kLons[] = {"11.5", "-0.00005", "179.99999", "-179.9996", "12.34567891", "0", "8.1234"};
  static constexpr const char* kLats[] = {"48.1", "-0.00001", "89.99999", "-89.9999", "47.00005", "0", "48.1"};
  static constexpr const char* kFarLons[] = {"200.5", "-181", "11.6", "12"};
  static constexpr const char* kFarLats[] = {"48.2", "95", "-90.5", "48.3"};
  std::uint64_t state = seed;
  const auto pick = [&](std::size_t n) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>((state >> 33) % n);
  };
  bench::GeneratedLists lists;
  lists.normal = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n";
  lists.autodoria = lists.normal;
  for (std::size_t i = 1; i <= points; ++i) {
    lists.normal += std::to_string(i) + "," + kLons[pick(7)] + "," + kLats[pick(7)] + "," + kTypes[pick(10)] + "," +
                    kSpeeds[pick(10)] + "," + kDtypes[pick(8)] + "," + kDirs[pick(10)] + "\r\n";
  }
  for (std::size_t i = 1; i <= points / 4; ++i) {
    const std::string type = kTypes[pick(10)], speed = kSpeeds[pick(10)], dtype = kDtypes[pick(8)];
    lists.autodoria += std::to_string(2 * i - 1) + "," + kLons[pick(7)] + "," + kLats[pick(7)] + "," + type + "," +
                       speed + "," + dtype + "," + kDirs[pick(10)] + "\r\n";
    lists.autodoria += std::to_string(2 * i) + "," + kFarLons[pick(4)] + "," + kFarLats[pick(4)] + "," + type + "," +
                       speed + "," + dtype + "," + kDirs[pick(10)] + "\r\n";
  }
  return lists;
}

TEST(ImportRoundTrip, DumpCsvAndGeoJsonImportConvertKeepEveryRecordOfListsWithOddCells) {
  for (const std::uint64_t seed : {1u, 2u, 3u}) {
    const fs::path dir = freshDir("odd_src");
    const bench::GeneratedLists lists = oddLists(400, seed);
    spit(dir / "normal.txt", lists.normal);
    spit(dir / "autodoria.txt", lists.autodoria);
    for (const bool csv : {false, true}) {
      SCOPED_TRACE((csv ? "csv, seed " : "geojson, seed ") + std::to_string(seed));
      expectRoundTrip(dir / "normal.txt", dir / "autodoria.txt", "odd", csv);
    }
    fs::remove_all(dir);
  }
}

TEST(ImportRoundTrip, DumpCsvImportConvertGivesAGeneratedListsRecords) {
  const fs::path dir = freshDir("generated_csv_src");
  const bench::GeneratedLists lists = bench::generateLists(5000, 200, 12);
  spit(dir / "normal.txt", lists.normal);
  spit(dir / "autodoria.txt", lists.autodoria);
  expectRoundTrip(dir / "normal.txt", dir / "autodoria.txt", "generated_csv", true);
  fs::remove_all(dir);
}

// The coordinate text written always scales to the exact truncated value of the source's
// decimal text; checked against the converter's own reading over a sweep of the range.
TEST(ImportCoordinates, WrittenTextScalesToTheSourcesExactValue) {
  for (std::int64_t s = -1800000; s <= 1800000; s += 7) {
    const std::int64_t a = s < 0 ? -s : s;
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld.%04lld", s < 0 ? "-" : "", static_cast<long long>(a / 10000),
                  static_cast<long long>(a % 10000));
    const auto c = coordinateFromText(text);
    ASSERT_TRUE(c) << text;
    ASSERT_EQ(c->scaled, s) << text;
    ASSERT_EQ(scaleCoordinate(std::string_view(c->text)), s) << text << " written as " << c->text;
  }
  // More decimals than the database keeps: truncated, not rounded; the text kept when it reads right.
  EXPECT_EQ(coordinateFromText("127.437817")->scaled, 1274378);
  EXPECT_EQ(coordinateFromText("127.437817")->text, "127.437817");
  EXPECT_EQ(coordinateFromText("-0.00019")->scaled, -1);
  EXPECT_EQ(coordinateFromText("1.5e1")->scaled, 150000);
  EXPECT_FALSE(coordinateFromText("12,5"));
  EXPECT_FALSE(coordinateFromText(""));
  EXPECT_FALSE(coordinateFromText("nan"));
}

TEST(ImportValues, DirectionForHGivesBackEveryHUnderEveryDtype) {
  for (int dtype = 0; dtype < 4; ++dtype) {
    for (int h = 0; h < 256; ++h) {
      const auto d = directionForH(static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(dtype));
      EXPECT_EQ(halfDirection(static_cast<std::int32_t>(d), static_cast<std::uint8_t>(dtype)), h) << h << " " << dtype;
    }
  }
}

TEST(ImportValues, MaxspeedAndDirectionTexts) {
  struct Case {
    const char* text;
    std::optional<std::int64_t> kmh;
    bool noted;
  };
  for (const Case& c :
       {Case{"50", 50, false}, Case{"50 km/h", 50, false}, Case{"30 mph", 48, false}, Case{"27.5 mph", 44, false},
        Case{"10 knots", 19, false}, Case{"DE:urban", std::nullopt, true}, Case{"none", std::nullopt, true},
        Case{"signals", std::nullopt, true}, Case{"50;30", 50, true}, Case{"50 furlongs", std::nullopt, true}}) {
    std::string note;
    EXPECT_EQ(maxspeedKmh(c.text, note), c.kmh) << c.text;
    EXPECT_EQ(!note.empty(), c.noted) << c.text;
  }
  EXPECT_EQ(directionFromText("NE"), 45);
  EXPECT_EQ(directionFromText("nnw"), 338);
  EXPECT_EQ(directionFromText("360"), 0);
  EXPECT_EQ(directionFromText("-90"), 270);
  EXPECT_EQ(directionFromText("181.6"), 182);
  EXPECT_FALSE(directionFromText("forward"));
  EXPECT_FALSE(directionFromText("NEE"));
  EXPECT_EQ(speedFromAt("Cameras@50.csv"), 50);
  EXPECT_EQ(speedFromAt("a@b @120"), 120);
  EXPECT_FALSE(speedFromAt("no speed @"));
}

// The cells of open-data tables: directions of travel, positions, speeds, header names.
TEST(ImportValues, OpenDataCells) {
  struct Dir {
    const char* text;
    std::optional<std::int64_t> degrees;
    bool both;
  };
  for (const Dir& d : {Dir{"NB", 0, false},
                       Dir{"EB", 90, false},
                       Dir{"SWB", 225, false},
                       Dir{"NWB", 315, false},
                       Dir{"N/B", 0, false},
                       Dir{"Northbound", 0, false},
                       Dir{"south bound", 180, false},
                       Dir{"WEST", 270, false},
                       Dir{"Nord-Est", 45, false},
                       Dir{"oeste", 270, false},
                       Dir{"Süd", 180, false},
                       Dir{"90°", 90, false},
                       Dir{"45,4", 45, false},
                       Dir{"-90", 270, false},
                       Dir{"NB/SB", 0, true},
                       Dir{"EB & WB", 90, true},
                       Dir{"N-S", 0, true},
                       Dir{"both", std::nullopt, true},
                       Dir{"Ambos sentidos", std::nullopt, true},
                       Dir{"Av. Libertador", std::nullopt, false},
                       Dir{"B", std::nullopt, false},
                       Dir{"", std::nullopt, false}}) {
    bool both = true;
    EXPECT_EQ(travelDirection(d.text, both), d.degrees) << d.text;
    EXPECT_EQ(both, d.both) << d.text;
  }
  struct Loc {
    const char* text;
    const char* lat;
    const char* lon;
  };
  for (const Loc& l :
       {Loc{"(41.7644, -87.7097)", "41.7644", "-87.7097"}, Loc{"41.7644,-87.7097", "41.7644", "-87.7097"},
        Loc{"41.7644 -87.7097", "41.7644", "-87.7097"}, Loc{"POINT (-87.7097 41.7644)", "41.7644", "-87.7097"},
        Loc{"point(2.35 48.85)", "48.85", "2.35"}, Loc{"SRID=4326;POINT Z (2.35 48.85 35)", "48.85", "2.35"},
        Loc{"[48.85, 2.35]", "48.85", "2.35"}}) {
    const auto ll = locationCell(l.text);
    ASSERT_TRUE(ll) << l.text;
    EXPECT_EQ(ll->lat, l.lat) << l.text;
    EXPECT_EQ(ll->lon, l.lon) << l.text;
  }
  for (const char* bad : {"", "3450 W 71ST ST", "POINT EMPTY", "(41.7)", "LINESTRING (1 2, 3 4)"}) {
    EXPECT_FALSE(locationCell(bad)) << bad;
  }
  EXPECT_EQ(speedCell("50", false), 50);
  EXPECT_EQ(speedCell("80km/h", false), 80);
  EXPECT_EQ(speedCell("30 MPH", false), 48);
  EXPECT_EQ(speedCell("30", true), 48);
  EXPECT_EQ(speedCell("60 km/h", true), 60);
  EXPECT_FALSE(speedCell("schnell", false));
  EXPECT_FALSE(speedCell("50 furlongs", false));
  EXPECT_EQ(foldName("Längengrad"), "langengrad");
  EXPECT_EQ(foldName("GO-LIVE DATE"), "golivedate");
  EXPECT_EQ(foldName("Velocidad máxima (km/h)"), "velocidadmaximakmh");
  EXPECT_EQ(foldName("Straße"), "strasse");
}

TEST(ImportRegion, BoxAndPolygonWithHoleKeepOnlyWhatIsInside) {
  std::string error;
  const auto area = readArea(R"({"type": "Feature", "geometry": {"type": "MultiPolygon", "coordinates": [
      [[[0, 0], [10, 0], [10, 10], [0, 10], [0, 0]], [[4, 4], [6, 4], [6, 6], [4, 6], [4, 4]]],
      [[[20, 20], [30, 20], [25, 30], [20, 20]]]]}})",
                             error);
  ASSERT_TRUE(area) << error;
  Region region;
  region.area = *area;
  EXPECT_TRUE(region.contains(1, 1));
  EXPECT_FALSE(region.contains(5, 5));  // in the hole
  EXPECT_TRUE(region.contains(3, 5));
  EXPECT_TRUE(region.contains(25, 25));
  EXPECT_FALSE(region.contains(21, 29));  // beside the triangle's slope
  EXPECT_FALSE(region.contains(15, 5));
  region.box = Region::Box{0, 0, 2, 2};
  EXPECT_TRUE(region.contains(1, 1));
  EXPECT_FALSE(region.contains(3, 5));  // in the area, not in the box
  EXPECT_FALSE(readArea(R"({"type": "Point", "coordinates": [1, 2]})", error));
  EXPECT_EQ(error, "a Point is not an area (Polygon or MultiPolygon expected)");
  EXPECT_FALSE(readArea("{", error));
}

}  // namespace
}  // namespace solvane::importer

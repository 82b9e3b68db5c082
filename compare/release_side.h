// One side of a comparison: the cameras of one or more files, each with where it came from.
//
// A side may mix every kind of file the program reads: camera databases (.dbh, told by their
// magic), normal and Autodoria lists, and (when the import layer is built) any file `solvane
// import` reads. Lists are told apart as follows, the first rule that applies deciding:
//   1. a comment or empty line before the header: a normal list (an Autodoria list has none);
//   2. a header whose second field is not "X" but whose first is "IDX", or whose fields go on
//      past DIR with IDX2 or X2: an Autodoria list;
//   3. "autodoria" in the file name (any case): an Autodoria list;
//   4. a list of the same side before it already taken as the normal list, and an even number
//      of lines after the header: an Autodoria list (the order `convert` takes them in);
//   5. otherwise a normal list.
//
// Every camera is held as the conversion would write it: coordinates in 1/10000 degree
// (truncated, as stored), TYPE, SPD, DTYPE and DIR as atoi reads them, and the stored half
// direction H beside them. Rows the conversion skips (first point out of range) are counted,
// not compared. A camera read from an import is what its list would hold: the import's lists
// are built and read back, so an import and the list made from it compare equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "table/camera_table.h"

namespace solvane::compare {

enum class FileKind : std::uint8_t { kNormalList, kAutodoriaList, kDatabase, kImport, kTable };

struct SideFile {
  std::filesystem::path path;
  FileKind kind = FileKind::kNormalList;
  std::string format;       // "normal list", "Autodoria list", "database", "GPX", ...
  std::size_t cameras = 0;  // cameras taken from it
  std::size_t skipped = 0;  // rows the conversion would skip, items the import skips
};

struct DiffCamera {
  std::int32_t lat = 0, lon = 0;    // 1/10000 degree
  std::int32_t lat2 = 0, lon2 = 0;  // a section's end point
  std::int32_t type = 0, speed = 0, dtype = 0, direction = 0, direction2 = 0;
  std::uint8_t h = 0, h2 = 0;  // the half directions the database holds
  bool section = false;
  bool fromDatabase = false;  // the values above were read back from a database
  std::uint32_t file = 0;     // index into Side::files
  std::uint32_t place = 0;    // list: line; database: record number; import: index into places;
                              // camera table: row + 1
};

struct Side {
  std::vector<SideFile> files;
  std::vector<DiffCamera> cameras;  // in file order, each file's in its own order
  std::vector<std::string> places;  // an import's item names ("node 42", "feature 3")
  [[nodiscard]] bool hasDatabase() const noexcept;
  // "old/Solvane.txt:12", "DB_250101.dbh record 7", "city.osm node 42".
  [[nodiscard]] std::string sourceOf(const DiffCamera& camera) const;
};

struct SideRead {
  std::optional<std::string> error;  // "<file>: <reason>"; the side is not usable then
  Side side;
};

[[nodiscard]] SideRead readSide(std::span<const std::filesystem::path> files);

// The rows of a camera table (the dialog's) as a side of one "file" named `name`; a camera's
// place is its row + 1, and sourceOf() says "row N".
[[nodiscard]] Side sideOfTable(const CameraTable& table, std::string name = "camera table");

// The kind a list file is read as, by the rules above, from its bytes and its name;
// `normalBefore`: the side already holds a normal list.
[[nodiscard]] FileKind listKind(std::string_view bytes, const std::filesystem::path& path, bool normalBefore);

}  // namespace solvane::compare

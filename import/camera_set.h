// What the format readers deliver: cameras (points and sections) with the list texts they will
// be written as, the items skipped and why, and notes; plus the region filter and the two list
// texts the loaders read.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane::importer {

// A position as written to a list: the coordinate texts, each chosen so that the converter's
// reading (atof, times 10000, truncated) gives exactly the scaled value the source means.
struct Position {
  std::string lon, lat;
  std::int32_t scaledLon = 0, scaledLat = 0;
  double lonDegrees = 0, latDegrees = 0;
};

// The exact scaled value (1/10000 degree, truncated toward zero) of a decimal text, and the
// text to write for it: the source text itself when the converter reads it to that value,
// else the scaled value with a 5 in the fifth decimal, which it always reads right. Nothing
// for a text that is not a number.
struct Coordinate {
  std::string text;
  std::int32_t scaled = 0;
  double degrees = 0;
};
std::optional<Coordinate> coordinateFromText(std::string_view decimal);
std::optional<Coordinate> coordinateFromDouble(double degrees);
// Longitude and latitude texts; nothing when either is not a number (`error` says which).
std::optional<Position> positionFromTexts(std::string_view lon, std::string_view lat, std::string& error);

struct Camera {
  Position at;
  std::optional<Position> end;  // set: an average-speed section from `at` to `end`
  std::optional<std::int64_t> type, speed, dtype, direction, direction2;
  bool redLight = false;  // a red-light camera: its default TYPE is ListDefaults::redLightType
  [[nodiscard]] bool isSection() const noexcept { return end.has_value(); }
};

// Keeps cameras whose first point lies inside; both empty: everything.
struct Region {
  struct Box {
    double west = 0, south = 0, east = 0, north = 0;
  };
  // A polygon: its outer ring first, then its holes; each ring a list of (lon, lat).
  using Ring = std::vector<std::pair<double, double>>;
  using Polygon = std::vector<Ring>;
  std::optional<Box> box;
  std::optional<std::vector<Polygon>> area;
  [[nodiscard]] bool contains(double lon, double lat) const noexcept;
};

// Reads a GeoJSON Polygon, MultiPolygon, or a Feature / FeatureCollection of them.
std::optional<std::vector<Region::Polygon>> readArea(std::string_view json, std::string& error);

// Why a file could not be read: where ("line 3", "line 3, byte 57") and the reason.
struct ReadError {
  std::string where;
  std::string reason;
};
// "line L, byte B" for a byte offset into a text (both counting from 1).
std::string textPlace(std::string_view text, std::size_t offset);

// Defaults for what a format does not carry.
struct ListDefaults {
  std::int64_t pointType = 1;     // speed cameras and points of unknown kind
  std::int64_t redLightType = 4;  // red-light cameras
  std::int64_t sectionType = 3;
  std::optional<std::int64_t> dtype;  // unset: 1 with a direction, 0 without
};

// What the readers fill. `where` texts name the item ("line 12", "feature 3", "node 42").
class CameraSet {
 public:
  explicit CameraSet(Region region = {}) : region_(std::move(region)) {}

  // Checks the range (longitude within ±180, latitude within ±90, both points of a section)
  // and the region, then keeps the camera or counts it as skipped / outside.
  void add(Camera camera, std::string_view where);
  void skip(std::string_view where, std::string_view why);
  void note(std::string_view where, std::string_view what);
  // Whether a camera at this point would be kept by the region (for readers that hold items).
  [[nodiscard]] bool inRegion(const Position& p) const noexcept { return region_.contains(p.lonDegrees, p.latDegrees); }

  [[nodiscard]] const std::vector<Camera>& cameras() const noexcept { return cameras_; }
  // A camera kept, for a reader that adds to it later (a device named by a second relation).
  [[nodiscard]] Camera& camera(std::size_t index) { return cameras_.at(index); }
  [[nodiscard]] const std::vector<std::string>& skipped() const noexcept { return skipped_; }
  [[nodiscard]] const std::vector<std::string>& notes() const noexcept { return notes_; }
  [[nodiscard]] std::size_t outside() const noexcept { return outside_; }
  [[nodiscard]] std::size_t points() const noexcept;
  [[nodiscard]] std::size_t sections() const noexcept { return cameras_.size() - points(); }

  // The converter sorts by the latitude text's value and keeps list order only for equal
  // values; points and sections go to two lists. So that cameras from `from` on keep their
  // order where they share a truncated latitude (as in a dump, which lists records in file
  // order), each run of such cameras whose values do not already rise gets rising texts
  // within the same 1/10000 degree.
  void keepTieOrder(std::size_t from);

  // Everything of one file's reading is prefixed with its name from here on.
  void setSource(std::string name) { source_ = std::move(name); }

  // How far a reading is: readers report the byte offset into the current input. `reached` is
  // for the places met once per chunk or buffer, `tick` for those met once per record (it passes
  // on every 256th). The hook may throw to stop the reading (a cancelled import); readers own
  // what they hold, so nothing leaks. No reader calls it from inside a C library's callback.
  using ProgressHook = std::function<void(std::uint64_t offset)>;
  void setProgressHook(ProgressHook hook) { progress_ = std::move(hook); }
  void reached(std::uint64_t offset) {
    if (progress_) progress_(offset);
  }
  void tick(std::uint64_t offset) {
    if (progress_ && (++ticks_ & 0xFF) == 0) progress_(offset);
  }

 private:
  Region region_;
  std::string source_;
  std::vector<Camera> cameras_;
  std::vector<std::string> skipped_, notes_;
  std::size_t outside_ = 0;
  ProgressHook progress_;
  std::uint32_t ticks_ = 0;
};

// The normal list (header IDX,X,Y,TYPE,SPD,DTYPE,DIR, one line per point) and the Autodoria
// list (the same header, two lines per section), CRLF line ends, IDX counting from 1.
std::string normalListText(const std::vector<Camera>& cameras, const ListDefaults& defaults);
std::string autodoriaListText(const std::vector<Camera>& cameras, const ListDefaults& defaults);

// The DIR text that gives H exactly under this DTYPE (for sources that carry H, as dump does).
std::int64_t directionForH(std::uint8_t h, std::uint8_t dtype) noexcept;

// Speed from "@NN" in a text (a POI name, a file name): the first '@' followed by digits.
std::optional<std::int64_t> speedFromAt(std::string_view text) noexcept;

// Direction in degrees from a number or a compass word (N, NNE, ... NW, NNW, also lower case);
// nothing otherwise.
std::optional<std::int64_t> directionFromText(std::string_view text) noexcept;

// A whole number from a text: optional sign, digits, optional fraction (rounded half away);
// nothing for anything else (blanks around are allowed).
std::optional<std::int64_t> wholeNumber(std::string_view text) noexcept;

}  // namespace solvane::importer

#include "import/osm_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include <osmium/io/any_input.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>

#include "base/source_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace solvane::importer {
namespace {

using Id = osmium::object_id_type;

enum class Kind { kMaxspeed, kAverageSpeed, kTrafficSignals, kOther };

struct Enforcement {
  Id id = 0;
  Kind kind = Kind::kOther;
  std::string kindText, maxspeed;
  std::optional<Id> from, to;
  std::vector<Id> devices;
  std::vector<Id> unnamed;     // node members with an empty role
  std::vector<Id> wayDevices;  // devices mapped as ways or areas (gantries), not read
};

// One device may serve several kinds ("maxspeed;traffic_signals"): a section when any part is
// average_speed, else a red-light camera when any is traffic_signals, else a speed camera.
Kind kindOf(std::string_view value) {
  bool maxspeed = false, signals = false, average = false;
  while (!value.empty()) {
    const auto semi = value.find(';');
    std::string_view part = value.substr(0, semi);
    while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
    while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
    maxspeed = maxspeed || part == "maxspeed";
    signals = signals || part == "traffic_signals";
    average = average || part == "average_speed";
    value = semi == std::string_view::npos ? std::string_view() : value.substr(semi + 1);
  }
  return average ? Kind::kAverageSpeed : signals ? Kind::kTrafficSignals : maxspeed ? Kind::kMaxspeed : Kind::kOther;
}

struct MemberNode {
  bool found = false;
  bool camera = false;
  bool used = false;                 // written by a relation
  std::optional<std::size_t> point;  // the point a relation wrote at it (index into the set)
  osmium::Location location;
  std::string maxspeed, direction;
};

std::string locationText(std::int32_t fixed) {
  // libosmium keeps 1e-7 degrees: exact decimal text.
  const std::int64_t v = fixed;
  const std::uint64_t a = static_cast<std::uint64_t>(v < 0 ? -v : v);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%llu.%07llu", v < 0 ? "-" : "", static_cast<unsigned long long>(a / 10000000),
                static_cast<unsigned long long>(a % 10000000));
  std::string text(buf);
  while (text.back() == '0') text.pop_back();  // 11.5000000 -> 11.5, 12.0000000 -> 12.
  if (text.back() == '.') text.pop_back();
  return text;
}

std::optional<Position> position(const osmium::Location& l) {
  if (!l.valid()) return std::nullopt;
  std::string error;
  return positionFromTexts(locationText(l.x()), locationText(l.y()), error);
}

std::string tag(const osmium::TagList& tags, const char* key) {
  const char* v = tags.get_value_by_key(key);
  return v ? v : "";
}

// The initial great-circle bearing from a to b in whole compass degrees (0 north, clockwise).
std::optional<std::int64_t> bearing(const osmium::Location& a, const osmium::Location& b) {
  if (a == b) return std::nullopt;
  constexpr double kRad = 3.14159265358979323846 / 180.0;
  const double la1 = a.lat() * kRad, la2 = b.lat() * kRad, dl = (b.lon() - a.lon()) * kRad;
  const double y = std::sin(dl) * std::cos(la2);
  const double x = std::cos(la1) * std::sin(la2) - std::sin(la1) * std::cos(la2) * std::cos(dl);
  const double deg = std::atan2(y, x) / kRad;
  return ((std::llround(deg) % 360) + 360) % 360;
}

// The difference of two compass directions, 0..180.
std::int64_t angleBetween(std::int64_t a, std::int64_t b) {
  const std::int64_t d = ((a - b) % 360 + 360) % 360;
  return d > 180 ? 360 - d : d;
}

class OsmImport {
 public:
  explicit OsmImport(CameraSet& set) : set_(set) {}

  // The progress offset counts both passes: the second starts at the file's size.
  void relations(osmium::io::Reader& reader) {
    while (osmium::memory::Buffer buffer = reader.read()) {
      set_.reached(reader.offset());
      for (const auto& r : buffer.select<osmium::Relation>()) {
        if (tag(r.tags(), "type") != "enforcement") continue;
        Enforcement e;
        e.id = r.id();
        e.kindText = tag(r.tags(), "enforcement");
        e.kind = kindOf(e.kindText);
        e.maxspeed = tag(r.tags(), "maxspeed");
        for (const auto& m : r.members()) {
          if (m.type() != osmium::item_type::node) {
            if (m.role() == std::string_view("device")) e.wayDevices.push_back(m.ref());
            continue;
          }
          const std::string_view role = m.role();
          if (role == "from" && !e.from) e.from = m.ref();
          if (role == "to" && !e.to) e.to = m.ref();
          if (role == "device") e.devices.push_back(m.ref());
          if (role.empty()) e.unnamed.push_back(m.ref());
        }
        if (e.from) needed_.push_back(*e.from);
        if (e.to) needed_.push_back(*e.to);
        needed_.insert(needed_.end(), e.devices.begin(), e.devices.end());
        needed_.insert(needed_.end(), e.unnamed.begin(), e.unnamed.end());
        enforcements_.push_back(std::move(e));
      }
    }
    std::sort(needed_.begin(), needed_.end());
    needed_.erase(std::unique(needed_.begin(), needed_.end()), needed_.end());
  }

  void nodes(osmium::io::Reader& reader) {
    while (osmium::memory::Buffer buffer = reader.read()) {
      set_.reached(reader.file_size() + reader.offset());
      for (const auto& n : buffer.select<osmium::Node>()) {
        const bool camera = std::string_view(n.tags().get_value_by_key("highway", "")) == "speed_camera";
        const bool member = !needed_.empty() && std::binary_search(needed_.begin(), needed_.end(), n.id());
        if (member) {
          MemberNode& m = members_[n.id()];
          m.found = true;
          m.camera = camera;
          m.location = n.location();
          m.maxspeed = tag(n.tags(), "maxspeed");
          m.direction = tag(n.tags(), "direction");
          if (camera) memberCameras_.push_back(n.id());
        } else if (camera) {
          addCamera(n.location(), tag(n.tags(), "maxspeed"), tag(n.tags(), "direction"),
                    "node " + std::to_string(n.id()));
        }
      }
    }
  }

  void finish() {
    for (const Enforcement& e : enforcements_) relation(e);
    for (const Id id : memberCameras_) {
      const MemberNode& m = members_[id];
      if (!m.used) addCamera(m.location, m.maxspeed, m.direction, "node " + std::to_string(id));
    }
  }

 private:
  void speed(Camera& c, const std::string& maxspeed, const std::string& where) {
    if (maxspeed.empty()) return;
    std::string note;
    c.speed = maxspeedKmh(maxspeed, note);
    if (!note.empty()) set_.note(where, note);
  }

  std::optional<std::int64_t> direction(const std::string& direction, const std::string& where) {
    if (direction.empty()) return std::nullopt;
    const std::optional<std::int64_t> d = directionFromText(direction);
    if (!d) {
      set_.note(where, direction == "forward" || direction == "backward" || direction == "both"
                           ? "direction \"" + direction + "\" depends on the way's direction, left empty"
                           : "direction \"" + direction + "\" is neither degrees nor a compass point, left empty");
    }
    return d;
  }

  void addCamera(const osmium::Location& l, const std::string& maxspeed, const std::string& dir,
                 const std::string& where) {
    auto p = position(l);
    if (!p) {
      set_.skip(where, "no location");
      return;
    }
    Camera c;
    c.at = std::move(*p);
    if (!set_.inRegion(c.at)) {
      set_.add(std::move(c), where);  // counted as outside, without notes about its tags
      return;
    }
    speed(c, maxspeed, where);
    c.direction = direction(dir, where);
    set_.add(std::move(c), where);
  }

  // The member node when it is in the file with a location; else a note says why not.
  const MemberNode* member(Id id, const std::string& where, std::string_view role) {
    const auto it = members_.find(id);
    if (it == members_.end() || !it->second.found) {
      set_.note(where, std::string(role) + " node " + std::to_string(id) + " is not in the file");
      return nullptr;
    }
    if (!it->second.location.valid()) {
      set_.note(where, std::string(role) + " node " + std::to_string(id) + " has no location");
      return nullptr;
    }
    return &it->second;
  }

  void relation(const Enforcement& e) {
    const std::string where = "relation " + std::to_string(e.id);
    if (e.kind == Kind::kOther) {
      set_.note(where, "enforcement=" + (e.kindText.empty() ? std::string("(none)") : e.kindText) +
                           " is no camera kind read here; its camera nodes stand alone");
      return;
    }
    for (const Id id : e.wayDevices) {
      set_.note(where, "device way " + std::to_string(id) + " is not read (only device nodes are)");
    }
    // Devices: the `device` members; a camera node given with an empty role is taken as one.
    std::vector<Id> devices = e.devices;
    for (const Id id : e.unnamed) {
      const auto it = members_.find(id);
      if (it != members_.end() && it->second.found && it->second.camera) {
        set_.note(where, "node " + std::to_string(id) + " has an empty role; a camera, so taken as a device");
        devices.push_back(id);
      }
    }
    const MemberNode* from = e.from ? member(*e.from, where, "from") : nullptr;
    const MemberNode* to = e.to ? member(*e.to, where, "to") : nullptr;
    std::vector<std::pair<Id, const MemberNode*>> found;
    for (const Id id : devices) {
      if (const MemberNode* m = member(id, where, "device")) found.emplace_back(id, m);
    }
    if (e.kind == Kind::kAverageSpeed) {
      section(e, where, from, to, found);
    } else {
      points(e, where, from, to, found);
    }
  }

  void section(const Enforcement& e, const std::string& where, const MemberNode* from, const MemberNode* to,
               const std::vector<std::pair<Id, const MemberNode*>>& devices) {
    const MemberNode* a = e.from ? from : (devices.empty() ? nullptr : devices.front().second);
    const MemberNode* b = e.to ? to : (devices.empty() ? nullptr : devices.back().second);
    if (!a || !b) {
      set_.note(where,
                "an average-speed section needs a start (from, else a device) and an end (to, else a "
                "device) in the file; its camera nodes stand alone");
      return;
    }
    if (a == b || a->location == b->location) {
      set_.note(where, "its start and end are the same place; its camera nodes stand alone");
      return;
    }
    Camera c;
    c.at = *position(a->location);
    c.end = *position(b->location);
    speed(c,
          !e.maxspeed.empty() ? e.maxspeed
          : devices.empty()   ? std::string()
                              : devices.front().second->maxspeed,
          where);
    const std::size_t before = set_.cameras().size();
    set_.add(std::move(c), where);
    if (set_.cameras().size() == before) return;  // out of range or outside: its cameras stand alone
    for (const auto& [id, m] : devices) members_[id].used = true;
    for (const std::optional<Id>& id : {e.from, e.to}) {
      if (id) members_[*id].used = true;
    }
  }

  // maxspeed and traffic_signals: a point at each device (none: at `from`); `from` -> `to` gives
  // the direction of travel.
  void points(const Enforcement& e, const std::string& where, const MemberNode* from, const MemberNode* to,
              std::vector<std::pair<Id, const MemberNode*>> devices) {
    if (devices.empty()) {
      if (!from) {
        set_.note(where, "no device or from node in the file; its camera nodes stand alone");
        return;
      }
      if (!e.devices.empty()) set_.note(where, "no device in the file: the camera is put at from");
      devices.emplace_back(*e.from, from);
    }
    for (const auto& [id, m] : devices) {
      std::optional<std::int64_t> dir;
      if (from && to) dir = bearing(from->location, to->location);
      if (!dir && !m->direction.empty()) dir = direction(m->direction, where);
      if (!dir && from && from != m) dir = bearing(from->location, m->location);
      if (!dir && to && to != m) dir = bearing(m->location, to->location);
      MemberNode& node = members_[id];
      if (node.point) {
        // A device of two relations is written once; opposite directions make it warn both ways.
        Camera& c = set_.camera(*node.point);
        if (dir && c.direction && angleBetween(*dir, *c.direction) > 135) {
          c.dtype = 2;
        } else if (dir != c.direction) {
          set_.note(where, "node " + std::to_string(id) +
                               " is a device of an earlier relation too; written once, as that one says");
        }
        continue;
      }
      Camera c;
      c.at = *position(m->location);
      c.redLight = e.kind == Kind::kTrafficSignals;
      speed(c, !e.maxspeed.empty() ? e.maxspeed : m->maxspeed, where);
      c.direction = dir;
      const std::size_t before = set_.cameras().size();
      set_.add(std::move(c), where);
      node.used = true;  // kept, or counted as outside or skipped: either way not again alone
      if (set_.cameras().size() > before) node.point = before;
    }
  }

  CameraSet& set_;
  std::vector<Enforcement> enforcements_;
  std::vector<Id> needed_;
  std::unordered_map<Id, MemberNode> members_;
  std::vector<Id> memberCameras_;
};

template <class MakeFile>
std::optional<ReadError> readOsm(MakeFile makeFile, CameraSet& set) {
  try {
    OsmImport import(set);
    {
      osmium::io::Reader reader(makeFile(), osmium::osm_entity_bits::relation);
      import.relations(reader);
      reader.close();
    }
    {
      osmium::io::Reader reader(makeFile(), osmium::osm_entity_bits::node);
      import.nodes(reader);
      reader.close();
    }
    import.finish();
  } catch (const osmium::xml_error& e) {
    return ReadError{"line " + std::to_string(e.line) + ", column " + std::to_string(e.column),
                     std::string("not valid OSM XML (") + e.error_string + ")"};
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    return ReadError{"", std::string("cannot read it as OpenStreetMap data (") + e.what() + ")"};
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int64_t> maxspeedKmh(std::string_view value, std::string& note) {
  std::string_view v = value;
  if (const auto semi = v.find(';'); semi != std::string_view::npos) {
    note = "maxspeed \"" + std::string(value) + "\" has several values, the first is taken";
    v = v.substr(0, semi);
  }
  while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  std::size_t digits = 0;
  while (digits < v.size() && ((v[digits] >= '0' && v[digits] <= '9') || v[digits] == '.')) ++digits;
  std::string_view unit = v.substr(digits);
  while (!unit.empty() && unit.front() == ' ') unit.remove_prefix(1);
  const std::optional<std::int64_t> whole = digits ? wholeNumber(v.substr(0, digits)) : std::nullopt;
  if (whole) {
    double factor = 0;
    if (unit.empty() || unit == "km/h" || unit == "kmh" || unit == "kph") factor = 1;
    if (unit == "mph") factor = 1.609344;
    if (unit == "knots") factor = 1.852;
    if (factor != 0) {
      // The number again with its fraction, for "27.5 mph" and the like.
      double d = 0;
      std::from_chars(v.data(), v.data() + digits, d);
      return factor == 1 ? *whole : static_cast<std::int64_t>(std::llround(d * factor));
    }
    note = "maxspeed \"" + std::string(value) + "\" has an unknown unit, speed left empty";
    return std::nullopt;
  }
  note = "maxspeed \"" + std::string(value) + "\" carries no number, speed left empty";
  return std::nullopt;
}

std::optional<ReadError> readOsmFile(const std::filesystem::path& path, const std::string& format, CameraSet& set) {
  const std::string name = path.string();
#ifdef _WIN32
  // libosmium opens files by their narrow name, which Windows reads in the ANSI code page. The
  // manifest makes that UTF-8 where Windows can (10 version 1903 and later); elsewhere a name
  // outside ASCII would not open, and such a file is read into memory and parsed from there.
  if (::GetACP() != CP_UTF8 &&
      std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
    const SourceRead read = readSourceFile(path);
    if (read.error) return ReadError{"", read.error->detail};
    std::string inMemory = format;
    if (inMemory.empty()) {
      // The format libosmium would take from the name ("x.osm.bz2" gives "osm.bz2").
      const osmium::io::File byName(path.filename().string());
      inMemory = byName.format() == osmium::io::file_format::pbf ? "pbf" : "osm";
      if (byName.compression() == osmium::io::file_compression::bzip2) inMemory += ".bz2";
      if (byName.compression() == osmium::io::file_compression::gzip) inMemory += ".gz";
    }
    return readOsmBytes(read.bytes(), inMemory, set);
  }
#endif
  return readOsm([&] { return osmium::io::File(name, format); }, set);
}

std::optional<ReadError> readOsmBytes(std::string_view bytes, const std::string& format, CameraSet& set) {
  return readOsm([&] { return osmium::io::File(bytes.data(), bytes.size(), format); }, set);
}

}  // namespace solvane::importer

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

namespace solvane::importer {
namespace {

using Id = osmium::object_id_type;

struct Enforcement {
  Id id = 0;
  bool average = false;
  std::string maxspeed;
  std::optional<Id> from, to;
  std::vector<Id> devices;
};

struct MemberNode {
  bool found = false;
  bool camera = false;
  bool used = false;
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

class OsmImport {
 public:
  explicit OsmImport(CameraSet& set) : set_(set) {}

  void relations(osmium::io::Reader& reader) {
    while (osmium::memory::Buffer buffer = reader.read()) {
      for (const auto& r : buffer.select<osmium::Relation>()) {
        if (tag(r.tags(), "type") != "enforcement") continue;
        const std::string kind = tag(r.tags(), "enforcement");
        if (kind != "average_speed" && kind != "maxspeed") continue;
        Enforcement e;
        e.id = r.id();
        e.average = kind == "average_speed";
        e.maxspeed = tag(r.tags(), "maxspeed");
        for (const auto& m : r.members()) {
          if (m.type() != osmium::item_type::node) continue;
          const std::string_view role = m.role();
          if (role == "from" && !e.from) e.from = m.ref();
          if (role == "to" && !e.to) e.to = m.ref();
          if (role == "device") e.devices.push_back(m.ref());
        }
        if (e.from) needed_.push_back(*e.from);
        if (e.to) needed_.push_back(*e.to);
        needed_.insert(needed_.end(), e.devices.begin(), e.devices.end());
        enforcements_.push_back(std::move(e));
      }
    }
    std::sort(needed_.begin(), needed_.end());
    needed_.erase(std::unique(needed_.begin(), needed_.end()), needed_.end());
  }

  void nodes(osmium::io::Reader& reader) {
    while (osmium::memory::Buffer buffer = reader.read()) {
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
  void speedAndDirection(Camera& c, const std::string& maxspeed, const std::string& direction,
                         const std::string& where) {
    if (!maxspeed.empty()) {
      std::string note;
      c.speed = maxspeedKmh(maxspeed, note);
      if (!note.empty()) set_.note(where, note);
    }
    if (!direction.empty()) {
      c.direction = directionFromText(direction);
      if (!c.direction) {
        set_.note(where, direction == "forward" || direction == "backward" || direction == "both"
                             ? "direction \"" + direction + "\" depends on the way's direction, left empty"
                             : "direction \"" + direction + "\" is neither degrees nor a compass point, left empty");
      }
    }
  }

  void addCamera(const osmium::Location& l, const std::string& maxspeed, const std::string& direction,
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
    speedAndDirection(c, maxspeed, direction, where);
    set_.add(std::move(c), where);
  }

  const MemberNode* member(std::optional<Id> id, const std::string& where, std::string_view role) {
    if (!id) return nullptr;
    const auto it = members_.find(*id);
    if (it == members_.end() || !it->second.found) {
      set_.skip(where, std::string(role) + " node " + std::to_string(*id) + " is not in the file");
      return nullptr;
    }
    if (!it->second.location.valid()) {
      set_.skip(where, std::string(role) + " node " + std::to_string(*id) + " has no location");
      return nullptr;
    }
    return &it->second;
  }

  void relation(const Enforcement& e) {
    const std::string where = "relation " + std::to_string(e.id);
    const std::optional<Id> startId =
        e.from ? e.from : (e.devices.empty() ? std::nullopt : std::optional<Id>(e.devices.front()));
    const std::optional<Id> endId =
        e.to ? e.to : (e.devices.empty() ? std::nullopt : std::optional<Id>(e.devices.back()));
    const bool section = e.average || e.to;
    Camera c;
    const MemberNode* device = nullptr;
    if (!e.devices.empty()) {
      const auto it = members_.find(e.devices.front());
      if (it != members_.end() && it->second.found) device = &it->second;
    }
    if (section) {
      if (!startId || !endId) {
        set_.skip(where, "no from, to or device member node");
        return;
      }
      const MemberNode* a = member(startId, where, e.from ? "from" : "device");
      if (!a) return;
      const MemberNode* b = member(endId, where, e.to ? "to" : "device");
      if (!b) return;
      if (*startId == *endId) {
        set_.skip(where, "its start and end are the same node " + std::to_string(*startId));
        return;
      }
      c.at = *position(a->location);
      c.end = *position(b->location);
    } else {
      const std::optional<Id> at = e.devices.empty() ? e.from : std::optional<Id>(e.devices.front());
      if (!at) {
        set_.skip(where, "no device or from member node");
        return;
      }
      const MemberNode* a = member(at, where, e.devices.empty() ? "from" : "device");
      if (!a) return;
      c.at = *position(a->location);
    }
    const std::string maxspeed = !e.maxspeed.empty() ? e.maxspeed : device ? device->maxspeed : std::string();
    speedAndDirection(c, maxspeed, device && !section ? device->direction : std::string(), where);
    const std::size_t before = set_.cameras().size();
    set_.add(std::move(c), where);
    if (set_.cameras().size() == before) return;  // out of range or outside: its cameras stand alone
    for (const std::optional<Id>& id : {e.from, e.to}) {
      if (id) members_[*id].used = true;
    }
    for (const Id id : e.devices) members_[id].used = true;
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
  // libosmium opens files by their narrow name, which Windows reads in the ANSI code page: a
  // name outside ASCII would not open. Such a file is read into memory and parsed from there.
  if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
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

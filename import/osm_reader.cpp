#include "import/osm_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include <osmium/io/any_input.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/relation.hpp>
#include <protozero/pbf_reader.hpp>

#include "base/c_file.h"
#include "base/source_file.h"

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

// libosmium walks a tag list string by string with strlen, so a PBF key or value with a NUL
// byte inside (the format allows any bytes) walks it past the list's end. Such a list is
// refused before any tag is read. The walk is libosmium's own, pair by pair up to the list's
// byte size (which holds no padding), but bounded.
void requireWellFormed(const osmium::TagList& tags) {
  const auto* p = reinterpret_cast<const char*>(tags.data()) + sizeof(osmium::TagList);
  const auto* end = reinterpret_cast<const char*>(tags.data()) + tags.byte_size();
  while (p < end) {
    for (int part = 0; part < 2; ++part) {
      const void* nul = std::memchr(p, '\0', static_cast<std::size_t>(end - p));
      if (!nul) throw std::runtime_error("a tag with a NUL byte inside; not valid OpenStreetMap data");
      p = static_cast<const char*>(nul) + 1;
      if (part == 0 && p >= end) throw std::runtime_error("a tag without value; not valid OpenStreetMap data");
    }
  }
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
  // `base`: where in the file the reader's bytes begin (a tail of it, see relationsTail).
  void relations(osmium::io::Reader& reader, std::uint64_t base = 0) {
    while (osmium::memory::Buffer buffer = reader.read()) {
      set_.reached(base + reader.offset());
      for (const auto& r : buffer.select<osmium::Relation>()) {
        requireWellFormed(r.tags());
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

  // Forgets what a first pass collected, for reading the relations again another way.
  void forgetRelations() {
    enforcements_.clear();
    needed_.clear();
  }

  void nodes(osmium::io::Reader& reader) {
    while (osmium::memory::Buffer buffer = reader.read()) {
      set_.reached(reader.file_size() + reader.offset());
      for (const auto& n : buffer.select<osmium::Node>()) {
        requireWellFormed(n.tags());
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

// libosmium compares each blob header's type with strncmp, also when the header has no type
// (a null pointer: undefined behaviour). The blob headers are walked here first, and a file
// with a header without type is refused; everything else about the blobs libosmium checks.
// `read(buffer, n)` reads the next n bytes, `skip(n)` passes over n; both false at the end.
template <class Read, class Skip>
std::optional<ReadError> pbfHeadersProblem(Read read, Skip skip) {
  std::string header;
  for (std::size_t blob = 1;; ++blob) {
    unsigned char size[4];
    if (!read(reinterpret_cast<char*>(size), 4)) return std::nullopt;  // the end (or cut short: libosmium says)
    const std::uint32_t length = (std::uint32_t{size[0]} << 24) | (std::uint32_t{size[1]} << 16) |
                                 (std::uint32_t{size[2]} << 8) | std::uint32_t{size[3]};
    if (length > 64 * 1024) return std::nullopt;  // libosmium refuses it
    header.resize(length);
    if (!read(header.data(), length)) return std::nullopt;
    bool typed = false;
    std::int64_t datasize = 0;
    try {
      protozero::pbf_reader message(header);
      while (message.next()) {
        if (message.tag() == 1 && message.wire_type() == protozero::pbf_wire_type::length_delimited) {
          typed = !message.get_view().empty();
        } else if (message.tag() == 3 && message.wire_type() == protozero::pbf_wire_type::varint) {
          datasize = message.get_int32();
        } else {
          message.skip();
        }
      }
    } catch (const protozero::exception&) {
      return std::nullopt;  // libosmium reports the malformed header
    }
    if (!typed) {
      return ReadError{"blob " + std::to_string(blob), "not valid OpenStreetMap PBF (a blob header without type)"};
    }
    if (datasize <= 0 || !skip(static_cast<std::uint64_t>(datasize))) return std::nullopt;
  }
}

std::optional<ReadError> pbfBytesProblem(std::string_view bytes) {
  std::size_t at = 0;
  return pbfHeadersProblem(
      [&](char* into, std::size_t n) {
        if (bytes.size() - at < n) return false;
        std::memcpy(into, bytes.data() + at, n);
        at += n;
        return true;
      },
      [&](std::uint64_t n) {
        if (bytes.size() - at < n) return false;
        at += static_cast<std::size_t>(n);
        return true;
      });
}

std::optional<ReadError> pbfFileProblem(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;  // libosmium says why
  return pbfHeadersProblem(
      [&](char* into, std::size_t n) { return static_cast<bool>(in.read(into, static_cast<std::streamsize>(n))); },
      [&](std::uint64_t n) {
        in.seekg(static_cast<std::streamoff>(n), std::ios::cur);
        return static_cast<bool>(in) && in.peek() != std::ifstream::traits_type::eof();
      });
}

// Plain OSM XML lists its relations after its nodes and ways, and parsing the whole file only
// to find them was half of an import's time. So the first pass finds the first "<relation"
// by a byte search ('<' stands raw only in markup) and parses from there, as a document of its
// own; the second pass parses the whole file as always. Nothing (no tail over 256 MiB, or a
// tail that does not parse): the usual first pass.
struct XmlTail {
  std::string document;
  std::uint64_t offset = 0;
};
std::optional<XmlTail> relationsTail(const std::filesystem::path& path, CameraSet& set) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  constexpr std::size_t kChunk = 8 << 20;
  constexpr std::string_view kTag = "<relation";
  std::string chunk(kChunk + kTag.size() + 1, '\0');
  std::size_t kept = 0;     // bytes carried over from the chunk before
  std::uint64_t start = 0;  // the file offset of chunk[0]
  for (;;) {
    in.read(chunk.data() + kept, static_cast<std::streamsize>(kChunk));
    const std::size_t n = kept + static_cast<std::size_t>(in.gcount());
    const std::string_view view(chunk.data(), n);
    for (std::size_t at = view.find(kTag); at != std::string_view::npos; at = view.find(kTag, at + 1)) {
      if (at + kTag.size() >= n) break;  // its next byte is in the next chunk
      const char next = view[at + kTag.size()];
      if (next != ' ' && next != '\t' && next != '\r' && next != '\n' && next != '>' && next != '/') continue;
      XmlTail tail;
      tail.offset = start + at;
      std::error_code ec;
      const std::uintmax_t size = std::filesystem::file_size(path, ec);
      if (ec || size < tail.offset || size - tail.offset > (256u << 20)) return std::nullopt;
      tail.document = "<osm version=\"0.6\">\n";
      tail.document.append(view.substr(at));
      tail.document.append(std::istreambuf_iterator<char>(in), {});
      return tail;
    }
    set.reached(start + n);
    if (!in) return XmlTail{"<osm version=\"0.6\"></osm>", start + n};  // no relations at all
    // Keep the last bytes: the tag may straddle two chunks.
    kept = std::min(n, kTag.size());
    std::copy(chunk.data() + n - kept, chunk.data() + n, chunk.data());
    start += n - kept;
  }
}

// Versions, timestamps and users are not read (read_meta::no): nothing here needs them, and
// libosmium's timestamp arithmetic on hostile values is one less place to go wrong.
template <class MakeFile>
std::optional<ReadError> readOsm(MakeFile makeFile, CameraSet& set, const XmlTail* tail = nullptr) {
  try {
    OsmImport import(set);
    bool read = false;
    if (tail) {
      try {
        osmium::io::Reader reader(osmium::io::File(tail->document.data(), tail->document.size(), "osm"),
                                  osmium::osm_entity_bits::relation, osmium::io::read_meta::no);
        import.relations(reader, tail->offset);
        reader.close();
        read = true;
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception&) {
        import.forgetRelations();  // the whole file's pass below says what is wrong
      }
    }
    if (!read) {
      osmium::io::Reader reader(makeFile(), osmium::osm_entity_bits::relation, osmium::io::read_meta::no);
      import.relations(reader);
      reader.close();
    }
    {
      osmium::io::Reader reader(makeFile(), osmium::osm_entity_bits::node, osmium::io::read_meta::no);
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
  if (!narrowNamesAreUtf8() &&
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
  std::optional<XmlTail> tail;
  try {
    osmium::io::File file(name, format);
    file.check();
    if (file.format() == osmium::io::file_format::pbf) {
      if (auto problem = pbfFileProblem(path)) return problem;
    }
    if (file.format() == osmium::io::file_format::xml && file.compression() == osmium::io::file_compression::none) {
      tail = relationsTail(path, set);
    }
  } catch (const std::exception&) {
    // An unknown format and the like: readOsm gives the error.
  }
  return readOsm([&] { return osmium::io::File(name, format); }, set, tail ? &*tail : nullptr);
}

std::optional<ReadError> readOsmBytes(std::string_view bytes, const std::string& format, CameraSet& set) {
  if (format == "pbf") {
    if (auto problem = pbfBytesProblem(bytes)) return problem;
  }
  return readOsm([&] { return osmium::io::File(bytes.data(), bytes.size(), format); }, set);
}

}  // namespace solvane::importer

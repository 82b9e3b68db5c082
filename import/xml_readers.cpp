#include "import/xml_readers.h"

#include <expat.h>

#include <memory>
#include <string>
#include <vector>

namespace solvane::importer {
namespace {

std::string_view localName(const XML_Char* name) noexcept {
  std::string_view n(name);
  const auto colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

std::string_view trimmed(std::string_view s) noexcept {
  const auto b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

const XML_Char* attribute(const XML_Char** atts, std::string_view name) noexcept {
  for (std::size_t i = 0; atts[i]; i += 2) {
    if (localName(atts[i]) == name) return atts[i + 1];
  }
  return nullptr;
}

// The common part: element stack, text of the innermost element, expat driving.
class XmlReader {
 public:
  virtual ~XmlReader() = default;

  std::optional<ReadError> run(std::string_view text, std::string_view rootName, std::string_view formatName,
                               CameraSet& set) {
    root_ = rootName;
    format_ = formatName;
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr), &XML_ParserFree);
    if (!parser) return ReadError{"", "out of memory"};
    parser_ = parser.get();
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &XmlReader::onStart, &XmlReader::onEnd);
    XML_SetCharacterDataHandler(parser_, &XmlReader::onText);
    // Entity declarations could expand without bound; camera files have none.
    XML_SetEntityDeclHandler(parser_, &XmlReader::onEntity);
    constexpr std::size_t kChunk = 1 << 20;
    std::size_t done = 0;
    do {
      const std::size_t n = std::min(kChunk, text.size() - done);
      const bool last = done + n == text.size();
      if (XML_Parse(parser_, text.data() + done, static_cast<int>(n), last) == XML_STATUS_ERROR) {
        if (error_) return error_;
        return ReadError{"line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ", column " +
                             std::to_string(XML_GetCurrentColumnNumber(parser_) + 1),
                         std::string("not well-formed XML (") + XML_ErrorString(XML_GetErrorCode(parser_)) + ")"};
      }
      done += n;
      set.reached(done);  // between chunks: never from inside expat's callbacks
    } while (done < text.size());
    if (error_) return error_;
    return std::nullopt;
  }

 protected:
  virtual void start(std::string_view name, const XML_Char** atts) = 0;
  virtual void end(std::string_view name, std::string_view text) = 0;

  std::string here() const { return "line " + std::to_string(XML_GetCurrentLineNumber(parser_)); }
  [[nodiscard]] bool inside(std::string_view name) const {
    for (const std::string& s : stack_) {
      if (s == name) return true;
    }
    return false;
  }
  [[nodiscard]] std::string_view parent() const {
    return stack_.size() >= 2 ? std::string_view(stack_[stack_.size() - 2]) : std::string_view();
  }

 private:
  void stop(ReadError e) {
    if (!error_) error_ = std::move(e);
    XML_StopParser(parser_, XML_FALSE);
  }
  static void XMLCALL onStart(void* self, const XML_Char* name, const XML_Char** atts) {
    auto& r = *static_cast<XmlReader*>(self);
    if (r.error_) return;  // expat may still report what it has read after a stop
    const std::string_view local = localName(name);
    if (r.stack_.empty() && local != r.root_) {
      r.stop({r.here(), "not a " + r.format_ + " file (the root element is <" + std::string(name) + ">)"});
      return;
    }
    r.stack_.emplace_back(local);
    r.text_.clear();
    r.start(local, atts);
  }
  static void XMLCALL onEnd(void* self, const XML_Char*) {
    auto& r = *static_cast<XmlReader*>(self);
    if (r.error_ || r.stack_.empty()) return;
    const std::string name = std::move(r.stack_.back());
    r.end(name, trimmed(r.text_));
    r.stack_.pop_back();
    r.text_.clear();
  }
  static void XMLCALL onText(void* self, const XML_Char* s, int len) {
    auto& r = *static_cast<XmlReader*>(self);
    if (r.error_) return;
    if (r.text_.size() < (1u << 20)) r.text_.append(s, static_cast<std::size_t>(len));
  }
  static void XMLCALL onEntity(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                               const XML_Char*, const XML_Char*) {
    auto& r = *static_cast<XmlReader*>(self);
    r.stop({r.here(), "entity declarations are not accepted"});
  }

  XML_Parser parser_ = nullptr;
  std::string root_, format_;
  std::vector<std::string> stack_;
  std::string text_;
  std::optional<ReadError> error_;
};

// One item being read: its points (texts), name and values.
struct Item {
  std::string where;
  std::vector<std::pair<std::string, std::string>> points;  // lon, lat texts
  std::string name;
  std::optional<std::int64_t> speed, direction, type, dtype;
  std::string problem;
};

// Turns a finished item into a camera (one point) or a section (two).
void deliver(Item& item, bool asSection, CameraSet& set) {
  Camera c;
  std::string error;
  const std::size_t want = asSection ? 2 : 1;
  if (item.points.size() != want) {
    set.skip(item.where, asSection
                             ? "a line of " + std::to_string(item.points.size()) + " points (a section has exactly 2)"
                             : "no position");
    return;
  }
  auto a = positionFromTexts(item.points[0].first, item.points[0].second, error);
  if (!a) {
    set.skip(item.where, error);
    return;
  }
  c.at = std::move(*a);
  if (asSection) {
    auto b = positionFromTexts(item.points[1].first, item.points[1].second, error);
    if (!b) {
      set.skip(item.where, error);
      return;
    }
    c.end = std::move(*b);
  }
  c.speed = item.speed ? item.speed : speedFromAt(item.name);
  c.direction = item.direction;
  c.type = item.type;
  c.dtype = item.dtype;
  if (!item.problem.empty()) set.note(item.where, item.problem);
  set.add(std::move(c), item.where);
}

void readNumber(std::string_view text, std::optional<std::int64_t>& into, std::string_view what, Item& item) {
  if (auto v = wholeNumber(text)) {
    into = v;
  } else {
    item.problem = std::string(what) + " \"" + std::string(text) + "\" is not a number, left empty";
  }
}

void readDirection(std::string_view text, Item& item) {
  if (auto v = directionFromText(text)) {
    item.direction = v;
  } else {
    item.problem = "direction \"" + std::string(text) + "\" is neither degrees nor a compass point, left empty";
  }
}

class GpxReader final : public XmlReader {
 public:
  GpxReader(bool routesAsSections, CameraSet& set) : sections_(routesAsSections), set_(set) {}

 protected:
  void start(std::string_view name, const XML_Char** atts) override {
    if (name == "wpt" || name == "rte" || name == "trk") {
      item_ = Item{};
      kind_ = std::string(name);
      item_->where = (name == "wpt"   ? "waypoint " + std::to_string(++waypoints_)
                      : name == "rte" ? "route " + std::to_string(++routes_)
                                      : "track " + std::to_string(++tracks_)) +
                     " (" + here() + ")";
    }
    if (item_ && (name == "wpt" || name == "rtept" || name == "trkpt")) {
      const XML_Char* lat = attribute(atts, "lat");
      const XML_Char* lon = attribute(atts, "lon");
      item_->points.emplace_back(lon ? lon : "", lat ? lat : "");
    }
  }
  void end(std::string_view name, std::string_view text) override {
    if (!item_) return;
    if (name == "name" && (parent() == "wpt" || parent() == "rte" || parent() == "trk")) {
      item_->name = text;
    } else if (inside("extensions") && (name == "speed" || name == "maxspeed")) {
      readNumber(text, item_->speed, "speed", *item_);
    } else if ((name == "course" && parent() == "wpt") ||
               (inside("extensions") &&
                (name == "course" || name == "direction" || name == "heading" || name == "bearing"))) {
      readDirection(text, *item_);
    } else if (name == kind_) {
      if (name == "wpt") {
        deliver(*item_, false, set_);
      } else if (sections_) {
        deliver(*item_, true, set_);
      } else if (!notedRoutes_) {
        set_.note("", "routes and tracks are not read (--gpx-sections takes those of two points as sections)");
        notedRoutes_ = true;
      }
      item_.reset();
    }
  }

 private:
  bool sections_;
  CameraSet& set_;
  std::optional<Item> item_;
  std::string kind_;
  std::size_t waypoints_ = 0, routes_ = 0, tracks_ = 0;
  bool notedRoutes_ = false;
};

class KmlReader final : public XmlReader {
 public:
  explicit KmlReader(CameraSet& set) : set_(set) {}

 protected:
  void start(std::string_view name, const XML_Char** atts) override {
    if (name == "Placemark") {
      item_ = Item{};
      item_->where = "placemark " + std::to_string(++count_) + " (" + here() + ")";
      geometry_.clear();
      geometries_ = 0;
    } else if (item_ && (name == "Point" || name == "LineString" || name == "Polygon" || name == "LinearRing")) {
      if (name != "LinearRing") {
        geometry_ = std::string(name);
        ++geometries_;
      }
    } else if (item_ && (name == "Data" || name == "SimpleData")) {
      const XML_Char* n = attribute(atts, "name");
      dataName_ = n ? n : "";
    }
  }
  void end(std::string_view name, std::string_view text) override {
    if (!item_) return;
    if (name == "name" && parent() == "Placemark") {
      item_->name = text;
    } else if (name == "coordinates" && (parent() == "Point" || parent() == "LineString")) {
      readCoordinates(text);
    } else if ((name == "value" && parent() == "Data") || name == "SimpleData") {
      if (dataName_ == "speed" || dataName_ == "maxspeed") readNumber(text, item_->speed, "speed", *item_);
      if (dataName_ == "direction") readDirection(text, *item_);
      if (dataName_ == "type") readNumber(text, item_->type, "type", *item_);
      if (dataName_ == "dtype") readNumber(text, item_->dtype, "dtype", *item_);
    } else if (name == "Placemark") {
      if (geometries_ != 1) {
        set_.skip(item_->where, geometries_ == 0 ? "no Point or LineString" : "more than one geometry");
      } else if (geometry_ == "Polygon") {
        set_.skip(item_->where, "a Polygon is neither a camera (Point) nor a section (LineString)");
      } else {
        deliver(*item_, geometry_ == "LineString", set_);
      }
      item_.reset();
    }
  }

 private:
  // "lon,lat[,alt]" tuples separated by white space.
  void readCoordinates(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
      std::size_t j = i;
      while (j < text.size() && !(text[j] == ' ' || text[j] == '\t' || text[j] == '\r' || text[j] == '\n')) ++j;
      if (j > i) {
        const std::string_view tuple = text.substr(i, j - i);
        const auto c1 = tuple.find(',');
        const std::string_view lon = tuple.substr(0, c1);
        std::string_view lat = c1 == std::string_view::npos ? std::string_view() : tuple.substr(c1 + 1);
        lat = lat.substr(0, lat.find(','));
        item_->points.emplace_back(lon, lat);
      }
      i = j;
    }
  }

  CameraSet& set_;
  std::optional<Item> item_;
  std::string geometry_, dataName_;
  int geometries_ = 0;
  std::size_t count_ = 0;
};

}  // namespace

std::optional<ReadError> readGpx(std::string_view text, bool routesAsSections, CameraSet& set) {
  GpxReader reader(routesAsSections, set);
  return reader.run(text, "gpx", "GPX", set);
}

std::optional<ReadError> readKml(std::string_view text, CameraSet& set) {
  KmlReader reader(set);
  return reader.run(text, "kml", "KML", set);
}

}  // namespace solvane::importer

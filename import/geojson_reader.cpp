#include "import/geojson_reader.h"

#include <nlohmann/json.hpp>

namespace solvane::importer {
namespace {

using Json = nlohmann::json;

// A member's text when it is a string, else the empty text (value() would throw on a number).
std::string stringMember(const Json& object, const char* key) {
  if (!object.is_object()) return {};
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A property as a whole number: a JSON number or a numeric string; null or absent: nothing.
std::optional<std::int64_t> numberProperty(const Json& properties, const char* key, std::string& problem) {
  if (!properties.is_object()) return std::nullopt;
  const auto it = properties.find(key);
  if (it == properties.end() || it->is_null()) return std::nullopt;
  if (it->is_number_integer()) return it->get<std::int64_t>();
  if (it->is_number_unsigned())
    return static_cast<std::int64_t>(std::min<std::uint64_t>(it->get<std::uint64_t>(), INT64_MAX));
  if (it->is_number_float()) {
    if (auto v = wholeNumber(std::to_string(it->get<double>()))) return v;
  }
  if (it->is_string()) {
    if (auto v = wholeNumber(it->get<std::string>())) return v;
  }
  problem = std::string("property \"") + key + "\" is not a number, left empty";
  return std::nullopt;
}

std::optional<Position> position(const Json& p, std::string& error) {
  if (!p.is_array() || p.size() < 2 || !p[0].is_number() || !p[1].is_number()) {
    error = "a position must be [longitude, latitude]";
    return std::nullopt;
  }
  const auto x = coordinateFromDouble(p[0].get<double>());
  const auto y = coordinateFromDouble(p[1].get<double>());
  if (!x || !y) {
    error = "coordinates outside the range (longitude -180..180, latitude -90..90)";
    return std::nullopt;
  }
  return Position{x->text, y->text, x->scaled, y->scaled, x->degrees, y->degrees};
}

class FeatureTaker {
 public:
  explicit FeatureTaker(CameraSet& set) : set_(set) {}

  void take(const Json& feature) {
    const std::string where = "feature " + std::to_string(++count_);
    const Json* geometry = nullptr;
    const Json* properties = nullptr;
    if (feature.is_object() && stringMember(feature, "type") == "Feature") {
      if (const auto g = feature.find("geometry"); g != feature.end()) geometry = &*g;
      if (const auto p = feature.find("properties"); p != feature.end()) properties = &*p;
    } else {
      geometry = &feature;  // a bare geometry
    }
    if (!geometry || !geometry->is_object()) {
      set_.skip(where, "no geometry");
      return;
    }
    const std::string type = stringMember(*geometry, "type");
    const auto coordinates = geometry->find("coordinates");
    if (coordinates == geometry->end() || !coordinates->is_array()) {
      set_.skip(where, type.empty() ? "no geometry type" : "a " + type + " without coordinates");
      return;
    }
    Camera camera;
    std::string error;
    if (type == "Point") {
      auto p = position(*coordinates, error);
      if (!p) {
        set_.skip(where, error);
        return;
      }
      camera.at = std::move(*p);
    } else if (type == "LineString") {
      if (coordinates->size() != 2) {
        set_.skip(where,
                  "a LineString of " + std::to_string(coordinates->size()) + " points (a section has exactly 2)");
        return;
      }
      auto a = position((*coordinates)[0], error);
      auto b = a ? position((*coordinates)[1], error) : std::nullopt;
      if (!a || !b) {
        set_.skip(where, error);
        return;
      }
      camera.at = std::move(*a);
      camera.end = std::move(*b);
    } else {
      set_.skip(where, "a " + (type.empty() ? std::string("geometry without type") : type) +
                           " is neither a camera (Point) nor a section (LineString)");
      return;
    }
    const Json empty = Json::object();
    const Json& props = properties && properties->is_object() ? *properties : empty;
    std::string problem;
    camera.type = numberProperty(props, "type", problem);
    camera.speed = numberProperty(props, "speed", problem);
    camera.dtype = numberProperty(props, "dtype", problem);
    const auto h = numberProperty(props, "h", problem);
    const auto h2 = numberProperty(props, "h2", problem);
    const auto dtypeByte = static_cast<std::uint8_t>(camera.dtype.value_or(0) & 0xFF);
    if (h && *h >= 0 && *h <= 255) {
      camera.direction = directionForH(static_cast<std::uint8_t>(*h), dtypeByte);
    } else {
      camera.direction = numberProperty(props, "direction", problem);
    }
    if (camera.isSection()) {
      if (h2 && *h2 >= 0 && *h2 <= 255) {
        camera.direction2 = directionForH(static_cast<std::uint8_t>(*h2), dtypeByte);
      } else {
        camera.direction2 = numberProperty(props, "direction2", problem);
      }
    }
    if (!problem.empty()) set_.note(where, problem);
    set_.add(std::move(camera), where);
  }

 private:
  CameraSet& set_;
  std::size_t count_ = 0;
};

}  // namespace

std::optional<ReadError> readGeoJson(std::string_view text, CameraSet& set) {
  FeatureTaker taker(set);
  const std::size_t first = set.cameras().size();
  // Features are taken as soon as each is complete (an object two levels down: root, the
  // "features" array, the feature) and then dropped from the tree being built.
  const auto callback = [&](int depth, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_end && depth == 2 && stringMember(parsed, "type") == "Feature") {
      taker.take(parsed);
      set.tick(0);  // nlohmann tells no offset: the count of cameras shows the progress
      return false;
    }
    return true;
  };
  Json root;
  try {
    root = Json::parse(text.begin(), text.end(), callback);
  } catch (const Json::parse_error& e) {
    const std::string what = e.what();
    const auto colon = what.find(": ");  // after "[json.exception...] parse error at line L, column C"
    return ReadError{textPlace(text, e.byte == 0 ? 0 : e.byte - 1),
                     "not valid JSON (" + (colon == std::string::npos ? what : what.substr(colon + 2)) + ")"};
  } catch (const Json::exception& e) {
    // A number beyond double's range and the like: nlohmann gives no place for these.
    const std::string what = e.what();
    const auto bracket = what.find("] ");
    return ReadError{"", "not valid JSON (" + (bracket == std::string::npos ? what : what.substr(bracket + 2)) + ")"};
  }
  if (!root.is_object() || !root.contains("type") || !root["type"].is_string()) {
    return ReadError{"line 1", "not a GeoJSON object (no \"type\")"};
  }
  const std::string type = root["type"];
  if (type == "FeatureCollection") {
    if (!root.contains("features") || !root["features"].is_array()) {
      return ReadError{"line 1", "a FeatureCollection without a \"features\" array"};
    }
    for (const Json& f : root["features"]) taker.take(f);  // any not taken early
  } else if (type == "Feature" || type == "Point" || type == "LineString") {
    taker.take(root);
  } else {
    return ReadError{
        "line 1", "a GeoJSON " + type + " holds no cameras (FeatureCollection, Feature, Point or LineString expected)"};
  }
  set.keepTieOrder(first);
  return std::nullopt;
}

}  // namespace solvane::importer

#include "import/camera_set.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/c_number.h"
#include "convert/record_encoder.h"

namespace solvane::importer {
namespace {

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) noexcept {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

// The scaled text that the converter always reads back to `scaled`: halfway into the next step.
std::string midpointText(std::int32_t scaled) {
  const std::int64_t v = scaled;
  const std::uint64_t a = static_cast<std::uint64_t>(v < 0 ? -v : v);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu5", v < 0 ? "-" : "", static_cast<unsigned long long>(a / 10000),
                static_cast<unsigned long long>(a % 10000));
  return buf;
}

std::string joined(std::string_view source, std::string_view where, std::string_view what) {
  std::string s(source);
  if (!s.empty() && !where.empty()) s += ", ";
  s += where;
  if (!s.empty()) s += ": ";
  s += what;
  return s;
}

}  // namespace

std::optional<Coordinate> coordinateFromText(std::string_view text) {
  text = trim(text);
  // Plain decimal: [sign] digits [. digits]; the scaled value is exact from the digits.
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  std::int64_t whole = 0;
  std::size_t wholeDigits = 0, fractionDigits = 0;
  while (i < text.size() && isDigit(text[i])) {
    if (whole < 100000000) whole = whole * 10 + (text[i] - '0');
    ++i;
    ++wholeDigits;
  }
  std::int64_t fraction = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) {
      if (fractionDigits < 4) fraction = fraction * 10 + (text[i] - '0');
      ++i;
      ++fractionDigits;
    }
  }
  if (i == text.size() && wholeDigits + fractionDigits > 0) {
    for (std::size_t k = fractionDigits; k < 4; ++k) fraction *= 10;
    std::int64_t scaled = whole * 10000 + fraction;
    if (negative) scaled = -scaled;
    if (scaled < INT32_MIN || scaled > INT32_MAX) return std::nullopt;
    Coordinate c;
    c.scaled = static_cast<std::int32_t>(scaled);
    c.degrees = parseCDouble(text);
    // '+' is not read by every tool the same way; keep only texts the converter reads right.
    c.text = (text[0] != '+' && scaleCoordinate(text) == c.scaled) ? std::string(text) : midpointText(c.scaled);
    return c;
  }
  // Anything else (an exponent): through the shortest text of its double.
  double d = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return coordinateFromDouble(d);
}

std::optional<Coordinate> coordinateFromDouble(double degrees) {
  if (!std::isfinite(degrees) || std::fabs(degrees) > 1e6) return std::nullopt;
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, degrees, std::chars_format::fixed);
  if (ec != std::errc{}) return std::nullopt;
  return coordinateFromText(std::string_view(buf, static_cast<std::size_t>(end - buf)));
}

std::optional<Position> positionFromTexts(std::string_view lon, std::string_view lat, std::string& error) {
  const auto x = coordinateFromText(lon);
  const auto y = coordinateFromText(lat);
  if (!x || !y) {
    error = !x ? "longitude \"" + std::string(lon) + "\" is not a number"
               : "latitude \"" + std::string(lat) + "\" is not a number";
    return std::nullopt;
  }
  return Position{x->text, y->text, x->scaled, y->scaled, x->degrees, y->degrees};
}

bool Region::contains(double lon, double lat) const noexcept {
  if (box && !(lon >= box->west && lon <= box->east && lat >= box->south && lat <= box->north)) return false;
  if (!area) return true;
  const auto inRing = [&](const Ring& ring) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
      const auto [xi, yi] = ring[i];
      const auto [xj, yj] = ring[j];
      if ((yi > lat) != (yj > lat) && lon < (xj - xi) * (lat - yi) / (yj - yi) + xi) inside = !inside;
    }
    return inside;
  };
  for (const Polygon& polygon : *area) {
    if (polygon.empty() || !inRing(polygon.front())) continue;
    bool inHole = false;
    for (std::size_t h = 1; h < polygon.size() && !inHole; ++h) inHole = inRing(polygon[h]);
    if (!inHole) return true;
  }
  return false;
}

namespace {

bool readPolygon(const nlohmann::json& rings, Region::Polygon& out, std::string& error) {
  if (!rings.is_array() || rings.empty()) {
    error = "a polygon needs at least its outer ring";
    return false;
  }
  for (const auto& ring : rings) {
    if (!ring.is_array() || ring.size() < 4) {
      error = "a polygon ring needs at least 4 positions";
      return false;
    }
    Region::Ring r;
    for (const auto& p : ring) {
      if (!p.is_array() || p.size() < 2 || !p[0].is_number() || !p[1].is_number()) {
        error = "a position must be [longitude, latitude]";
        return false;
      }
      r.emplace_back(p[0].get<double>(), p[1].get<double>());
    }
    out.push_back(std::move(r));
  }
  return true;
}

bool collectArea(const nlohmann::json& j, std::vector<Region::Polygon>& out, std::string& error) {
  if (!j.is_object() || !j.contains("type") || !j["type"].is_string()) {
    error = "not a GeoJSON object (no \"type\")";
    return false;
  }
  const std::string type = j["type"];
  if (type == "FeatureCollection") {
    if (!j.contains("features") || !j["features"].is_array()) {
      error = "a FeatureCollection without \"features\"";
      return false;
    }
    for (const auto& f : j["features"]) {
      if (!collectArea(f, out, error)) return false;
    }
    return true;
  }
  if (type == "Feature") {
    if (!j.contains("geometry")) {
      error = "a Feature without \"geometry\"";
      return false;
    }
    return collectArea(j["geometry"], out, error);
  }
  if (!j.contains("coordinates")) {
    error = "a " + type + " without \"coordinates\"";
    return false;
  }
  if (type == "Polygon") {
    Region::Polygon p;
    if (!readPolygon(j["coordinates"], p, error)) return false;
    out.push_back(std::move(p));
    return true;
  }
  if (type == "MultiPolygon") {
    if (!j["coordinates"].is_array()) {
      error = "MultiPolygon coordinates must be an array";
      return false;
    }
    for (const auto& rings : j["coordinates"]) {
      Region::Polygon p;
      if (!readPolygon(rings, p, error)) return false;
      out.push_back(std::move(p));
    }
    return true;
  }
  error = "a " + type + " is not an area (Polygon or MultiPolygon expected)";
  return false;
}

}  // namespace

std::optional<std::vector<Region::Polygon>> readArea(std::string_view json, std::string& error) {
  try {
    const nlohmann::json j = nlohmann::json::parse(json.begin(), json.end());
    std::vector<Region::Polygon> out;
    if (!collectArea(j, out, error)) return std::nullopt;
    if (out.empty()) {
      error = "no Polygon or MultiPolygon in it";
      return std::nullopt;
    }
    return out;
  } catch (const nlohmann::json::parse_error& e) {
    error = "byte " + std::to_string(e.byte) + ": not valid JSON";
    return std::nullopt;
  } catch (const nlohmann::json::exception&) {
    error = "not valid JSON (a number out of range?)";
    return std::nullopt;
  }
}

void CameraSet::add(Camera camera, std::string_view where) {
  const auto outOfRange = [](const Position& p) { return !inRange(p.scaledLon, p.scaledLat); };
  if (outOfRange(camera.at)) {
    skip(where, "coordinates outside the range (longitude -180..180, latitude -90..90)");
    return;
  }
  if (camera.end && outOfRange(*camera.end)) {
    // The conversion range-tests only a section's start and writes its end as it stands.
    note(where, "the section's end point lies outside the range (longitude -180..180, latitude -90..90); kept");
  }
  if (!region_.contains(camera.at.lonDegrees, camera.at.latDegrees)) {
    ++outside_;
    return;
  }
  cameras_.push_back(std::move(camera));
}

void CameraSet::skip(std::string_view where, std::string_view why) { skipped_.push_back(joined(source_, where, why)); }
void CameraSet::note(std::string_view where, std::string_view what) { notes_.push_back(joined(source_, where, what)); }

void CameraSet::keepTieOrder(std::size_t from) {
  std::size_t begin = from;
  while (begin < cameras_.size()) {
    std::size_t end = begin + 1;
    const std::int32_t s = cameras_[begin].at.scaledLat;
    bool rising = true;
    while (end < cameras_.size() && cameras_[end].at.scaledLat == s) {
      rising = rising && parseCDouble(cameras_[end].at.lat) > parseCDouble(cameras_[end - 1].at.lat);
      ++end;
    }
    const std::size_t n = end - begin;
    if (n > 1 && !rising && n < 10000000) {
      // S, its four decimals, then seven more: rising in list order on either side of zero.
      std::vector<std::string> texts;
      const std::int64_t v = s;
      const std::uint64_t a = static_cast<std::uint64_t>(v < 0 ? -v : v);
      bool exact = true;
      for (std::size_t k = 0; k < n && exact; ++k) {
        const std::size_t suffix = v < 0 ? n - k : k + 1;
        char buf[48];
        std::snprintf(buf, sizeof buf, "%s%llu.%04llu%07llu", v < 0 ? "-" : "",
                      static_cast<unsigned long long>(a / 10000), static_cast<unsigned long long>(a % 10000),
                      static_cast<unsigned long long>(suffix));
        texts.emplace_back(buf);
        exact = scaleCoordinate(std::string_view(texts.back())) == s &&
                (k == 0 || parseCDouble(texts[k]) > parseCDouble(texts[k - 1]));
      }
      if (exact) {
        for (std::size_t k = 0; k < n; ++k) cameras_[begin + k].at.lat = std::move(texts[k]);
      }
    }
    begin = end;
  }
}

std::size_t CameraSet::points() const noexcept {
  std::size_t n = 0;
  for (const Camera& c : cameras_) n += c.isSection() ? 0 : 1;
  return n;
}

namespace {

std::string optionalText(const std::optional<std::int64_t>& v) { return v ? std::to_string(*v) : std::string(); }

std::int64_t dtypeOf(const Camera& c, const ListDefaults& d) {
  if (c.dtype) return *c.dtype;
  if (d.dtype) return *d.dtype;
  return c.direction ? 1 : 0;
}

void appendLine(std::string& out, std::size_t idx, const Position& p, std::int64_t type, const Camera& c,
                std::int64_t dtype, const std::optional<std::int64_t>& direction) {
  out += std::to_string(idx);
  out += ',';
  out += p.lon;
  out += ',';
  out += p.lat;
  out += ',';
  // The normal list's loader stores the exact text "2" as "3"; "02" is read as 2 and kept.
  out += type == 2 ? std::string("02") : std::to_string(type);
  out += ',';
  out += optionalText(c.speed);
  out += ',';
  out += std::to_string(dtype);
  out += ',';
  out += optionalText(direction);
  out += "\r\n";
}

constexpr std::string_view kHeader = "IDX,X,Y,TYPE,SPD,DTYPE,DIR\r\n";

}  // namespace

std::string normalListText(const std::vector<Camera>& cameras, const ListDefaults& defaults) {
  std::string out(kHeader);
  std::size_t idx = 0;
  for (const Camera& c : cameras) {
    if (c.isSection()) continue;
    appendLine(out, ++idx, c.at, c.type.value_or(c.redLight ? defaults.redLightType : defaults.pointType), c,
               dtypeOf(c, defaults), c.direction);
  }
  return out;
}

std::string autodoriaListText(const std::vector<Camera>& cameras, const ListDefaults& defaults) {
  std::string out(kHeader);
  std::size_t idx = 0;
  for (const Camera& c : cameras) {
    if (!c.isSection()) continue;
    const std::int64_t type = c.type.value_or(defaults.sectionType);
    const std::int64_t dtype = dtypeOf(c, defaults);
    appendLine(out, ++idx, c.at, type, c, dtype, c.direction);
    appendLine(out, ++idx, *c.end, type, c, dtype, c.direction2 ? c.direction2 : c.direction);
  }
  return out;
}

std::int64_t directionForH(std::uint8_t h, std::uint8_t dtype) noexcept {
  // The direction dump shows for H when it re-encodes to H, else one degree on (H halves, so
  // both give the same H except where DTYPE 2 folds 180 into 0), else beyond 360 for H > 179.
  if (h <= 179) {
    const std::int64_t d = (2 * h + 180) % 360;
    if (halfDirection(static_cast<std::int32_t>(d), dtype) == h) return d;
    if (halfDirection(static_cast<std::int32_t>(d + 1), dtype) == h) return d + 1;
  }
  return 2 * std::int64_t{h} + 180;
}

std::string textPlace(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset; ++i) line += text[i] == '\n' ? 1 : 0;
  return "line " + std::to_string(line) + ", byte " + std::to_string(offset + 1);
}

std::optional<std::int64_t> speedFromAt(std::string_view text) noexcept {
  for (std::size_t at = text.find('@'); at != std::string_view::npos; at = text.find('@', at + 1)) {
    std::size_t i = at + 1;
    std::int64_t v = 0;
    while (i < text.size() && isDigit(text[i]) && v < 100000) v = v * 10 + (text[i++] - '0');
    if (i > at + 1) return v;
  }
  return std::nullopt;
}

std::optional<std::int64_t> wholeNumber(std::string_view text) noexcept {
  text = trim(text);
  if (text.empty()) return std::nullopt;
  double d = 0;
  std::string_view t = text;
  if (t.front() == '+') t.remove_prefix(1);
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), d, std::chars_format::fixed);
  if (ec != std::errc{} || end != t.data() + t.size() || !std::isfinite(d) || std::fabs(d) > 1e12) return std::nullopt;
  return static_cast<std::int64_t>(std::llround(d));
}

std::optional<std::int64_t> directionFromText(std::string_view text) noexcept {
  text = trim(text);
  if (const auto n = wholeNumber(text)) return ((*n % 360) + 360) % 360;
  static constexpr std::string_view kWords[] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                                                "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};
  if (text.empty() || text.size() > 3) return std::nullopt;
  std::string upper(text);
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  for (std::size_t i = 0; i < 16; ++i) {
    if (upper == kWords[i]) return static_cast<std::int64_t>(std::llround(static_cast<double>(i) * 22.5)) % 360;
  }
  return std::nullopt;
}

}  // namespace solvane::importer

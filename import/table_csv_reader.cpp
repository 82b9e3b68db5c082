#include "import/table_csv_reader.h"

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "import/poi_csv_reader.h"

namespace solvane::importer {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool validUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
    } else if (c >= 0x80) {
      return false;
    }
    if (i + n >= s.size() + (n ? 0 : 1) && n) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n + 1;
  }
  return true;
}

// Windows-1252 to UTF-8 (0x80..0x9F by the code page's table; the five holes kept as U+FFFD).
std::string fromWindows1252(std::string_view s) {
  static constexpr std::array<char16_t, 32> k80 = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                                   0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::string out;
  out.reserve(s.size() + s.size() / 8);
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    const char32_t u = c < 0x80 ? c : c < 0xA0 ? k80[c - 0x80] : c;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

// One record's fields, RFC 4180: quoted fields may hold the delimiter, "" and line ends.
struct Record {
  std::vector<std::string> fields;
  std::size_t line = 0;
};

class Splitter {
 public:
  Splitter(std::string_view text, char delimiter) : text_(text), delimiter_(delimiter) {}

  // The next record; false at the end. A quote never closed is an error (where, reason).
  bool next(Record& r, std::optional<ReadError>& error) {
    r.fields.clear();
    if (i_ >= text_.size()) return false;
    r.line = line_;
    std::string field;
    bool quoted = false;
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '"' && trimmed(field).empty() && !quoted) {
        const std::size_t open = i_++;
        field.clear();
        for (;;) {
          if (i_ >= text_.size()) {
            error = ReadError{textPlace(text_, open), "a quoted field is not closed"};
            return false;
          }
          if (text_[i_] == '"') {
            if (i_ + 1 < text_.size() && text_[i_ + 1] == '"') {
              field += '"';
              i_ += 2;
              continue;
            }
            ++i_;
            break;
          }
          if (text_[i_] == '\n') ++line_;
          field += text_[i_++];
        }
        quoted = true;
        continue;
      }
      ++i_;
      if (c == delimiter_) {
        r.fields.push_back(std::move(field));
        field.clear();
        quoted = false;
      } else if (c == '\n') {
        ++line_;
        break;
      } else if (c != '\r' && !(quoted && (c == ' ' || c == '\t'))) {
        field += c;  // text after a closing quote is kept (spreadsheets write `"a" b`)
      }
    }
    r.fields.push_back(std::move(field));
    return true;
  }
  [[nodiscard]] std::size_t offset() const noexcept { return i_; }

 private:
  std::string_view text_;
  char delimiter_;
  std::size_t i_ = 0, line_ = 1;
};

// The delimiter that occurs most often outside quotes in the first line; a comma when none.
char detectDelimiter(std::string_view text) {
  std::array<std::size_t, 4> counts{};
  constexpr std::array<char, 4> kCandidates = {',', ';', '\t', '|'};
  bool quoted = false;
  for (const char c : text) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == '\n') break;
    if (quoted) continue;
    for (std::size_t k = 0; k < kCandidates.size(); ++k) counts[k] += c == kCandidates[k];
  }
  std::size_t best = 0;
  for (std::size_t k = 1; k < kCandidates.size(); ++k) {
    if (counts[k] > counts[best]) best = k;
  }
  return kCandidates[best];
}

// A coordinate cell as a C decimal: blanks dropped, a decimal comma made a point.
std::string decimalText(std::string_view cell) {
  std::string t(trimmed(cell));
  if (t.find('.') == std::string::npos) {
    if (const auto comma = t.find(','); comma != std::string::npos && t.find(',', comma + 1) == std::string::npos) {
      t[comma] = '.';
    }
  }
  return t;
}

bool anyOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (const std::string_view n : names) {
    if (name == n) return true;
  }
  return false;
}

bool containsAny(std::string_view name, std::initializer_list<std::string_view> parts) {
  for (const std::string_view p : parts) {
    if (name.find(p) != std::string_view::npos) return true;
  }
  return false;
}

// Names by role, folded. Exact names first; a name containing a telling part next.
bool latName(std::string_view n) {
  return anyOf(
      n, {"lat",       "latitude", "latitud",     "latitudine", "breite",          "breitengrad",   "y",
          "ycoord",    "coordy",   "ycoordinate", "latwgs84",   "wgs84lat",        "gpslat",        "gpslatitude",
          "latdd",     "latdec",   "szerokosc",   "leveysaste", "breddegrad",      "breedtegraad",  "lati",
          "latitudey", "poslat",   "geolat",      "ylat",       "latitudedecimal", "latitudewgs84", "decimallatitude"});
}
bool lonName(std::string_view n) {
  return anyOf(n, {"lon",
                   "lng",
                   "long",
                   "longitude",
                   "longitud",
                   "longitudine",
                   "laenge",
                   "lange",
                   "laengengrad",
                   "langengrad",
                   "x",
                   "xcoord",
                   "coordx",
                   "xcoordinate",
                   "lonwgs84",
                   "wgs84lon",
                   "gpslon",
                   "gpslong",
                   "gpslongitude",
                   "londd",
                   "londec",
                   "dlugosc",
                   "pituusaste",
                   "lengdegrad",
                   "lengtegraad",
                   "longi",
                   "longitudex",
                   "poslon",
                   "geolon",
                   "xlon",
                   "longitudedecimal",
                   "longitudewgs84",
                   "decimallongitude"});
}
bool latPart(std::string_view n) { return containsAny(n, {"latitud", "breitengrad", "breedtegraad"}); }
bool lonPart(std::string_view n) { return containsAny(n, {"longitud", "langengrad", "laengengrad", "lengtegraad"}); }
bool locationName(std::string_view n) {
  return anyOf(n, {"location",
                   "loc",
                   "position",
                   "coordinates",
                   "coordinate",
                   "coords",
                   "geom",
                   "geometry",
                   "thegeom",
                   "wkt",
                   "point",
                   "geopoint",
                   "geopoint2d",
                   "geoloc",
                   "geolocation",
                   "latlon",
                   "latlng",
                   "latlong",
                   "ubicacion",
                   "localizacion",
                   "posicion",
                   "coordenadas",
                   "coordenada",
                   "punto",
                   "standort",
                   "koordinaten",
                   "coordonnees",
                   "localisation",
                   "geo",
                   "gps",
                   "gpscoordinates",
                   "geocoordinates",
                   "locatie",
                   "lokalizacja",
                   "wgs84",
                   "geopunkt",
                   "latitudelongitude",
                   "geolocalisation"}) ||
         containsAny(n, {"coord", "geom", "location", "geopoint", "wkt"});
}
bool speedName(std::string_view n) {
  return anyOf(n, {"speed",
                   "maxspeed",
                   "speedlimit",
                   "limit",
                   "limite",
                   "vitesse",
                   "vitessemax",
                   "vitesselimite",
                   "velocidad",
                   "velocidadmaxima",
                   "velocidade",
                   "velocita",
                   "geschwindigkeit",
                   "tempo",
                   "tempolimit",
                   "hochstgeschwindigkeit",
                   "hoechstgeschwindigkeit",
                   "vmax",
                   "kmh",
                   "mph",
                   "postedspeed",
                   "snelheid",
                   "maxsnelheid",
                   "rychlost",
                   "predkosc",
                   "hastighet",
                   "nopeus",
                   "velmax",
                   "limitvitesse",
                   "speedkmh",
                   "speedmph",
                   "limitevelocidad",
                   "velocidadlimite",
                   "speedlimitkmh",
                   "speedlimitmph",
                   "maxspeedkmh",
                   "maxspeedmph",
                   "zulassigegeschwindigkeit"});
}
bool speedPart(std::string_view n) {
  return containsAny(n, {"speed", "velocid", "vitesse", "geschwind", "tempo", "limit", "vmax", "snelheid"});
}
// Not "direccion" nor "adresse": in Spanish and French lists those are the street address.
bool directionName(std::string_view n) {
  return anyOf(n, {"direction",
                   "dir",
                   "heading",
                   "bearing",
                   "course",
                   "azimuth",
                   "azimut",
                   "richtung",
                   "fahrtrichtung",
                   "sentido",
                   "sens",
                   "senscirculation",
                   "orientation",
                   "orientacion",
                   "angle",
                   "approach",
                   "firstapproach",
                   "approach1",
                   "direction1",
                   "traveldirection",
                   "directionoftravel",
                   "cap",
                   "rumbo",
                   "kierunek",
                   "suunta",
                   "retning",
                   "riktning",
                   "richting",
                   "direcao",
                   "sentidocirculacion",
                   "blickrichtung"});
}
bool directionPart(std::string_view n) {
  return containsAny(n, {"direction", "approach", "richtung", "sentido", "heading", "bearing"});
}
bool secondDirectionName(std::string_view n) {
  return anyOf(n, {"secondapproach", "approach2", "direction2", "dir2", "secondarydirection", "seconddirection",
                   "thirdapproach", "approach3"});
}
bool kindName(std::string_view n) {
  return anyOf(n, {"type",       "kind",       "category",     "cameratype",   "devicetype",      "tipo",
                   "typ",        "categorie",  "categoria",    "art",          "enforcement",     "violationtype",
                   "tipocamara", "typeradar",  "typedecamera", "typeappareil", "tipodispositivo", "kategorie",
                   "camera",     "description"});
}

bool redLightText(std::string_view utf8) {
  const std::string n = foldName(utf8);
  return containsAny(n, {"redlight", "feurouge", "semaforo", "rotlicht", "luzroja", "roodlicht", "trafficsignal",
                         "trafficlight", "redlicht", "semafor", "fotorrojo"});
}

// A direction cell's compass text: letters upper case, "-bound" and "B" of NB/SWB dropped.
std::optional<std::int64_t> compassWord(std::string w) {
  struct Word {
    std::string_view text;
    std::int64_t degrees;
  };
  static constexpr Word kWords[] = {
      {"NORTH", 0},      {"NORTHEAST", 45},  {"EAST", 90},    {"SOUTHEAST", 135}, {"SOUTH", 180},   {"SOUTHWEST", 225},
      {"WEST", 270},     {"NORTHWEST", 315}, {"NORD", 0},     {"NORTE", 0},       {"SUD", 180},     {"SUED", 180},
      {"SUR", 180},      {"OST", 90},        {"EST", 90},     {"ESTE", 90},       {"OUEST", 270},   {"OESTE", 270},
      {"NORDEST", 45},   {"NORDOUEST", 315}, {"SUDEST", 135}, {"SUDOUEST", 225},  {"NORDOST", 45},  {"SUEDOST", 135},
      {"NORDWEST", 315}, {"SUEDWEST", 225},  {"NORESTE", 45}, {"NOROESTE", 315},  {"SURESTE", 135}, {"SUROESTE", 225},
      {"O", 270}};
  if (w.size() > 5 && w.substr(w.size() - 5) == "BOUND") w.resize(w.size() - 5);
  for (const Word& k : kWords) {
    if (w == k.text) return k.degrees;
  }
  if (const auto d = directionFromText(w)) return d;
  // NB, EB, SWB, NNEB: a compass abbreviation with the B of "bound".
  if (w.size() >= 2 && w.size() <= 4 && w.back() == 'B') {
    w.pop_back();
    return directionFromText(w);
  }
  return std::nullopt;
}

}  // namespace

std::string foldName(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
      if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += static_cast<char>(c);
      continue;
    }
    // Latin-1 letters in UTF-8 (C3 xx) lose their accents; other letters are dropped.
    if (c == 0xC3 && i + 1 < utf8.size()) {
      static constexpr std::string_view kBase = "aaaaaaaceeeeiiiidnooooo*ouuuuyts";  // C3 80..9F, 0xC3 0xA0..BF alike
      const auto d = static_cast<unsigned char>(utf8[i + 1]);
      const std::size_t k = (d & 0x1F);
      if (d >= 0x80 && d <= 0xBF && k < kBase.size() && kBase[k] != '*') {
        if (d == 0x9F) {
          out += "ss";
        } else if (d == 0xBF) {
          out += 'y';
        } else if (d == 0x86 || d == 0xA6) {
          out += "ae";
        } else {
          out += kBase[k];
        }
      }
      ++i;
    }
  }
  return out;
}

std::optional<LatLon> locationCell(std::string_view cell) {
  std::string_view t = trimmed(cell);
  if (const auto semi = t.find(';'); semi != std::string_view::npos && t.substr(0, 5) == "SRID=") {
    t = trimmed(t.substr(semi + 1));
  }
  std::string upper(t.substr(0, 5));
  for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  const bool wkt = upper == "POINT";
  if (wkt) {
    t.remove_prefix(5);
    const auto open = t.find('(');
    const auto close = t.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) return std::nullopt;
    t = t.substr(open + 1, close - open - 1);
  } else {
    if (!t.empty() && (t.front() == '(' || t.front() == '[')) t.remove_prefix(1);
    if (!t.empty() && (t.back() == ')' || t.back() == ']')) t.remove_suffix(1);
  }
  t = trimmed(t);
  // Two numbers separated by a comma (with or without blanks) or by blanks alone.
  std::size_t sep = wkt ? std::string_view::npos : t.find(',');
  std::string_view a, b;
  if (sep != std::string_view::npos) {
    a = t.substr(0, sep);
    b = t.substr(sep + 1);
  } else {
    sep = t.find_first_of(" \t");
    if (sep == std::string_view::npos) return std::nullopt;
    a = t.substr(0, sep);
    b = trimmed(t.substr(sep));
    if (const auto more = b.find_first_of(" \t"); more != std::string_view::npos) b = b.substr(0, more);  // POINT Z
  }
  a = trimmed(a);
  b = trimmed(b);
  if (!wholeNumber(a) || !wholeNumber(b)) return std::nullopt;
  // WKT is lon lat; the others are written latitude first.
  if (wkt) return LatLon{std::string(b), std::string(a)};
  return LatLon{std::string(a), std::string(b)};
}

std::optional<std::int64_t> travelDirection(std::string_view text, bool& both) {
  both = false;
  const std::string_view t = trimmed(text);
  if (t.empty()) return std::nullopt;
  std::string_view number = t;
  if (number.size() > 2 && number.substr(number.size() - 2) == "\xC2\xB0") number.remove_suffix(2);  // 90°
  if (const auto n = wholeNumber(decimalText(number))) return ((*n % 360) + 360) % 360;
  const std::string folded = foldName(t);
  if (anyOf(folded, {"both", "bothdirections", "bothways", "bidirectional", "ambos", "ambossentidos", "beide",
                     "beiderichtungen", "beidseitig", "doublesens", "deuxsens", "2sens", "bidireccional"})) {
    both = true;
    return std::nullopt;
  }
  // Two approaches in one cell ("NB/SB", "EB & WB"): both ways, the first as the direction.
  for (const char sep : {'/', '&', '+'}) {
    if (const auto at = t.find(sep); at != std::string_view::npos) {
      bool ignored = false;
      const std::string_view l = trimmed(t.substr(0, at)), r = trimmed(t.substr(at + 1));
      if (l.size() >= 2 && r.size() >= 2) {
        const auto first = travelDirection(l, ignored);
        const auto second = travelDirection(r, ignored);
        if (first && second) {
          both = true;
          return first;
        }
      }
    }
  }
  std::string upper;
  for (const char c : folded) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return compassWord(upper);
}

std::optional<std::int64_t> speedCell(std::string_view text, bool mph) {
  std::string_view t = trimmed(text);
  std::size_t digits = 0;
  while (digits < t.size() && ((t[digits] >= '0' && t[digits] <= '9') || t[digits] == '.' || t[digits] == ',')) {
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  const std::optional<std::int64_t> v = wholeNumber(decimalText(t.substr(0, digits)));
  if (!v) return std::nullopt;
  const std::string unit = foldName(t.substr(digits));
  if (unit == "mph" || (unit.empty() && mph)) return static_cast<std::int64_t>(std::llround(*v * 1.609344));
  if (unit.empty() || unit == "kmh" || unit == "kph" || unit == "km" || unit == "kmu") return v;
  return std::nullopt;
}

std::optional<CsvColumns> parseCsvColumns(std::string_view text, std::string& error) {
  CsvColumns c;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    const auto eq = item.find('=');
    if (eq == std::string_view::npos || eq + 1 == item.size()) {
      error = "\"" + std::string(item) + "\" is not ROLE=NAME";
      return std::nullopt;
    }
    const std::string_view role = item.substr(0, eq);
    std::string* slot = role == "lon"         ? &c.lon
                        : role == "lat"       ? &c.lat
                        : role == "location"  ? &c.location
                        : role == "speed"     ? &c.speed
                        : role == "direction" ? &c.direction
                                              : nullptr;
    if (!slot) {
      error = "unknown role \"" + std::string(role) + "\" (lon, lat, location, speed, direction)";
      return std::nullopt;
    }
    *slot = std::string(item.substr(eq + 1));
  }
  return c;
}

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct Layout {
  std::size_t lon = kNone, lat = kNone, location = kNone, speed = kNone, direction = kNone, direction2 = kNone,
              kind = kNone, name = kNone;
  std::size_t spareLocation = kNone;  // a location column beside longitude and latitude
  bool mph = false;
  bool dump = false;  // the CSV of `solvane dump`
  std::size_t type = kNone, dtype = kNone, h = kNone, lat2 = kNone, lon2 = kNone, h2 = kNone, dumpKind = kNone;
};

std::size_t findNamed(const std::vector<std::string>& folded, const std::string& wanted) {
  const std::string f = foldName(wanted);
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (folded[i] == f) return i;
  }
  return kNone;
}

// The first column a test accepts, exact names before partial ones; `taken` columns are skipped.
template <class Exact, class Part>
std::size_t findRole(const std::vector<std::string>& folded, Exact exact, Part part,
                     std::initializer_list<std::size_t> taken) {
  const auto free = [&](std::size_t i) {
    for (const std::size_t t : taken) {
      if (t == i) return false;
    }
    return true;
  };
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (free(i) && exact(folded[i])) return i;
  }
  for (std::size_t i = 0; i < folded.size(); ++i) {
    if (free(i) && part(folded[i])) return i;
  }
  return kNone;
}

std::optional<ReadError> readTable(std::string_view text, std::string_view fileName, const CsvColumns& columns,
                                   char delimiter, CameraSet& set) {
  Splitter split(text, delimiter);
  Record header, record;
  std::optional<ReadError> error;
  if (!split.next(header, error)) return error;
  std::vector<std::string> folded;
  for (const std::string& h : header.fields) folded.push_back(foldName(h));
  Layout l;
  const auto has = [&](const char* n) { return findNamed(folded, n); };
  if (has("kind") != kNone && has("h") != kNone && has("latitude2") != kNone && has("dtype") != kNone) {
    l.dump = true;
    l.lat = has("latitude");
    l.lon = has("longitude");
    l.type = has("type");
    l.speed = has("speed");
    l.dtype = has("dtype");
    l.h = has("h");
    l.direction = has("direction");
    l.lat2 = has("latitude2");
    l.lon2 = has("longitude2");
    l.h2 = has("h2");
    l.dumpKind = has("kind");
  } else {
    const auto named = [&](const std::string& name, const char* role) -> std::optional<std::size_t> {
      if (name.empty()) return kNone;
      const std::size_t i = findNamed(folded, name);
      if (i == kNone) {
        error = ReadError{"line 1", std::string("--columns ") + role + "=" + name + ": no such column in the header"};
        return std::nullopt;
      }
      return i;
    };
    const auto lon = named(columns.lon, "lon"), lat = named(columns.lat, "lat"),
               location = named(columns.location, "location"), speed = named(columns.speed, "speed"),
               direction = named(columns.direction, "direction");
    if (!lon || !lat || !location || !speed || !direction) return error;
    l.lon = *lon;
    l.lat = *lat;
    l.location = *location;
    l.speed = *speed;
    l.direction = *direction;
    if (l.lat == kNone && l.location == kNone) l.lat = findRole(folded, latName, latPart, {l.lon});
    if (l.lon == kNone && l.location == kNone) l.lon = findRole(folded, lonName, lonPart, {l.lat});
    if (l.lon == kNone || l.lat == kNone) {
      l.lon = l.lat = kNone;
      if (l.location == kNone) l.location = findRole(folded, locationName, locationName, {});
    } else {
      l.spareLocation = findRole(folded, locationName, locationName, {l.lon, l.lat});
    }
    if (l.speed == kNone) l.speed = findRole(folded, speedName, speedPart, {l.lon, l.lat, l.location});
    if (l.direction == kNone) {
      l.direction = findRole(folded, directionName, directionPart, {l.lon, l.lat, l.location, l.speed});
    }
    l.direction2 = findRole(folded, secondDirectionName, [](std::string_view) { return false; }, {l.direction});
    l.kind = findRole(folded, kindName, [](std::string_view) { return false; },
                      {l.lon, l.lat, l.location, l.speed, l.direction});
    l.name = findRole(
        folded,
        [](std::string_view n) {
          return anyOf(n, {"name", "nom", "nombre", "bezeichnung", "naam", "nome"});
        },
        [](std::string_view) { return false; }, {});
    if (l.speed != kNone) l.mph = folded[l.speed].find("mph") != std::string::npos;
  }
  const std::optional<std::int64_t> fileSpeed = speedFromAt(fileName);
  const bool redLightFile = redLightText(fileName);  // "red-light-camera-locations.csv"
  std::size_t first = set.cameras().size();
  bool locationFromContent = false;
  while (split.next(record, error)) {
    set.tick(split.offset());
    const std::string where = "line " + std::to_string(record.line);
    const auto cell = [&](std::size_t i) -> std::string_view {
      return i < record.fields.size() ? std::string_view(record.fields[i]) : std::string_view();
    };
    bool blank = true;
    for (const std::string& f : record.fields) blank = blank && trimmed(f).empty();
    if (blank) continue;
    // No coordinate columns by name: the first record's cell that reads as a location.
    if (l.lon == kNone && l.location == kNone) {
      for (std::size_t i = 0; i < record.fields.size(); ++i) {
        if (locationCell(record.fields[i])) {
          l.location = i;
          locationFromContent = true;
          break;
        }
      }
      if (l.location == kNone) {
        std::string names;
        for (const std::string& h : header.fields) names += (names.empty() ? "\"" : ", \"") + h + "\"";
        return ReadError{"line 1", "no longitude and latitude columns in the header (" + names +
                                       "); name them with --columns lon=NAME,lat=NAME (or location=NAME)"};
      }
    }
    std::string lonText, latText;
    if (l.location != kNone) {
      const auto ll = locationCell(cell(l.location));
      if (!ll) {
        set.skip(where, trimmed(cell(l.location)).empty()
                            ? "no position (the column \"" + header.fields[l.location] + "\" is empty)"
                            : "\"" + std::string(cell(l.location)) + "\" is no position");
        continue;
      }
      lonText = ll->lon;
      latText = ll->lat;
    } else {
      lonText = decimalText(cell(l.lon));
      latText = decimalText(cell(l.lat));
      if (lonText.empty() && latText.empty() && l.spareLocation != kNone) {
        // Some rows fill only the location column.
        if (const auto ll = locationCell(cell(l.spareLocation))) {
          lonText = ll->lon;
          latText = ll->lat;
        }
      }
    }
    std::string why;
    auto p = positionFromTexts(lonText, latText, why);
    if (!p) {
      set.skip(where, why);
      continue;
    }
    Camera c;
    c.at = std::move(*p);
    if (l.dump) {
      c.type = wholeNumber(cell(l.type));
      c.speed = wholeNumber(cell(l.speed));
      c.dtype = wholeNumber(cell(l.dtype));
      const auto dtypeByte = static_cast<std::uint8_t>(c.dtype.value_or(0) & 0xFF);
      const auto h = wholeNumber(cell(l.h));
      c.direction = h && *h >= 0 && *h <= 255 ? directionForH(static_cast<std::uint8_t>(*h), dtypeByte)
                                              : wholeNumber(cell(l.direction));
      if (trimmed(cell(l.dumpKind)) == "section" || !trimmed(cell(l.lat2)).empty()) {
        auto e = positionFromTexts(decimalText(cell(l.lon2)), decimalText(cell(l.lat2)), why);
        if (!e) {
          set.skip(where, "end point: " + why);
          continue;
        }
        c.end = std::move(*e);
        const auto h2 = wholeNumber(cell(l.h2));
        if (h2 && *h2 >= 0 && *h2 <= 255) c.direction2 = directionForH(static_cast<std::uint8_t>(*h2), dtypeByte);
      }
      set.add(std::move(c), where);
      continue;
    }
    if (l.speed != kNone && !trimmed(cell(l.speed)).empty()) {
      c.speed = speedCell(cell(l.speed), l.mph);
      if (!c.speed) set.note(where, "speed \"" + std::string(cell(l.speed)) + "\" is not a speed, left empty");
    }
    if (!c.speed && l.name != kNone) c.speed = speedFromAt(cell(l.name));
    if (!c.speed) c.speed = fileSpeed;
    bool both = false;
    if (l.direction != kNone && !trimmed(cell(l.direction)).empty()) {
      c.direction = travelDirection(cell(l.direction), both);
      if (!c.direction && !both) {
        set.note(where, "direction \"" + std::string(cell(l.direction)) +
                            "\" is neither degrees nor a compass "
                            "direction, left empty");
      }
    }
    if (l.direction2 != kNone && !trimmed(cell(l.direction2)).empty()) {
      bool ignored = false;
      const auto second = travelDirection(cell(l.direction2), ignored);
      if (second && !c.direction) c.direction = second;
      if (second || ignored) both = true;
    }
    if (both) c.dtype = 2;
    c.redLight = l.kind != kNone && !trimmed(cell(l.kind)).empty() ? redLightText(cell(l.kind)) : redLightFile;
    set.add(std::move(c), where);
  }
  if (error) return error;
  if (locationFromContent && l.location != kNone) {
    set.note("line 1", "positions taken from the column \"" + header.fields[l.location] + "\"");
  }
  if (l.dump) set.keepTieOrder(first);
  return std::nullopt;
}

// Whether the first non-blank line starts with two numbers separated by a comma (POI data).
bool startsWithPoiData(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  const std::string_view line = text.substr(0, text.find('\n'));
  const auto c1 = line.find(',');
  if (c1 == std::string_view::npos) return false;
  const auto c2 = line.find(',', c1 + 1);
  const std::string_view a = line.substr(0, c1),
                         b = line.substr(c1 + 1, c2 == std::string_view::npos ? line.npos : c2 - c1 - 1);
  return wholeNumber(a).has_value() && wholeNumber(trimmed(b)).has_value();
}

}  // namespace

std::optional<ReadError> readCsv(std::string_view text, std::string_view fileName, const CsvColumns& columns,
                                 CameraSet& set) {
  std::string_view body = text;
  if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
  const bool utf16 =
      text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
  if (utf16 || body.find('\0') != std::string_view::npos || (!columns.any() && startsWithPoiData(body))) {
    return readPoiCsv(text, fileName, set);
  }
  const char delimiter = detectDelimiter(body);
  if (!columns.any() && delimiter == ',') {
    // A header that starts with longitude and latitude: POI CSV with a header line, as before.
    Splitter split(body, ',');
    Record header;
    std::optional<ReadError> ignored;
    if (split.next(header, ignored) && header.fields.size() >= 2) {
      const std::string a = foldName(header.fields[0]), b = foldName(header.fields[1]);
      bool more = false;  // a speed or direction column: more than POI CSV carries
      for (std::size_t i = 2; i < header.fields.size(); ++i) {
        const std::string n = foldName(header.fields[i]);
        more = more || speedName(n) || directionName(n) || directionPart(n);
      }
      if ((lonName(a) || lonPart(a)) && (latName(b) || latPart(b)) && !more) return readPoiCsv(text, fileName, set);
    }
  }
  if (validUtf8(body)) return readTable(body, fileName, columns, delimiter, set);
  const std::string converted = fromWindows1252(body);
  set.note("", "not UTF-8: read as Windows-1252");
  return readTable(converted, fileName, columns, delimiter, set);
}

}  // namespace solvane::importer

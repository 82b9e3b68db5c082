// CSV with a header line, as open-data camera lists come: the delimiter (, ; tab |) found from
// the header, RFC 4180 quotes, a UTF-8 BOM skipped, UTF-8 else Windows-1252, decimal commas; the
// columns found by their names (case- and accent-insensitive, in the common languages) or named
// with `CsvColumns`. The CSV that `solvane dump` writes is read exactly (TYPE, DTYPE, H,
// sections). A file without a header, or whose header starts with longitude and latitude, is
// Garmin POI CSV and goes to that reader unchanged.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "import/camera_set.h"

namespace solvane::importer {

// Column names given by the user (`--columns lon=NAME,lat=NAME,...`); empty: found by name.
struct CsvColumns {
  std::string lon, lat, location, speed, direction;
  [[nodiscard]] bool any() const noexcept {
    return !lon.empty() || !lat.empty() || !location.empty() || !speed.empty() || !direction.empty();
  }
};

// "lon=X,lat=Y,speed=S,direction=D,location=L"; nothing (and `error` says why) when malformed.
std::optional<CsvColumns> parseCsvColumns(std::string_view text, std::string& error);

std::optional<ReadError> readCsv(std::string_view text, std::string_view fileName, const CsvColumns& columns,
                                 CameraSet& set);

// The pieces, for the tests.
// A header name folded for matching: lower case, accents dropped, only letters and digits kept.
std::string foldName(std::string_view utf8);
// A position from one cell: "(lat, lon)", "lat, lon", "lat lon" or WKT "POINT (lon lat)".
struct LatLon {
  std::string lat, lon;
};
std::optional<LatLon> locationCell(std::string_view cell);
// Direction of travel: degrees, compass words and abbreviations (N, NNE, north, Northbound,
// NB, SWB, N/B; also nord, sud, ost, oeste, ...). `both` is set for "both ways" texts.
std::optional<std::int64_t> travelDirection(std::string_view text, bool& both);
// Speed in km/h from "50", "50 km/h", "30 mph" (`mph`: the column's unit when the cell has none).
std::optional<std::int64_t> speedCell(std::string_view text, bool mph);

}  // namespace solvane::importer

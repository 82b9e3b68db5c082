#include "check/row_check.h"

#include <limits>

#include "base/c_number.h"
#include "convert/record_encoder.h"

namespace solvane {
namespace {

constexpr bool isCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

std::optional<OutOfRange> firstOutOfRange(std::int32_t lon, std::int32_t lat) noexcept {
  if (lon < -kMaxLongitude) return OutOfRange{kX, lon, -kMaxLongitude};
  if (lon > kMaxLongitude) return OutOfRange{kX, lon, kMaxLongitude};
  if (lat < -kMaxLatitude) return OutOfRange{kY, lat, -kMaxLatitude};
  if (lat > kMaxLatitude) return OutOfRange{kY, lat, kMaxLatitude};
  return std::nullopt;
}

}  // namespace

bool readsAsNumber(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && isCSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i < text.size() && isDigit(text[i])) return true;
  return i + 1 < text.size() && text[i] == '.' && isDigit(text[i + 1]);
}

RowCheck checkRow(const RowCells& row, RowOrigin origin) {
  RowCheck c;
  const RecordCells cells = RecordCells::fromRow(row);
  c.longitude = scaleCoordinate(cells.x);
  c.latitude = scaleCoordinate(cells.y);
  c.outOfRange = firstOutOfRange(c.longitude, c.latitude);
  c.xNotNumber = !readsAsNumber(cells.x);
  c.yNotNumber = !readsAsNumber(cells.y);
  c.section = cells.hasSecondPoint();
  const auto typeCell = static_cast<std::uint8_t>(static_cast<std::uint32_t>(parseCInt(cells.type)));
  c.typeByte = c.section ? 16 : typeCell;
  c.sectionType16 = c.section && typeCell != 16;
  if (c.section) {
    c.endPointMissing = !readsAsNumber(cells.x2) || !readsAsNumber(cells.y2);
    c.endPointOutOfRange = !c.endPointMissing && !inRange(scaleCoordinate(cells.x2), scaleCoordinate(cells.y2));
  } else if (origin == RowOrigin::kAutodoriaList) {
    c.endPointMissing = true;
  } else if (origin == RowOrigin::kUnknown) {
    for (const int col : {kIdx2, kY2, kType2, kSpd2, kDtype2, kDir2}) {
      if (!row[static_cast<std::size_t>(col)].empty()) c.endPointMissing = true;
    }
  }
  return c;
}

std::vector<RowCheck::Finding> RowCheck::findings() const {
  std::vector<Finding> out;
  if (outOfRange) {
    const OutOfRange& o = *outOfRange;
    std::string text = std::string("skipped: ") + (o.column == kX ? "X" : "Y") + " ";
    if (o.scaled == std::numeric_limits<std::int32_t>::min()) {
      text += "does not fit in 32 bits once scaled";
    } else {
      text +=
          "scales to " + std::to_string(o.scaled) + (o.bound < 0 ? ", below " : ", above ") + std::to_string(o.bound);
    }
    out.push_back({Issue::kSkipped, true, std::move(text)});
  }
  if (!skipped()) {
    if (xNotNumber) out.push_back({Issue::kXNotNumber, true, "X is not a number: written at longitude 0"});
    if (yNotNumber) out.push_back({Issue::kYNotNumber, true, "Y is not a number: written at latitude 0"});
  }
  if (endPointMissing) {
    out.push_back({Issue::kEndPointMissing, true,
                   section ? "section end point X2/Y2 is not a number: end point written at 0"
                           : "section without an end point: written as a single point"});
  }
  if (endPointOutOfRange) {
    out.push_back({Issue::kEndPointOutOfRange, false, "section end point out of range (written all the same)"});
  }
  if (sectionType16) out.push_back({Issue::kSectionType16, false, "section: TYPE written as 16"});
  return out;
}

std::string RowCheck::reason() const {
  std::string out;
  for (const Finding& f : findings()) {
    if (!out.empty()) out += "; ";
    out += f.text;
  }
  return out;
}

}  // namespace solvane

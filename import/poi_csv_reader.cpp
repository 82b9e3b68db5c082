#include "import/poi_csv_reader.h"

#include <string>
#include <vector>

namespace solvane::importer {

std::optional<ReadError> readPoiCsv(std::string_view text, std::string_view fileName, CameraSet& set) {
  if (text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
    return ReadError{"line 1, byte 1", "UTF-16 text; save the file as UTF-8 or Latin-1"};
  }
  std::size_t start = 0;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") start = 3;
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
    return ReadError{textPlace(text, nul), "a NUL byte: not a text file (UTF-16 or binary?)"};
  }
  const std::optional<std::int64_t> fileSpeed = speedFromAt(fileName);
  std::vector<std::string> fields;
  std::string field;
  std::size_t line = 1;        // the line being read
  std::size_t recordLine = 1;  // the line the current record started on
  std::size_t i = start;
  bool first = true;
  const auto finishRecord = [&] {
    fields.push_back(std::move(field));
    field.clear();
    const std::string where = "line " + std::to_string(recordLine);
    const bool blank = fields.size() == 1 && fields[0].find_first_not_of(" \t\r") == std::string::npos;
    if (!blank) {
      std::string error;
      auto p = fields.size() >= 2 ? positionFromTexts(fields[0], fields[1], error) : std::nullopt;
      if (fields.size() < 2) error = "fewer than 2 fields (longitude, latitude)";
      if (!p) {
        if (first) {
          set.note(where, "taken as a header line");
        } else {
          set.skip(where, error);
        }
      } else {
        Camera c;
        c.at = std::move(*p);
        const std::string_view name = fields.size() >= 3 ? std::string_view(fields[2]) : std::string_view();
        c.speed = speedFromAt(name);
        if (!c.speed) c.speed = fileSpeed;
        set.add(std::move(c), where);
      }
      first = false;
    }
    fields.clear();
    recordLine = line;
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' && field.empty()) {
      // A quoted field: up to the closing quote; "" is one quote.
      const std::size_t open = i++;
      for (;;) {
        if (i >= text.size()) return ReadError{textPlace(text, open), "a quoted field is not closed"};
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
            return ReadError{textPlace(text, i), "text after the closing quote of a quoted field"};
          }
          break;
        }
        if (text[i] == '\n') ++line;
        field += text[i++];
      }
      continue;
    }
    if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      ++line;
      finishRecord();
      set.tick(i);
    } else if (c != '\r') {
      field += c;
    }
    ++i;
  }
  if (!field.empty() || !fields.empty()) finishRecord();
  return std::nullopt;
}

}  // namespace solvane::importer

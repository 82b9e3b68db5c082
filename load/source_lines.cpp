#include "load/source_lines.h"

#include <cstring>
#include <string>

namespace solvane {

std::optional<LoadError> testHeader(std::string_view name, std::size_t headerLine, Column column,
                                    std::string_view found, std::string_view expected) {
  if (found == expected) return std::nullopt;
  std::string detail = "\"" + std::string(name) + "\"";
  if (headerLine == 0) {
    detail += ": there is no header line (the file holds no list)";
  } else {
    detail += ", line " + std::to_string(headerLine) + ": the header line's " + (column == kIdx ? "first" : "second") +
              " field must be \"" + std::string(expected) + "\", not \"" + std::string(found) + "\"";
  }
  return LoadError{kErrorWrongFile, std::move(detail)};
}

std::string_view LineReader::clean(std::string_view raw) {
  const void* cr = std::memchr(raw.data(), '\r', raw.size());
  if (!cr) return raw;
  // Trailing carriage returns (CRLF endings) need no copy.
  std::size_t end = raw.size();
  while (end > 0 && raw[end - 1] == '\r') --end;
  if (static_cast<const char*>(cr) >= raw.data() + end) return raw.substr(0, end);
  scratch_.clear();
  for (std::size_t i = 0; i < end; ++i) {
    if (raw[i] != '\r') scratch_.push_back(raw[i]);
  }
  return scratch_;
}

bool LineReader::next(std::string_view& line) {
  if (pos_ >= bytes_.size()) return false;
  const char* start = bytes_.data() + pos_;
  const void* lf = std::memchr(start, '\n', bytes_.size() - pos_);
  if (!lf) return false;
  const auto len = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
  line = clean({start, len});
  pos_ += len + 1;
  ++lineNumber_;
  return true;
}

std::string_view LineReader::tail() {
  if (pos_ >= bytes_.size()) return {};
  const std::string_view rest = bytes_.substr(pos_);
  pos_ = bytes_.size();
  ++lineNumber_;
  return clean(rest);
}

}  // namespace solvane

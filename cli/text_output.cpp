#include "cli/text_output.h"

#include <cstdio>
#include <iostream>
#include <span>

#include "convert/output_file.h"

namespace solvane::cli {
namespace {

// Length of the valid UTF-8 sequence starting at s[i], or 0.
std::size_t utf8Length(std::string_view s, std::size_t i) noexcept {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = b(i);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else
    return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (b(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

}  // namespace

std::string jsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04X", c);
            out += buf;
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    if (const std::size_t n = utf8Length(text, i)) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
      ++i;
    }
  }
  return out + "\"";
}

std::string csvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string writeOutput(const std::filesystem::path& path, std::string_view text) {
  if (path.empty()) {
    std::cout << text;
    std::cout.flush();
    return std::cout ? std::string() : std::string("cannot write to standard output");
  }
  const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
  if (auto error = writeFileAtomically(path, std::span(data, text.size()))) {
    return error->message + (error->detail.empty() ? "" : " (" + error->detail + ")");
  }
  return {};
}

}  // namespace solvane::cli

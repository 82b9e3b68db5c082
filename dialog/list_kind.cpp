#include "dialog/list_kind.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>

namespace solvane::dialog {
namespace {

bool endsWithNoCase(std::string_view text, std::string_view end) {
  return text.size() >= end.size() &&
         std::equal(end.begin(), end.end(), text.end() - static_cast<std::ptrdiff_t>(end.size()),
                    [](char lower, char c) { return std::tolower(static_cast<unsigned char>(c)) == lower; });
}

bool containsNoCase(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }) != text.end();
}

std::string fileName(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string name = path.filename().u8string();
  return {name.begin(), name.end()};
#else
  return path.filename().native();
#endif
}

// The kind by the first line that is neither a comment nor empty; `comments`: comment lines
// came before it.
ListKind kindOfLine(std::string_view line, bool comments, const std::filesystem::path& path) {
  const std::size_t comma = line.find(',');
  const std::string_view first = line.substr(0, comma);
  std::string_view second;
  if (comma != std::string_view::npos) {
    second = line.substr(comma + 1);
    second = second.substr(0, second.find(','));
  }
  const bool normal = comma != std::string_view::npos && second == "X";
  const bool autodoria = !comments && first == "IDX";
  if (normal && autodoria)
    return containsNoCase(fileName(path), "autodoria") ? ListKind::kAutodoria : ListKind::kNormal;
  return normal ? ListKind::kNormal : autodoria ? ListKind::kAutodoria : ListKind::kNone;
}

// One line with its carriage returns taken out, as the list readers see the header.
std::string_view cleanLine(std::string& line) {
  std::erase(line, '\r');
  return line;
}

}  // namespace

ListKind listKindOf(std::string_view bytes, const std::filesystem::path& path) {
  if (!endsWithNoCase(fileName(path), ".txt")) return ListKind::kNone;
  bool comments = false;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string line(bytes.substr(0, end));
    bytes = end == std::string_view::npos ? std::string_view() : bytes.substr(end + 1);
    const std::string_view text = cleanLine(line);
    if (text.starts_with("//")) {
      comments = true;
      continue;
    }
    if (text.empty()) continue;
    return kindOfLine(text, comments, path);
  }
  return ListKind::kNone;
}

ListKind listKind(const std::filesystem::path& path) {
  if (!endsWithNoCase(fileName(path), ".txt")) return ListKind::kNone;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return ListKind::kNone;
  // Only the head is read: the comment and empty lines, then the header.
  std::ifstream in(path, std::ios::binary);
  if (!in) return ListKind::kNone;
  std::string head;
  std::string line;
  while (std::getline(in, line)) {
    head += line;
    head += '\n';
    std::string_view text = cleanLine(line);
    if (!text.empty() && !text.starts_with("//")) break;
  }
  return listKindOf(head, path);
}

}  // namespace solvane::dialog

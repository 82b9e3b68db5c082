// Writes a generated normal list and Autodoria list for the benchmarks:
//   solvane_make_lists POINTS SEED NORMAL_FILE AUTODORIA_FILE [SECTIONS]
// SECTIONS defaults to 2 per 100 points.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "bench/list_generator.h"

namespace {

bool parseCount(std::string_view text, std::size_t& value) {
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool writeFile(const char* path, const std::string& bytes) {
  std::FILE* f = std::fopen(path, "wb");
  if (!f) {
    std::perror(path);
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    std::perror(path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t points = 0, seed = 0, sections = 0;
  if ((argc != 5 && argc != 6) || !parseCount(argv[1], points) || !parseCount(argv[2], seed) ||
      (argc == 6 && !parseCount(argv[5], sections))) {
    std::fprintf(stderr, "usage: %s POINTS SEED NORMAL_FILE AUTODORIA_FILE [SECTIONS]\n", argv[0]);
    return 2;
  }
  if (argc == 5) sections = solvane::bench::sectionsFor(points);
  const auto lists = solvane::bench::generateLists(points, sections, seed);
  return writeFile(argv[3], lists.normal) && writeFile(argv[4], lists.autodoria) ? 0 : 1;
}

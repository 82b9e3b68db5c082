// Two releases for the diff benchmark, and the check that a diff found what was changed:
//   solvane_make_release POINTS SECTIONS SEED DIR   writes DIR/old/{Solvane,Autodoria}.txt
//       (generated lists), DIR/new/ (the same with 1 % of the cameras removed, added, moved or
//       changed, a quarter each) and DIR/expected.txt (one line per change made);
//   solvane_make_release --check EXPECTED DIFF_CSV  compares the changes of a `solvane diff
//       --format csv` with those made: exit 0 when every class holds exactly those cameras.
//
// A moved camera goes 0.00015 degree north (16.7 m, within the default --near), a changed one
// gets its speed raised by 10, an added one stands 2 to 10 km from a camera of the list.
// The cameras changed are chosen at random among those without another camera within
// 120 m: two changes side by side (a camera removed where another moved to) have more than
// one right reading, and the figure wanted is the diff's speed, not a guess between them.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/list_generator.h"
#include "check/geodesy.h"
#include "check/near_duplicates.h"

namespace {

using solvane::GeoPoint;

struct Rng {
  std::uint64_t s;
  std::uint64_t next() {
    std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::uint64_t below(std::uint64_t n) { return next() % n; }
};

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t p = 0;
  while (p < text.size()) {
    const std::size_t e = text.find('\n', p);
    lines.push_back(text.substr(p, e - p + 1));
    if (e == std::string::npos) break;
    p = e + 1;
  }
  return lines;
}

std::vector<std::string> fields(const std::string& line) {
  std::string l = line;
  while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
  std::vector<std::string> f;
  std::stringstream ss(l);
  std::string x;
  while (std::getline(ss, x, ',')) f.push_back(x);
  return f;
}

std::string joined(const std::vector<std::string>& f) {
  std::string s;
  for (std::size_t i = 0; i < f.size(); ++i) s += (i ? "," : "") + f[i];
  return s + "\r\n";
}

double number(const std::string& s) {
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

std::string degrees(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return buf;
}

bool writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

enum Change { kNone, kRemove, kMove, kChange };

// A camera of the old lists: the line (normal list) or first line of its pair (Autodoria).
struct Item {
  bool section;
  std::size_t line;  // index into that list's lines
  GeoPoint at;
};

int make(std::size_t points, std::size_t sections, std::uint64_t seed, const std::string& dir) {
  const solvane::bench::GeneratedLists lists = solvane::bench::generateLists(points, sections, seed);
  const std::vector<std::string> normal = splitLines(lists.normal), autodoria = splitLines(lists.autodoria);
  std::vector<Item> items;
  bool header = false;
  for (std::size_t i = 0; i < normal.size(); ++i) {
    const std::string& l = normal[i];
    if (l.rfind("//", 0) == 0 || l == "\r\n" || l == "\n") continue;
    if (!header) {
      header = true;
      continue;
    }
    const auto f = fields(l);
    items.push_back({false, i, {number(f[2]), number(f[1])}});
  }
  for (std::size_t i = 1; i + 1 < autodoria.size(); i += 2) {
    const auto f = fields(autodoria[i]);
    items.push_back({true, i, {number(f[2]), number(f[1])}});
  }

  // Cameras with a neighbour within 120 m are left alone.
  std::vector<GeoPoint> at;
  for (const Item& it : items) at.push_back(it.at);
  std::vector<bool> crowded(items.size());
  for (const solvane::NearPair& p : solvane::findNearPairs(at, 120.0)) crowded[p.a] = crowded[p.b] = true;

  Rng rng{seed * 7919 + 17};
  const std::size_t changes = items.size() / 100;
  std::vector<Change> change(items.size(), kNone);
  std::size_t made = 0, addCount = 0;
  while (made < changes) {
    const std::size_t k = rng.below(items.size());
    if (crowded[k] || change[k] != kNone) continue;
    const int kind = static_cast<int>(made % 4);
    if (kind == 3) {
      ++addCount;  // the added cameras stand apart from this one
    } else {
      change[k] = kind == 0 ? kRemove : kind == 1 ? kMove : kChange;
    }
    crowded[k] = true;
    ++made;
  }
  // Added cameras: 2 to 10 km north-east of a camera of the list; those that land within
  // 120 m of any camera (or of each other) are dropped.
  std::vector<std::pair<bool, std::string>> added;  // section?, line(s)
  std::vector<GeoPoint> placed;
  while (added.size() < addCount) {
    std::vector<GeoPoint> all = at;
    all.insert(all.end(), placed.begin(), placed.end());
    const std::size_t first = all.size();
    std::vector<std::pair<bool, GeoPoint>> batch;
    for (std::size_t i = added.size(); i < addCount; ++i) {
      const Item& base = items[rng.below(items.size())];
      const double d = (2000.0 + static_cast<double>(rng.below(8000))) / 111320.0;
      batch.push_back({base.section, {base.at.latitude + d, base.at.longitude + d}});
      all.push_back(batch.back().second);
    }
    std::vector<bool> bad(all.size());
    for (const solvane::NearPair& q : solvane::findNearPairs(all, 120.0)) {
      if (q.b >= first) bad[q.b] = true;
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
      if (bad[first + i]) continue;
      placed.push_back(batch[i].second);
      added.push_back({batch[i].first, degrees(batch[i].second.longitude) + "," + degrees(batch[i].second.latitude)});
    }
  }

  std::ostringstream expected;
  const auto write = [&](const std::vector<std::string>& lines, bool sectionList, const std::string& name) {
    std::string out;
    std::size_t newLine = 0;
    std::map<std::size_t, std::size_t> itemOfLine;
    for (std::size_t k = 0; k < items.size(); ++k) {
      if (items[k].section == sectionList) itemOfLine[items[k].line] = k;
    }
    std::size_t nextAdd = 0;
    const auto put = [&](const std::string& s) {
      out += s;
      ++newLine;
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const auto it = itemOfLine.find(i);
      if (it == itemOfLine.end()) {
        put(lines[i]);
        continue;
      }
      const std::size_t k = it->second;
      const std::size_t span = sectionList ? 2 : 1;
      const std::string oldRef = "old/" + name + ":" + std::to_string(i + 1);
      switch (change[k]) {
        case kRemove: expected << "removed," << oldRef << ",\n"; break;
        case kNone:
          for (std::size_t s = 0; s < span; ++s) put(lines[i + s]);
          break;
        case kMove:
        case kChange: {
          const std::string newRef = "new/" + name + ":" + std::to_string(newLine + 1);
          for (std::size_t s = 0; s < span; ++s) {
            auto f = fields(lines[i + s]);
            if (change[k] == kMove) f[2] = degrees(number(f[2]) + 0.00015);
            if (change[k] == kChange && s == 0) f[4] = std::to_string(std::stoi(f[4]) + 10);
            put(joined(f));
          }
          expected << (change[k] == kMove ? "moved," : "changed,") << oldRef << "," << newRef << "\n";
          break;
        }
      }
      if (sectionList) ++i;
      // Additions go in between, one after every so many cameras.
      if (k % 97 == 0) {
        while (nextAdd < added.size() && added[nextAdd].first != sectionList) ++nextAdd;
        if (nextAdd < added.size()) {
          expected << "added,,"
                   << "new/" + name + ":" + std::to_string(newLine + 1) << "\n";
          const std::string idx = std::to_string(900000000 + nextAdd);
          put(idx + "," + added[nextAdd].second + ",1,60,1,45\r\n");
          if (sectionList) put(idx + "," + added[nextAdd].second + ",1,60,1,45\r\n");
          ++nextAdd;
        }
      }
    }
    return out;
  };
  const std::string newNormal = write(normal, false, "Solvane.txt");
  const std::string newAutodoria = write(autodoria, true, "Autodoria.txt");
  std::filesystem::create_directories(dir + "/old");
  std::filesystem::create_directories(dir + "/new");
  const bool ok =
      writeFile(dir + "/old/Solvane.txt", lists.normal) && writeFile(dir + "/old/Autodoria.txt", lists.autodoria) &&
      writeFile(dir + "/new/Solvane.txt", newNormal) && writeFile(dir + "/new/Autodoria.txt", newAutodoria) &&
      writeFile(dir + "/expected.txt", expected.str());
  return ok ? 0 : 1;
}

// "…/old/Solvane.txt:12" -> "old/Solvane.txt:12"
std::string lastTwo(const std::string& source) {
  const std::size_t a = source.rfind('/');
  if (a == std::string::npos || a == 0) return source;
  const std::size_t b = source.rfind('/', a - 1);
  return b == std::string::npos ? source : source.substr(b + 1);
}

int check(const std::string& expectedPath, const std::string& csvPath) {
  std::set<std::string> expected, found;
  std::ifstream e(expectedPath), c(csvPath);
  std::string line;
  while (std::getline(e, line)) expected.insert(line);
  std::getline(c, line);  // header
  std::map<std::string, std::size_t> counts;
  while (std::getline(c, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto f = fields(line);
    if (f.size() < 12) continue;
    const std::string kind = f[0];
    ++counts[kind];
    found.insert(kind + "," + (f[1].empty() ? "" : lastTwo(f[1])) + "," +
                 (kind == "removed" || f[11].empty() ? "" : lastTwo(f[11])));
  }
  std::size_t missing = 0, extra = 0;
  for (const std::string& x : expected) {
    if (!found.count(x)) {
      if (missing++ < 10) std::cerr << "not found: " << x << "\n";
    }
  }
  for (const std::string& x : found) {
    if (!expected.count(x)) {
      if (extra++ < 10) std::cerr << "not made:  " << x << "\n";
    }
  }
  std::cout << "changes made " << expected.size() << ", found " << found.size() << " (";
  for (const auto& [k, n] : counts) std::cout << k << " " << n << " ";
  std::cout << "); missing " << missing << ", extra " << extra << "\n";
  return missing || extra ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == "--check") return check(argv[2], argv[3]);
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s POINTS SECTIONS SEED DIR | --check EXPECTED DIFF_CSV\n", argv[0]);
    return 2;
  }
  return make(std::stoull(argv[1]), std::stoull(argv[2]), std::stoull(argv[3]), argv[4]);
}

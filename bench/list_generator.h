// Seeded generator of large, realistic camera lists for the benchmarks.
//
// The lists look like the national lists the tool is fed: points clustered around cities
// with a thin spread over the whole country, coordinates with six or seven decimals, the usual
// camera types, speeds and directions, "//" comment lines between regions, CRLF line ends,
// and an Autodoria list of sections a few kilometres long. The same seed always gives the
// same bytes, so figures from different runs and machines describe the same input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace solvane::bench {

struct GeneratedLists {
  std::string normal;     // header line, comment lines and `points` point lines
  std::string autodoria;  // header line and `sections` pairs of lines
};

// Sections that go with a normal list of `points` points: 2 per 100, as in the national lists.
std::size_t sectionsFor(std::size_t points) noexcept;

GeneratedLists generateLists(std::size_t points, std::size_t sections, std::uint64_t seed);

}  // namespace solvane::bench

// Random bytes for the random block and the one-point records.
//
// Each byte is the low 8 bits of one 64-bit draw of splitmix64. The record bytes are a pure
// function of the seed and the row's position, so rows can be encoded in any order or in
// parallel and a given seed always gives the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "convert/database_file.h"

namespace solvane {

class RandomBytes {
 public:
  explicit RandomBytes(std::uint64_t seed) noexcept : seed_(seed) {}

  [[nodiscard]] RandomBlock block() const noexcept;
  // The two bytes of the one-point record made from the row at `row`.
  [[nodiscard]] std::pair<std::uint8_t, std::uint8_t> recordBytes(std::size_t row) const noexcept;

 private:
  std::uint64_t seed_;
};

// A seed from the operating system's entropy source, for runs without --seed.
std::uint64_t freshSeed();

}  // namespace solvane

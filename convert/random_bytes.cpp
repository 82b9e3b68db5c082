#include "convert/random_bytes.h"

#include <chrono>
#include <random>

namespace solvane {
namespace {

constexpr std::uint64_t splitmix64(std::uint64_t x) noexcept {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Draw number `n` of the stream that `seed` starts; streams for the block and for the
// records are kept apart by the high bit of n.
constexpr std::uint8_t draw(std::uint64_t seed, std::uint64_t n) noexcept {
  return static_cast<std::uint8_t>(splitmix64(seed ^ splitmix64(n)) & 0xFF);
}

constexpr std::uint64_t kRecordStream = std::uint64_t{1} << 63;

}  // namespace

RandomBlock RandomBytes::block() const noexcept {
  RandomBlock b{};
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = draw(seed_, i);
  return b;
}

std::pair<std::uint8_t, std::uint8_t> RandomBytes::recordBytes(std::size_t row) const noexcept {
  const std::uint64_t n = kRecordStream | (static_cast<std::uint64_t>(row) << 1);
  return {draw(seed_, n), draw(seed_, n | 1)};
}

std::uint64_t freshSeed() {
  std::random_device device;
  const std::uint64_t high = device();
  const std::uint64_t low = device();
  const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return (high << 32 | low) ^ now;
}

}  // namespace solvane

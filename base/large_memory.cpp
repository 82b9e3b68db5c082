#include "base/large_memory.h"

#include <cstdint>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOLVANE_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SOLVANE_ASAN 1
#endif

#if defined(__linux__) && !defined(SOLVANE_ASAN)
#define SOLVANE_MAP_LARGE 1
#include <sys/mman.h>
#endif

namespace solvane {
namespace {

[[maybe_unused]] constexpr std::size_t kHugePage = std::size_t{2} << 20;

[[maybe_unused]] constexpr std::size_t roundUp(std::size_t n, std::size_t to) noexcept {
  return (n + to - 1) / to * to;
}

bool mapped(std::size_t bytes) noexcept {
#ifdef SOLVANE_MAP_LARGE
  return bytes >= kLargeBlock && bytes <= static_cast<std::size_t>(-1) - 2 * kHugePage;
#else
  (void)bytes;
  return false;
#endif
}

}  // namespace

void* allocateLarge(std::size_t bytes) {
  if (!mapped(bytes)) return std::allocator<std::byte>{}.allocate(bytes);
#ifdef SOLVANE_MAP_LARGE
  // Map one huge page more than needed and give back the unaligned ends.
  const std::size_t length = roundUp(bytes, kHugePage);
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const auto rawStart = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t start = roundUp(rawStart, kHugePage);
  if (start > rawStart) ::munmap(raw, start - rawStart);
  const std::uintptr_t tail = start + length;
  if (rawStart + length + kHugePage > tail)
    ::munmap(reinterpret_cast<void*>(tail), rawStart + length + kHugePage - tail);
  ::madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);  // a hint; failure is harmless
  return reinterpret_cast<void*>(start);
#else
  return nullptr;  // not reached: mapped() is false without the mapping
#endif
}

void deallocateLarge(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (!mapped(bytes)) {
    std::allocator<std::byte>{}.deallocate(static_cast<std::byte*>(block), bytes);
    return;
  }
#ifdef SOLVANE_MAP_LARGE
  ::munmap(block, roundUp(bytes, kHugePage));
#endif
}

}  // namespace solvane

// Memory for the few large arrays of a conversion: a list's bytes, the table's rows, the sort
// keys, the finished file.
//
// They are passed over in random order (rows are read in latitude order), and with 4 KB pages
// nearly every row would miss the TLB. On Linux a large block is therefore mapped on its own,
// aligned to 2 MB and offered for transparent huge pages; it also goes straight back to the
// system when freed, so a large temporary never lingers in the heap. Elsewhere, and under
// AddressSanitizer (which must see every block), it is ordinary heap memory.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace solvane {

// Blocks from this size on are large.
inline constexpr std::size_t kLargeBlock = std::size_t{1} << 20;

// Throws std::bad_alloc when there is no memory to be had.
[[nodiscard]] void* allocateLarge(std::size_t bytes);
// `bytes` is the size the block was allocated with.
void deallocateLarge(void* block, std::size_t bytes) noexcept;

template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() noexcept = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) noexcept {}  // implicit, as rebinding needs

  [[nodiscard]] T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    static_assert(alignof(T) <= alignof(std::max_align_t));
    return static_cast<T*>(allocateLarge(n * sizeof(T)));
  }
  void deallocate(T* p, std::size_t n) noexcept { deallocateLarge(p, n * sizeof(T)); }

  // Elements made without a value are left unset (default-initialised), not zeroed: these
  // arrays are filled right after they are sized, and zeroing would touch every page twice.
  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    std::construct_at(p, std::forward<Args>(args)...);
  }

  template <typename U>
  friend bool operator==(const LargeAllocator&, const LargeAllocator<U>&) noexcept {
    return true;
  }
};

// Note: resize() and the sizing constructor leave new elements unset.
template <typename T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

// A block of bytes that frees itself.
struct LargeBlockDeleter {
  std::size_t bytes = 0;
  void operator()(char* block) const noexcept { deallocateLarge(block, bytes); }
};
using LargeBytes = std::unique_ptr<char[], LargeBlockDeleter>;

[[nodiscard]] inline LargeBytes makeLargeBytes(std::size_t bytes) {
  return LargeBytes(static_cast<char*>(allocateLarge(bytes)), LargeBlockDeleter{bytes});
}

}  // namespace solvane

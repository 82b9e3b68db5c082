// libFuzzer entry point; the checks live in import_checks.cpp.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  solvane::fuzz::checkPbf({reinterpret_cast<const char*>(data), size});
  return 0;
}

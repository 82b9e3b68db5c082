// A failed load: the user-facing message, exactly as the program has always shown it, and a
// second line with what the user needs to find the fault (path, line, system reason).
#pragma once

#include <string>

namespace solvane {

inline constexpr const char* kErrorOpen = "Error[5009]";
inline constexpr const char* kErrorRead = "Error[5010]";
inline constexpr const char* kErrorWrongFile = "Error : Wrong DB file !!!";

struct LoadError {
  std::string message;  // one of the three texts above
  std::string detail;   // path, line number and reason
};

}  // namespace solvane

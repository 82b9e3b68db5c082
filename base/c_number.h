// Reading numbers the way the C library's atof/atoi do, without the process locale.
//
// The lists were written for a program that read every number with atof/atoi, so a cell
// such as " 37.5km" must still read as 37.5 and "37,5" as 37. The GUI switches the process
// locale, which would change what strtod accepts as a decimal point; these functions never
// look at it.
#pragma once

#include <cstdint>
#include <string_view>

namespace solvane {

// atof: leading white space, optional sign, digits with an optional '.', an optional
// exponent; the longest such prefix counts, 0.0 when there is none. Overflow gives +-inf,
// underflow gives a signed zero. Hexadecimal, "inf" and "nan" forms are not read (they give
// the value of their numeric prefix, usually 0), so the result is never NaN.
double parseCDouble(std::string_view text) noexcept;

// atoi: leading white space, optional sign, decimal digits; 0 when there are none.
// Values beyond the 32-bit range saturate, as the Windows C library does.
std::int32_t parseCInt(std::string_view text) noexcept;

// The same two readings from the characters [p, end), also giving where reading stopped
// (`*next`, never beyond the first character that is not part of the number). A reader can take a
// field's number straight from its line: what follows a field's end never changes its value,
// as a comma is neither part of a number nor white space.
double scanCDouble(const char* p, const char* end, const char** next) noexcept;
std::int32_t scanCInt(const char* p, const char* end, const char** next) noexcept;

// A coordinate text in 1/10000 degree: atof * 10000.0 truncated toward zero. A product
// that is not a number or does not fit in 32 bits gives INT32_MIN.
std::int32_t scaleCoordinate(std::string_view text) noexcept;
std::int32_t scaleCoordinate(double degrees) noexcept;

}  // namespace solvane

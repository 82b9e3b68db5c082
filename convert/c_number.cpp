#include "convert/c_number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace solvane {
namespace {

constexpr bool isCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// The powers of ten that a double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Skips white space; returns the index of the first other character.
std::size_t skipSpace(std::string_view s) noexcept {
  std::size_t i = 0;
  while (i < s.size() && isCSpace(s[i])) ++i;
  return i;
}

// Decimal exponent of the leading significant digit relative to the units place,
// ignoring any exponent part: "123.4" -> 2, "0.05" -> -2, "0" -> a large negative value.
long leadingDigitMagnitude(std::string_view mantissa) noexcept {
  const std::size_t dot = mantissa.find('.');
  const std::size_t intLen = dot == std::string_view::npos ? mantissa.size() : dot;
  for (std::size_t i = 0; i < mantissa.size(); ++i) {
    const char c = mantissa[i];
    if (c == '.' || c == '0') continue;
    return i < intLen ? static_cast<long>(intLen - i) - 1 : -static_cast<long>(i - intLen);
  }
  return std::numeric_limits<long>::min() / 2;
}

}  // namespace

double parseCDouble(std::string_view text) noexcept {
  std::size_t i = skipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::size_t start = i;
  std::size_t digits = 0;
  std::size_t fractionDigits = 0;
  std::uint64_t mantissa = 0;  // exact while digits <= 19
  while (i < text.size() && isDigit(text[i])) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    ++i;
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
      ++i;
      ++digits;
      ++fractionDigits;
    }
  }
  if (digits == 0) return 0.0;
  const std::size_t mantissaEnd = i;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
      expNegative = text[j] == '-';
      ++j;
    }
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) {
        // Saturate: anything this large already overflows or underflows.
        if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
        ++j;
      }
      if (expNegative) exponent = -exponent;
      i = j;
    }
  }
  // Fast path for the usual coordinate texts: a mantissa below 2^53 and a power of ten up to
  // 10^22 are both exact doubles, so one IEEE multiplication or division gives the correctly
  // rounded value, the same as the full conversion below.
  if (digits <= 19 && mantissa <= (std::uint64_t{1} << 53)) {
    const long scale = exponent - static_cast<long>(fractionDigits);
    if (scale >= -22 && scale <= 22) {
      const auto m = static_cast<double>(mantissa);
      const double value = scale < 0 ? m / kPowersOfTen[-scale] : m * kPowersOfTen[scale];
      return negative ? -value : value;
    }
  }
  const std::string_view number = text.substr(start, i - start);
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                         std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    const long magnitude = leadingDigitMagnitude(text.substr(start, mantissaEnd - start)) + exponent;
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    value = 0.0;  // cannot happen for the grammar above; be safe anyway
  }
  return negative ? -value : value;
}

std::int32_t parseCInt(std::string_view text) noexcept {
  std::size_t i = skipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so INT32_MIN is reachable without overflow.
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t acc = 0;
  bool saturated = false;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    if (saturated) continue;
    acc = acc * 10 - (text[i] - '0');
    if (acc < kMin - 1) saturated = true;
  }
  if (negative) return saturated || acc < kMin ? std::numeric_limits<std::int32_t>::min()
                                               : static_cast<std::int32_t>(acc);
  if (saturated || -acc > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(-acc);
}

std::int32_t scaleCoordinate(double degrees) noexcept {
  const double product = degrees * 10000.0;
  // The open bounds keep every accepted value inside int32 after truncation.
  if (!(product > -2147483649.0 && product < 2147483648.0)) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(product);  // conversion truncates toward zero
}

std::int32_t scaleCoordinate(std::string_view text) noexcept {
  return scaleCoordinate(parseCDouble(text));
}

}  // namespace solvane

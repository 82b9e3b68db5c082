#include "base/c_number.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

namespace solvane {
namespace {

constexpr bool isCSpace(char c) noexcept {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
constexpr bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Scales for a run of up to eight digits.
constexpr std::uint64_t kPowersOfTenInt[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The powers of ten that a double holds exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// The leading decimal digits among the eight bytes at p (all eight must be readable): how many
// there are and their value. Only for little-endian machines. A digit's byte XOR '0' is 0..9,
// and adding 6 leaves its high nibble clear; a carry out of a byte only disturbs the bytes
// after it, and the first byte that is not a digit is all that is looked for.
struct DigitWord {
  int count;
  std::uint64_t value;
};
inline DigitWord digitsInWord(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  const std::uint64_t values = word ^ 0x3030303030303030u;
  const std::uint64_t notDigit = (values | (values + 0x0606060606060606u)) & 0xF0F0F0F0F0F0F0F0u;
  const int count = notDigit == 0 ? 8 : std::countr_zero(notDigit) / 8;
  if (count == 0) return {0, 0};
  // The digits moved to the top bytes, zeros before them: bytes 0..7 now hold the digits
  // d0..d7 of an eight-digit number, d0 the most significant, in the lowest byte.
  std::uint64_t v = values << (8 * (8 - count));
  // Byte 2k becomes the pair p_k = 10 * d2k + d2k+1 (at most 99: no carry); odd bytes are left
  // with junk that the masks below drop.
  v = (v * 10) + (v >> 8);
  // Bytes 0 and 4 hold p0 and p2, bytes 2 and 6 (after >> 16) p1 and p3. Each 32-bit half is
  // multiplied so that the upper half collects p0 * 10^6 + p2 * 10^2 (first product) and
  // p1 * 10^4 + p3 (second); the lower halves (p0 * 100 + p1 < 2^32) never carry into it, and
  // what goes past bit 63 is dropped. The upper half is the number, at most 99999999 < 2^32.
  v = (((v & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
       (((v >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
      32;
  return {count, v};
}

// Reads the run of decimal digits at [p, end) into `mantissa` (mantissa * 10 + digit for each,
// modulo 2^64) and returns where the run ends; eight bytes at a time where eight are there.
const char* readDigits(const char* p, const char* const end, std::uint64_t& mantissa) noexcept {
  if constexpr (kLittleEndian) {
    while (end - p >= 8) {
      const DigitWord w = digitsInWord(p);
      mantissa = mantissa * kPowersOfTenInt[w.count] + w.value;
      p += w.count;
      if (w.count < 8) return p;
    }
  }
  while (p != end && isDigit(*p)) {
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    ++p;
  }
  return p;
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

namespace {

// Every form of number atof reads; scanCDouble tries the usual form first.
[[gnu::noinline]] double scanCDoubleInFull(const char* p, const char* const end, const char** next) noexcept;

}  // namespace

double scanCDouble(const char* p, const char* const end, const char** next) noexcept {
  // The usual cell, such as "126.850439": up to seven digits, a point, up to seven digits, then
  // something that cannot continue the number. Read in two words, it is exactly what the full
  // reading gives.
  if constexpr (kLittleEndian) {
    const char* q = p + (p != end && *p == '-');
    if (end - q >= 17 && isDigit(*q)) {
      const DigitWord whole = digitsInWord(q);
      const char* stop = q + whole.count;
      DigitWord fraction{0, 0};
      if (*stop == '.') fraction = digitsInWord(stop + 1);
      if (*stop == '.') stop += 1 + fraction.count;
      if (whole.count < 8 && fraction.count < 8 && *stop != 'e' && *stop != 'E') {
        *next = stop;
        const double value = static_cast<double>(whole.value * kPowersOfTenInt[fraction.count] + fraction.value) /
                             kPowersOfTen[fraction.count];
        return q != p ? -value : value;
      }
    }
  }
  return scanCDoubleInFull(p, end, next);
}

namespace {

double scanCDoubleInFull(const char* p, const char* const end, const char** next) noexcept {
  while (p != end && isCSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  const char* const start = p;
  std::uint64_t mantissa = 0;  // exact while there are at most 19 digits
  p = readDigits(p, end, mantissa);
  std::size_t digits = static_cast<std::size_t>(p - start);
  std::size_t fractionDigits = 0;
  if (p != end && *p == '.') {
    const char* const fraction = ++p;
    p = readDigits(p, end, mantissa);
    fractionDigits = static_cast<std::size_t>(p - fraction);
    digits += fractionDigits;
  }
  if (digits == 0) {
    *next = start;
    return 0.0;
  }
  const char* const mantissaEnd = p;
  long exponent = 0;
  if (p != end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    bool expNegative = false;
    if (q != end && (*q == '+' || *q == '-')) {
      expNegative = *q == '-';
      ++q;
    }
    if (q != end && isDigit(*q)) {
      while (q != end && isDigit(*q)) {
        // Saturate: anything this large already overflows or underflows.
        if (exponent < 100000) exponent = exponent * 10 + (*q - '0');
        ++q;
      }
      if (expNegative) exponent = -exponent;
      p = q;
    }
  }
  *next = p;
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
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(start, p, value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    const long magnitude =
        leadingDigitMagnitude(std::string_view(start, static_cast<std::size_t>(mantissaEnd - start))) + exponent;
    value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (ec != std::errc()) {
    value = 0.0;  // cannot happen for the grammar above; be safe anyway
  }
  return negative ? -value : value;
}

}  // namespace

double parseCDouble(std::string_view text) noexcept {
  const char* next = nullptr;
  return scanCDouble(text.data(), text.data() + text.size(), &next);
}

std::int32_t scanCInt(const char* p, const char* const end, const char** next) noexcept {
  // The usual cell: a few plain digits, then the end of the field.
  if (p != end && isDigit(*p)) {
    const char* q = p;
    std::int32_t value = 0;
    while (q != end && isDigit(*q) && q - p < 9) {
      value = value * 10 + (*q - '0');
      ++q;
    }
    if (q == end || !isDigit(*q)) {
      *next = q;
      return value;
    }
  }
  while (p != end && isCSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  // Accumulated as a negative number so INT32_MIN is reachable without overflow; nine digits
  // cannot leave the 32-bit range, so only longer numbers are checked as they grow.
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  const char* const start = p;
  std::int64_t acc = 0;
  while (p != end && isDigit(*p) && p - start < 9) {
    acc = acc * 10 - (*p - '0');
    ++p;
  }
  bool saturated = false;
  for (; p != end && isDigit(*p); ++p) {
    if (saturated) continue;
    acc = acc * 10 - (*p - '0');
    if (acc < kMin - 1) saturated = true;
  }
  *next = p;
  if (negative)
    return saturated || acc < kMin ? std::numeric_limits<std::int32_t>::min() : static_cast<std::int32_t>(acc);
  if (saturated || -acc > kMax) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(-acc);
}

std::int32_t parseCInt(std::string_view text) noexcept {
  const char* next = nullptr;
  return scanCInt(text.data(), text.data() + text.size(), &next);
}

std::int32_t scaleCoordinate(double degrees) noexcept {
  const double product = degrees * 10000.0;
  // The open bounds keep every accepted value inside int32 after truncation.
  if (!(product > -2147483649.0 && product < 2147483648.0)) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(product);  // conversion truncates toward zero
}

std::int32_t scaleCoordinate(std::string_view text) noexcept { return scaleCoordinate(parseCDouble(text)); }

}  // namespace solvane

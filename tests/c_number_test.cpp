#include "base/c_number.h"

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace solvane {
namespace {

struct DoubleCase {
  const char* text;
  double expected;
};

TEST(ParseCDouble, ReadsTheLongestNumericPrefixLikeAtof) {
  const DoubleCase cases[] = {
      {"37.5", 37.5},
      {"37.5km", 37.5},
      {" 37.5", 37.5},
      {"\t+37.5", 37.5},
      {"37,5", 37.0},
      {"1e1", 10.0},
      {"1E+2x", 100.0},
      {"1e", 1.0},
      {"1e+", 1.0},
      {"-12.5", -12.5},
      {".5", 0.5},
      {"5.", 5.0},
      {"", 0.0},
      {"abc", 0.0},
      {"-", 0.0},
      {".", 0.0},
      {"+.e3", 0.0},
      {"0x10", 0.0},
      {"inf", 0.0},
      {"nan", 0.0},
      {"  -0.00009", -0.00009},
      {"1e-400", 0.0},
      {"\x80"
       "5",
       0.0},
  };
  for (const auto& c : cases) EXPECT_EQ(parseCDouble(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseCDouble, OverflowGivesSignedInfinityNeverNaN) {
  EXPECT_EQ(parseCDouble("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseCDouble("-1e999"), -std::numeric_limits<double>::infinity());
  const std::string digits400 = std::string(400, '9');
  EXPECT_EQ(parseCDouble(digits400), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseCDouble("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(parseCDouble("0." + std::string(400, '0') + "1e405"), 1e4);
}

TEST(ParseCDouble, ShortCutForShortNumbersRoundsLikeTheFullConversion) {
  // Coordinate-like texts take a quicker route than long or extreme ones; both must give the
  // correctly rounded double, bit for bit (signed zeros included). Seeded, so a failure repeats.
  std::uint64_t state = 12345;
  auto next = [&state] {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t x = state;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
  };
  for (int n = 0; n < 200000; ++n) {
    std::string text = next() % 2 ? "-" : "";
    const std::size_t intDigits = next() % 12, fracDigits = next() % 14;
    for (std::size_t k = 0; k < intDigits; ++k) text += static_cast<char>('0' + next() % 10);
    if (fracDigits || intDigits == 0) text += '.';
    for (std::size_t k = 0; k < fracDigits + (intDigits == 0); ++k) text += static_cast<char>('0' + next() % 10);
    if (next() % 4 == 0) text += "e" + std::to_string(static_cast<int>(next() % 61) - 30);
    const std::string_view body = std::string_view(text).substr(text[0] == '-');
    double expected = 0.0;
    const auto r = std::from_chars(body.data(), body.data() + body.size(), expected);
    ASSERT_EQ(r.ec, std::errc()) << text;
    if (text[0] == '-') expected = -expected;
    const double got = parseCDouble(text);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << '"' << text << '"';
    // The same number read in place from a longer line, as the encoder does.
    const std::string line = text + ",123456789012345678";
    const char* next = nullptr;
    const double inLine = scanCDouble(line.data(), line.data() + line.size(), &next);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(inLine), std::bit_cast<std::uint64_t>(expected)) << '"' << line << '"';
    ASSERT_EQ(next - line.data(), static_cast<std::ptrdiff_t>(text.size())) << '"' << line << '"';
  }
}

TEST(ParseCDouble, IgnoresTheProcessLocale) {
  // A locale with a decimal comma must not change what "12.5" means.
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no decimal-comma locale installed";
  }
  EXPECT_EQ(parseCDouble("12.5"), 12.5);
  EXPECT_EQ(parseCDouble("12,5"), 12.0);
  std::setlocale(LC_NUMERIC, "C");
}

TEST(ParseCInt, ReadsLikeAtoiAndSaturates) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"42", 42},
      {" -7x", -7},
      {"+3", 3},
      {"", 0},
      {"x1", 0},
      {"12.9", 12},
      {"2147483647", 2147483647},
      {"2147483648", std::numeric_limits<std::int32_t>::max()},
      {"-2147483648", std::numeric_limits<std::int32_t>::min()},
      {"-2147483649", std::numeric_limits<std::int32_t>::min()},
      {"99999999999999999999999", std::numeric_limits<std::int32_t>::max()},
  };
  for (const auto& c : cases) EXPECT_EQ(parseCInt(c.text), c.expected) << '"' << c.text << '"';
}

// Digits are read several at a time where enough bytes follow: the number must still end at
// the first byte that cannot continue it, whatever that byte and whatever comes after it.
TEST(ScanNumbers, StopAtTheFirstByteThatCannotContinueTheNumber) {
  const std::string digits = "73914682051739";
  for (std::size_t length = 0; length <= digits.size(); ++length) {
    for (int stop = 0; stop < 256; ++stop) {
      const char c = static_cast<char>(stop);
      if ((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E') continue;
      const std::string run = digits.substr(0, length);
      for (const std::string& before :
           {std::string(), std::string("5."), std::string("-0."), std::string("1234567."), std::string("-98765.")}) {
        // Before any number, white space and a sign are read over; they are no stop.
        const bool leadIn = c == '+' || c == '-' || c == ' ' || (c >= '\t' && c <= '\r');
        if (before.empty() && length == 0 && leadIn) continue;
        const std::string text = before + run + c + "123456789012";
        const char* const begin = text.data();
        const char* next = nullptr;
        const double got = scanCDouble(begin, begin + text.size(), &next);
        const std::string number = before + run;
        double expected = 0.0;
        const std::string_view body = std::string_view(number).substr(number[0] == '-');
        std::from_chars(body.data(), body.data() + body.size(), expected);
        if (number[0] == '-') expected = -expected;
        const auto shown = "\"" + number + "\" then byte " + std::to_string(stop);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(got), std::bit_cast<std::uint64_t>(expected)) << shown;
        if (!number.empty()) {
          ASSERT_EQ(next - begin, static_cast<std::ptrdiff_t>(number.size())) << shown;
        }
      }
      if (length == 0) continue;
      const std::string text = run + c + "123456789012";
      const char* next = nullptr;
      const std::int32_t got = scanCInt(text.data(), text.data() + text.size(), &next);
      ASSERT_EQ(got, parseCInt(run)) << run << " then byte " << stop;
      ASSERT_EQ(next - text.data(), static_cast<std::ptrdiff_t>(length)) << run << " then byte " << stop;
    }
  }
  // A run longer than one word of bytes, and one that ends exactly at the end of a word.
  EXPECT_EQ(parseCDouble("123456789012345678.25,9"), 123456789012345678.25);
  EXPECT_EQ(parseCDouble("12345678,12345678"), 12345678.0);
  EXPECT_EQ(parseCDouble("0.12345678"), 0.12345678);
}

TEST(ScaleCoordinate, TruncatesTowardZeroAndFlagsOverflow) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"12.3456", 123455},
      {"-65.4321", -654321},
      {"-0.00009", 0},
      {"", 0},
      {"abc", 0},
      {"180", 1800000},
      {"180.0001", 1800001},
      {"-90", -900000},
      {"214748.3647", 2147483647},
      {"214748.3648", INT32_MIN},
      {"-214748.3648", -2147483648},
      {"-214748.3649", INT32_MIN},
      {"1e999", INT32_MIN},
      {"-1e999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(scaleCoordinate(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(scaleCoordinate(std::numeric_limits<double>::quiet_NaN()), INT32_MIN);
}

}  // namespace
}  // namespace solvane

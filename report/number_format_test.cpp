#include "report/number_format.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t Top = std::uint64_t{1} << 63;

TEST(NumberFormatTest, EveryVectorRow) {
  std::ifstream in(TEST_DATA_DIR "/report/testdata/format.tsv", std::ios::binary);
  ASSERT_TRUE(in);
  int rows = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    ASSERT_NE(tab2, std::string::npos) << "line " << number;
    SCOPED_TRACE("line " + std::to_string(number) + ": " + line.substr(tab2 + 1));
    EXPECT_EQ(FormatSimilarity(ParseX87Hex(line.substr(0, tab1))),
              line.substr(tab1 + 1, tab2 - tab1 - 1));
    ++rows;
  }
  EXPECT_GT(rows, 0);
}

TEST(NumberFormatTest, FocusedValues) {
  const std::vector<std::pair<Extended, std::string>> cases = {
      {{0, 0}, "0.00000"},
      {ToExtended(21.0 / 64), "0.32813"},  // tie at the sixth decimal rounds up, not to even
      {ToExtended(1.0 / 3), "0.33333"},
      {ToExtended(2.0 / 3), "0.66667"},
      {ToExtended(0.25), "0.25000"},
      {{1, 0}, "1.00000"},  // unnormalised
      {ToExtended(12.5), "12.50000"},
      {ToExtended(9.9999951), "10.00000"},  // carry widens the integer part
      {ToExtended(9.9999949), "9.99999"},
      {ToExtended(99.9999951), "100.00000"},
      {ToExtended(123456.789), "123456.78900"},
      // Wide values keep only 64 bits through the product with 10^17: (2^64 - 2^11) * 10^17
      // rounds to a multiple of 2^57, about 1.4 units, so the decimals are not zero.
      {ToExtended(std::ldexp(1.0, 64) - 2048), "18446744073709549568.12318"},
      {{Top, 1}, "18446744073709551616.00000"},  // 2^64, the largest supported
      {{1, 64}, "18446744073709551616.00000"},
  };
  for (const auto& [value, text] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(FormatSimilarity(value), text);
  }
}

TEST(NumberFormatTest, RejectsValuesAbove2To64) {
  for (const Extended value :
       {Extended{Top + 1, 1}, Extended{1, 65}, Extended{3, 64}, Extended{Top, 1000}}) {
    EXPECT_THROW(FormatSimilarity(value), std::out_of_range);
  }
  // NaN and negative values are stopped when doubles become Extended.
  EXPECT_THROW(FormatSimilarity(ToExtended(-0.5)), std::out_of_range);
  EXPECT_THROW(FormatSimilarity(ToExtended(std::nan(""))), std::out_of_range);
}

TEST(NumberFormatTest, AppendKeepsWhatIsThere) {
  std::string out = "a\t";
  AppendSimilarity(out, ToExtended(0.5));
  AppendSimilarity(out, ToExtended(1.0));
  EXPECT_EQ(out, "a\t0.500001.00000");
}

#if LDBL_MANT_DIG == 64
// Where long double is the x87 80-bit type the FPU performs the first rounding stage itself
// (FMUL, then round to integer), so it can check the integer path. Elsewhere long double rounds
// differently, so there is nothing to compare with.

// The hardware's 17-decimal integer, then the half-up step done on its decimal digits.
std::string HardwareFormat(long double value) {
  char digits[64];
  std::snprintf(digits, sizeof digits, "%.0Lf", rintl(value * 1e17L));
  std::string text = digits;
  if (text.size() < 18) text.insert(0, 18 - text.size(), '0');
  const bool up = text[text.size() - 12] >= '5';
  text.resize(text.size() - 12);  // units and five decimals
  for (std::size_t i = text.size(); up;) {
    if (i == 0) {
      text.insert(0, 1, '1');
      break;
    }
    --i;
    if (text[i] == '9') {
      text[i] = '0';
    } else {
      ++text[i];
      break;
    }
  }
  text.insert(text.size() - 5, 1, '.');
  return text;
}

Extended FromLongDouble(long double x) {
  if (x == 0) return {};
  int exponent = 0;
  const long double fraction = frexpl(x, &exponent);
  return {static_cast<std::uint64_t>(ldexpl(fraction, 64)), exponent - 64};
}

// Values of several kinds: random in [0, 1); a few extended ulps around ties at the sixth
// decimal, at the eighteenth, and at the eighteenth next to a sixth-decimal boundary (where the
// first rounding stage decides the text); overall values from random parts; wide values.
long double RandomValue(std::mt19937_64& random) {
  const auto nudge = [&](long double x) {
    for (int steps = int(random() % 7) - 3; steps != 0; steps += steps < 0 ? 1 : -1) {
      x = nextafterl(x, steps < 0 ? 0.0L : 2.0L);
    }
    return x;
  };
  switch (random() % 7) {
    case 0:
      return ldexpl(static_cast<long double>(random() | Top), -64 - int(random() % 40));
    case 1:
      return nudge((2 * (random() % 100000) + 1) / 200000.0L);
    case 2:
      return nudge((2 * (random() % 100000000000000000) + 1) / 2e17L);
    case 3: {
      const double intra =
          std::ldexp(static_cast<double>(random() >> 11), -53 - int(random() % 60));
      const double inter =
          std::ldexp(static_cast<double>(random() >> 11), -53 - int(random() % 60));
      return sqrtl(static_cast<long double>(intra) * inter);
    }
    case 4:
      return nudge((2 * ((random() % 100000) * 1000000000000 + 500000000000) - 1) / 2e17L);
    case 5:
      return ldexpl(static_cast<long double>(random() | Top), -int(random() % 65));
    default:
      return static_cast<long double>(random() % 100000) +
             nudge((2 * (random() % 100000) + 1) / 200000.0L);
  }
}

TEST(NumberFormatDifferentialTest, MatchesX87Hardware) {
  std::mt19937_64 random(31337);
  int mismatches = 0;
  for (int i = 0; i < 200000; ++i) {
    const long double value = RandomValue(random);
    const std::string expected = HardwareFormat(value);
    const std::string actual = FormatSimilarity(FromLongDouble(value));
    if (actual != expected && ++mismatches <= 5) {
      ADD_FAILURE() << "value " << ToX87Hex(FromLongDouble(value)) << ": hardware " << expected
                    << ", ours " << actual;
    }
  }
  EXPECT_EQ(mismatches, 0);
}
#endif

}  // namespace

#include "matrix/extended.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

// Lets failures show Extended values readably; found by GoogleTest through Extended's namespace.
void PrintTo(const Extended& x, std::ostream* os) {
  *os << "{0x" << std::hex << x.significand << std::dec << ", " << x.exponent << "}";
}

namespace {

constexpr std::uint64_t Top = std::uint64_t{1} << 63;
constexpr std::uint64_t AllOnes = ~std::uint64_t{0};
constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();

struct ConversionCase {
  double value;
  Extended expected;
};

TEST(ExtendedTest, ToExtendedIsExactAndNormalised) {
  const double max = std::numeric_limits<double>::max();
  const double min_subnormal = std::numeric_limits<double>::denorm_min();
  const std::vector<ConversionCase> cases = {
      {1.0, {Top, -63}},
      {0.75, {3ULL << 62, -64}},
      {65535.0 / 65536.0, {0xffffULL << 48, -64}},
      {max, {AllOnes << 11, 960}},
      {min_subnormal, {Top, -1074 - 63}},
      {3 * min_subnormal, {3ULL << 62, -1074 - 62}},
      {0.0, {0, 0}},
      {-0.0, {0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ToExtended(c.value), c.expected);
  }
}

TEST(ExtendedTest, ToExtendedRejectsNegativeAndNonFinite) {
  for (const double value :
       {std::numeric_limits<double>::quiet_NaN(), -1.0, -std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(value);
    EXPECT_THROW(ToExtended(value), std::out_of_range);
  }
}

struct RoundingCase {
  Extended value;
  double expected;
};

TEST(ExtendedTest, RoundToDoubleRoundsToNearestEven) {
  const double one_ulp = std::ldexp(1.0, -52);
  const double tiny = std::numeric_limits<double>::denorm_min();
  const std::vector<RoundingCase> cases = {
      {{Top, -63}, 1.0},
      {{Top + (1 << 10) - 1, -63}, 1.0},            // just below half an ulp
      {{Top + (1 << 10), -63}, 1.0},                // tie, 1.0 is even
      {{Top + (1 << 10) + 1, -63}, 1.0 + one_ulp},  // just above half an ulp
      {{Top + (3 << 10), -63}, 1.0 + 2 * one_ulp},  // tie, 1 + ulp is odd
      {{AllOnes, -64}, 1.0},                        // carries into the next binade
      {{3, 0}, 3.0},                                // unnormalised argument
      {{0, 77}, 0.0},
      {{AllOnes << 11, 960}, std::numeric_limits<double>::max()},
      {{AllOnes, -1086}, std::numeric_limits<double>::min()},  // subnormal range carries to normal
      {{1, -1074}, tiny},
      {{3, -1076}, tiny},        // 0.75 of the smallest subnormal
      {{1, -1075}, 0.0},         // tie, zero is even
      {{3, -1075}, 2 * tiny},    // tie at 1.5, 2 is even
      {{Top, -1076 - 63}, 0.0},  // a quarter of the smallest subnormal
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.value));
    EXPECT_EQ(std::bit_cast<std::uint64_t>(RoundToDouble(c.value)),
              std::bit_cast<std::uint64_t>(c.expected));
  }
}

TEST(ExtendedTest, RoundToDoubleRejectsOverflow) {
  EXPECT_THROW(RoundToDouble({AllOnes, 960}), std::range_error);  // rounds up to 2^1024
  EXPECT_THROW(RoundToDouble({Top, 961}), std::range_error);      // 2^1024
  EXPECT_THROW(RoundToDouble({Top, Int32Max}), std::range_error);
}

TEST(ExtendedTest, DoublesRoundTrip) {
  std::mt19937_64 random(12345);
  int tested = 0;
  while (tested < 100000) {
    const std::uint64_t bits = random() >> 1;  // non-negative
    const double value = std::bit_cast<double>(bits);
    if (!std::isfinite(value)) continue;
    ++tested;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(RoundToDouble(ToExtended(value))), bits);
  }
}

struct ProductCase {
  Extended a, b, expected;
};

TEST(ExtendedTest, MultiplyRoundsToNearestEven) {
  const std::vector<ProductCase> cases = {
      {{3, 0}, {5, 0}, {15ULL << 60, -60}},
      {{0, 0}, {Top, 5}, {0, 0}},
      // (2^64 - 1)^2 = 2^128 - 2^65 + 1: the 1 below the kept bits rounds away.
      {{AllOnes, 0}, {AllOnes, 0}, {AllOnes - 1, 64}},
      // 3*2^125 + 3*2^62: kept 3*2^62 + 1 (odd), rest exactly half, so up to even.
      {{3ULL << 62, 0}, {Top + 1, 0}, {(3ULL << 62) + 2, 63}},
      // 3*2^125 + 9*2^62: kept 3*2^62 + 4 (even), rest exactly half, so stays.
      {{3ULL << 62, 0}, {Top + 3, 0}, {(3ULL << 62) + 4, 63}},
      // 2^127 - 2: kept all ones, rest above half, so the rounding carries to 2^127.
      {{AllOnes - 1, 0}, {Top + 1, 0}, {Top, 64}},
      {{Top, -63}, {Top, -1000}, {Top, -1000}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.a) + " * " + ::testing::PrintToString(c.b));
    EXPECT_EQ(Multiply(c.a, c.b), c.expected);
    EXPECT_EQ(Multiply(c.b, c.a), c.expected);
  }
}

TEST(ExtendedTest, MultiplyRejectsExponentOverflow) {
  EXPECT_THROW(Multiply({Top, Int32Max}, {Top, 1}), std::range_error);
  EXPECT_THROW(Multiply({Top, Int32Min}, {Top, -64}), std::range_error);
}

// Rounding a product first to 64 bits and then to double is not rounding it once: here the exact
// product lies just above halfway between two doubles, the 64-bit rounding lands on halfway, and
// the tie then goes to the even neighbour below. The hardware double multiply rounds once.
TEST(ExtendedTest, RoundingTwiceCanDifferFromRoundingOnce) {
  const double s = 0x1.156095dff24a9p-1;
  const double factor = 32047.0 / 65536.0;
  EXPECT_EQ(RoundToDouble(Multiply(ToExtended(s), ToExtended(factor))), 0x1.0f462bd3bad7cp-2);
  EXPECT_EQ(s * factor, 0x1.0f462bd3bad7dp-2);
}

TEST(ExtendedTest, SquareRootOfKnownValues) {
  const std::vector<std::pair<Extended, Extended>> cases = {
      {{Top, -63}, {Top, -63}},                         // 1
      {{9, 0}, {3ULL << 62, -62}},                      // 3, unnormalised argument
      {{Top, -62}, {0xb504f333f9de6484, -63}},          // sqrt(2)
      {{Top, -64}, {0xb504f333f9de6484, -64}},          // sqrt(1/2)
      {{21ULL << 59, -64}, {0xcf623a5130931eac, -64}},  // sqrt(21/32)
      {{AllOnes, 0}, {AllOnes, -32}},                   // root just below 2^32 rounds to all ones
      {{AllOnes, 1}, {0xb504f333f9de6484, -31}},  // just below 2^65, the other exponent parity
      {{0, 5}, {0, 0}},
  };
  for (const auto& [value, root] : cases) {
    SCOPED_TRACE(::testing::PrintToString(value));
    EXPECT_EQ(SquareRoot(value), root);
  }
}

// The root r of x, as integers at the scale where x = m * 2^(2e) and r = root * 2^e, is the
// correctly rounded one exactly when m - root^2 lies in (-root, root].
TEST(ExtendedTest, SquareRootIsCorrectlyRounded) {
  std::mt19937_64 random(777);
  for (int i = 0; i < 100000; ++i) {
    const Extended x{random() | Top, static_cast<std::int32_t>(random() % 2001) - 1000};
    const Extended r = SquareRoot(x);
    ASSERT_NE(r.significand & Top, 0U);
    const std::int64_t shift = std::int64_t{x.exponent} - 2 * std::int64_t{r.exponent};
    ASSERT_TRUE(shift == 63 || shift == 64) << shift;
    const UInt128 m = UInt128{x.significand} << shift;
    const UInt128 square = UInt128{r.significand} * r.significand;
    if (m >= square) {
      ASSERT_LE(m - square, r.significand) << i;
    } else {
      ASSERT_LT(square - m, r.significand) << i;
    }
  }
}

TEST(ExtendedTest, RoundToIntegerRoundsToNearestEven) {
  const std::vector<std::pair<Extended, UInt128>> cases = {
      {{0, 0}, 0},
      {{AllOnes, -65}, 0},           // just below 1/2
      {{Top, -64}, 0},               // 1/2, tie to even
      {{AllOnes, -64}, 1},           // just below 1
      {{3ULL << 62, -63}, 2},        // 1.5
      {{5ULL << 61, -62}, 2},        // 2.5
      {{(5ULL << 61) + 1, -62}, 3},  // just above 2.5
      {{Top, -200}, 0},
      {{7, 0}, 7},
      {{Top, 64}, UInt128{1} << 127},
      {{AllOnes, 64}, UInt128{AllOnes} << 64},
  };
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(value));
    EXPECT_TRUE(RoundToInteger(value) == expected);
  }
  EXPECT_THROW(RoundToInteger({Top, 65}), std::out_of_range);
  EXPECT_THROW(RoundToInteger({1, 128}), std::out_of_range);
}

TEST(ExtendedTest, X87HexEncoding) {
  const std::vector<std::pair<const char*, Extended>> cases = {
      {"3fff8000000000000000", {Top, -63}},            // 1
      {"3ffda800000000000000", {0xa8ULL << 56, -65}},  // 21/64
      {"4000c000000000000000", {3ULL << 62, -62}},     // 3
      {"00000000000000000000", {0, 0}},
      {"00018000000000000000", {Top, -16382 - 63}},     // smallest normal
      {"7ffeffffffffffffffff", {AllOnes, 16383 - 63}},  // largest
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseX87Hex(text), value);
    EXPECT_EQ(ToX87Hex(value), text);
  }
  EXPECT_EQ(ParseX87Hex("3FFF8000000000000000"), (Extended{Top, -63}));
  EXPECT_EQ(ParseX87Hex("00000000000000000001"), (Extended{Top, -16382 - 63 - 63}));  // denormal
  EXPECT_EQ(ToX87Hex({1, 0}), "3fff8000000000000000");  // normalised on the way
}

TEST(ExtendedTest, X87HexRejectsOtherText) {
  for (const char* text : {"bfff8000000000000000",   // negative
                           "7fff8000000000000000",   // infinity
                           "7fffc000000000000000",   // NaN
                           "3fff0000000000000000",   // unnormal
                           "3fff800000000000000",    // short
                           "3fff80000000000000000",  // long
                           "3fff8000000000000-00", "-fff8000000000000000", "3fff 800000000000000",
                           "0x3fff80000000000000", "3fffg000000000000000", ""}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(ParseX87Hex(text), std::invalid_argument);
  }
  EXPECT_THROW(ToX87Hex({Top, 16384 - 63}), std::out_of_range);
  EXPECT_THROW(ToX87Hex({Top, -16383 - 63}), std::out_of_range);
}

}  // namespace

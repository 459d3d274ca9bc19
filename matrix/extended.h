#pragma once
// Exact binary arithmetic with a 64-bit significand, rounding to nearest with ties to even, as
// the x87 extended type computes. Done in integers so that every host gives the same bits.

#include <cstdint>
#include <string>
#include <string_view>

__extension__ typedef unsigned __int128 UInt128;

// A non-negative value significand x 2^exponent. Every result below is normalised (top
// significand bit set) or is zero as {0, 0}; arguments need not be normalised.
struct Extended {
  std::uint64_t significand = 0;
  std::int32_t exponent = 0;
  friend bool operator==(const Extended&, const Extended&) = default;
};

// The exact value of a double; -0.0 gives zero.
// Throws std::out_of_range for NaN, infinities and negative values.
Extended ToExtended(double value);

// The nearest double, ties to even, subnormal results included.
// Throws std::range_error if the value rounds beyond the largest finite double.
double RoundToDouble(Extended value);

// The product rounded to a 64-bit significand.
// Throws std::range_error if the result's exponent does not fit in 32 bits.
Extended Multiply(Extended a, Extended b);

// The square root rounded to a 64-bit significand (an exact tie cannot occur).
Extended SquareRoot(Extended value);

// The nearest integer, ties to even. Throws std::out_of_range for values that reach 2^128.
UInt128 RoundToInteger(Extended value);

// Reads the x87 80-bit encoding as 20 hex digits: 4 for sign and biased exponent (bias 16383),
// 16 for the significand with its explicit leading bit. Throws std::invalid_argument for other
// text and for negative, infinite, NaN and unnormal encodings.
Extended ParseX87Hex(std::string_view text);

// The same 20-hex-digit encoding, lower case. Throws std::out_of_range for values outside the
// x87 normal range (zero excepted).
std::string ToX87Hex(Extended value);

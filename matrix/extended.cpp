#include "matrix/extended.h"

#include <bit>
#include <charconv>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint64_t TopBit = std::uint64_t{1} << 63;
constexpr int X87Bias = 16383;

// Shifts the top set bit of a nonzero significand to bit 63.
Extended Normalise(std::uint64_t significand, std::int64_t exponent) {
  if (significand == 0) return {};
  const int shift = std::countl_zero(significand);
  exponent -= shift;
  if (exponent < std::numeric_limits<std::int32_t>::min() ||
      exponent > std::numeric_limits<std::int32_t>::max()) {
    throw std::range_error("Extended exponent out of range");
  }
  return {significand << shift, static_cast<std::int32_t>(exponent)};
}

// value / 2^drop rounded to nearest, ties to even; 1 <= drop <= 127.
UInt128 ShiftRightRounded(UInt128 value, int drop) {
  const UInt128 kept = value >> drop;
  const UInt128 rest = value - (kept << drop);
  const UInt128 half = UInt128{1} << (drop - 1);
  return (rest > half || (rest == half && (kept & 1) != 0)) ? kept + 1 : kept;
}

int BitWidth(UInt128 value) {
  const auto high = static_cast<std::uint64_t>(value >> 64);
  return high != 0 ? 64 + std::bit_width(high) : std::bit_width(static_cast<std::uint64_t>(value));
}

}  // namespace

Extended ToExtended(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (bits == TopBit) return {};                     // -0.0
  const auto biased = static_cast<int>(bits >> 52);  // includes the sign bit
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased >= 0x7ff) throw std::out_of_range("not a finite non-negative double");
  if (biased == 0) return Normalise(fraction, -1074);
  return {(fraction | (std::uint64_t{1} << 52)) << 11, biased - 1086};
}

double RoundToDouble(Extended value) {
  const Extended x = Normalise(value.significand, value.exponent);
  if (x.significand == 0) return 0.0;
  const std::int64_t binade = std::int64_t{x.exponent} + 63;  // x is in [2^binade, 2^(binade+1))
  if (binade > 1023) throw std::range_error("value beyond the double range");
  // A normal result keeps 53 bits; a subnormal one keeps fewer, in units of 2^-1074.
  int drop = 11;
  std::uint64_t exponent_field = 0;
  if (binade >= -1022) {
    exponent_field = static_cast<std::uint64_t>(binade + 1022) << 52;
  } else {
    if (-1022 - binade > 64 - 11) return 0.0;  // below half the smallest subnormal
    drop += static_cast<int>(-1022 - binade);
  }
  // Adding the kept bits with their leading one bumps the exponent field by one, and by two when
  // rounding carried into the next binade, which is exactly the encoding wanted.
  const auto kept = static_cast<std::uint64_t>(ShiftRightRounded(x.significand, drop));
  const std::uint64_t bits = exponent_field + kept;
  if (bits >= 0x7ffULL << 52) throw std::range_error("value beyond the double range");
  return std::bit_cast<double>(bits);
}

Extended Multiply(Extended a, Extended b) {
  const UInt128 product = UInt128{a.significand} * b.significand;
  if (product == 0) return {};
  std::int64_t exponent = std::int64_t{a.exponent} + b.exponent;
  const int drop = BitWidth(product) - 64;
  if (drop <= 0) return Normalise(static_cast<std::uint64_t>(product), exponent);
  UInt128 kept = ShiftRightRounded(product, drop);
  exponent += drop;
  if (kept >> 64 != 0) {  // rounding carried up to 2^64
    kept >>= 1;
    ++exponent;
  }
  return Normalise(static_cast<std::uint64_t>(kept), exponent);
}

Extended SquareRoot(Extended value) {
  const Extended x = Normalise(value.significand, value.exponent);
  if (x.significand == 0) return {};
  // Radicand x = m * 2^e with e even and m in [2^126, 2^128), so the root of m has 64 bits.
  UInt128 m = UInt128{x.significand} << 64;
  std::int64_t e = std::int64_t{x.exponent} - 64;
  if (e % 2 != 0) {
    m >>= 1;
    ++e;
  }
  // Digit-by-digit integer square root: root = floor(sqrt(m)), rest = m - root^2.
  UInt128 rest = m;
  UInt128 root = 0;
  for (UInt128 bit = UInt128{1} << 126; bit != 0; bit >>= 2) {
    if (rest >= root + bit) {
      rest -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
  }
  // sqrt(m) > root + 1/2 exactly when m > root^2 + root; it cannot reach 2^64 - 1/2.
  if (rest > root) ++root;
  return Normalise(static_cast<std::uint64_t>(root), e / 2);
}

UInt128 RoundToInteger(Extended value) {
  const Extended x = Normalise(value.significand, value.exponent);
  if (x.significand == 0) return 0;
  if (x.exponent >= 0) {
    if (x.exponent > 64) throw std::out_of_range("value reaches 2^128");
    return UInt128{x.significand} << x.exponent;
  }
  if (x.exponent < -64) return 0;  // below one half
  return ShiftRightRounded(x.significand, -x.exponent);
}

Extended ParseX87Hex(std::string_view text) {
  std::uint16_t sign_exponent = 0;
  std::uint64_t significand = 0;
  const auto read = [&](std::string_view digits, auto& out) {
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), out, 16);
    return error == std::errc{} && end == digits.data() + digits.size();
  };
  // from_chars would accept a leading '-', so only hex digits are let through.
  const bool hex_only = text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
  if (text.size() != 20 || !hex_only || !read(text.substr(0, 4), sign_exponent) ||
      !read(text.substr(4), significand)) {
    throw std::invalid_argument("expected 20 hex digits of an x87 value");
  }
  if (sign_exponent == 0) return Normalise(significand, 1 - X87Bias - 63);  // zero or denormal
  if (sign_exponent >= 0x7fff || (significand & TopBit) == 0) {
    throw std::invalid_argument("negative, infinite, NaN or unnormal x87 value");
  }
  return {significand, sign_exponent - X87Bias - 63};
}

std::string ToX87Hex(Extended value) {
  const Extended x = Normalise(value.significand, value.exponent);
  const std::int64_t biased = x.significand == 0 ? 0 : std::int64_t{x.exponent} + X87Bias + 63;
  if (x.significand != 0 && (biased < 1 || biased >= 0x7fff)) {
    throw std::out_of_range("value outside the x87 normal range");
  }
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text(20, '0');
  for (int i = 0; i < 4; ++i) text[3 - i] = Digits[(biased >> (4 * i)) & 0xf];
  for (int i = 0; i < 16; ++i) text[19 - i] = Digits[(x.significand >> (4 * i)) & 0xf];
  return text;
}

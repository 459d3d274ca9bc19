#include "matrix/extended.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr std::uint64_t TopBit = std::uint64_t{1} << 63;
constexpr int X87Bias = 16383;

// Working form with an exponent wide enough that no intermediate step overflows it.
struct Wide {
  std::uint64_t significand;
  std::int64_t exponent;
};

// Shifts the top set bit of a nonzero significand to bit 63.
Wide Normalise(Extended x) {
  if (x.significand == 0) return {0, 0};
  if ((x.significand & TopBit) != 0) return {x.significand, x.exponent};
  const int shift = std::countl_zero(x.significand);
  return {x.significand << shift, std::int64_t{x.exponent} - shift};
}

// A normalised result, checked to fit in Extended.
Extended Narrow(Wide x) {
  if (x.exponent < std::numeric_limits<std::int32_t>::min() ||
      x.exponent > std::numeric_limits<std::int32_t>::max()) {
    throw std::range_error("Extended exponent out of range");
  }
  return {x.significand, static_cast<std::int32_t>(x.exponent)};
}

// value / 2^drop rounded to nearest, ties to even; 1 <= drop < bit width of T. Written without
// branches: which way a product rounds is data-dependent, and mispredictions dominated.
template <typename T>
T ShiftRightRounded(T value, int drop) {
  const T kept = value >> drop;
  const T rest = value - (kept << drop);
  const T half = T{1} << (drop - 1);
  return kept + ((T{rest > half} | (T{rest == half} & kept)) & 1);
}

}  // namespace

Extended ToExtended(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (bits == TopBit) return {};                     // -0.0
  const auto biased = static_cast<int>(bits >> 52);  // includes the sign bit
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased >= 0x7ff) throw std::out_of_range("not a finite non-negative double");
  if (biased == 0) return Narrow(Normalise({fraction, -1074}));
  return {(fraction | (std::uint64_t{1} << 52)) << 11, biased - 1086};
}

double RoundToDouble(Extended value) {
  const Wide x = Normalise(value);
  if (x.significand == 0) return 0.0;
  const std::int64_t binade = x.exponent + 63;  // x is in [2^binade, 2^(binade+1))
  std::uint64_t bits;
  if (binade >= -1022) {
    if (binade > 1023) throw std::range_error("value beyond the double range");
    // Adding the 53 kept bits with their leading one bumps the exponent field by one, or by two
    // when rounding carried into the next binade, which is exactly the encoding wanted.
    bits = (static_cast<std::uint64_t>(binade + 1022) << 52) + ShiftRightRounded(x.significand, 11);
    if (bits >= 0x7ffULL << 52) throw std::range_error("value beyond the double range");
  } else {
    // Subnormal: fewer bits, in units of 2^-1074; a carry to 2^52 encodes the smallest normal.
    const std::int64_t drop = 11 + (-1022 - binade);
    if (drop > 64) return 0.0;  // below half the smallest subnormal
    bits = static_cast<std::uint64_t>(ShiftRightRounded(UInt128{x.significand}, int(drop)));
  }
  return std::bit_cast<double>(bits);
}

Extended Multiply(Extended a, Extended b) {
  const Wide x = Normalise(a);
  const Wide y = Normalise(b);
  if (x.significand == 0 || y.significand == 0) return {};
  const UInt128 product = UInt128{x.significand} * y.significand;  // in [2^126, 2^128)
  auto high = static_cast<std::uint64_t>(product >> 64);
  auto low = static_cast<std::uint64_t>(product);
  std::int64_t exponent = x.exponent + y.exponent + 64;
  const int shift = static_cast<int>(~high >> 63);  // 1 when the top bit is clear
  high = high << shift | ((low >> 63) & shift);
  low <<= shift;
  exponent -= shift;
  high += (std::uint64_t{low > TopBit} | (std::uint64_t{low == TopBit} & high)) & 1;
  if (high == 0) {  // rounding carried up to 2^64
    high = TopBit;
    ++exponent;
  }
  return Narrow({high, exponent});
}

Extended SquareRoot(Extended value) {
  const Wide x = Normalise(value);
  if (x.significand == 0) return {};
  // Radicand x = m * 2^e with e even and m in [2^126, 2^128), so the root of m has 64 bits.
  UInt128 m = UInt128{x.significand} << 64;
  std::int64_t e = x.exponent - 64;
  if (e % 2 != 0) {
    m >>= 1;
    ++e;
  }
  // Estimate the root from the top 64 bits in double, refine it by one Newton step, which lands
  // on floor(sqrt(m)) or just above, then settle it exactly in integers.
  const double top = static_cast<double>(static_cast<std::uint64_t>(m >> 64));
  const double estimate = std::sqrt(top) * 0x1p32;
  UInt128 root = estimate < 0x1p64 ? static_cast<std::uint64_t>(estimate) : ~std::uint64_t{0};
  root = (root + m / root) / 2;
  if (root >> 64 != 0) root = ~std::uint64_t{0};  // floor(sqrt(m)) < 2^64
  while (root * root > m) --root;
  UInt128 rest = m - root * root;
  while (rest > 2 * root) {  // (root + 1)^2 <= m
    rest -= 2 * root + 1;
    ++root;
  }
  // sqrt(m) > root + 1/2 exactly when m > root^2 + root; it cannot reach 2^64 - 1/2.
  if (rest > root) ++root;
  return Narrow({static_cast<std::uint64_t>(root), e / 2});
}

UInt128 RoundToInteger(Extended value) {
  const Wide x = Normalise(value);
  if (x.significand == 0) return 0;
  if (x.exponent >= 0) {
    if (x.exponent > 64) throw std::out_of_range("value reaches 2^128");
    return UInt128{x.significand} << x.exponent;
  }
  if (x.exponent < -64) return 0;  // below one half
  return ShiftRightRounded(UInt128{x.significand}, static_cast<int>(-x.exponent));
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
  if (sign_exponent == 0) return Narrow(Normalise({significand, 1 - X87Bias - 63}));  // or zero
  if (sign_exponent >= 0x7fff || (significand & TopBit) == 0) {
    throw std::invalid_argument("negative, infinite, NaN or unnormal x87 value");
  }
  return {significand, sign_exponent - X87Bias - 63};
}

std::string ToX87Hex(Extended value) {
  const Wide x = Normalise(value);
  const std::int64_t biased = x.significand == 0 ? 0 : x.exponent + X87Bias + 63;
  if (x.significand != 0 && (biased < 1 || biased >= 0x7fff)) {
    throw std::out_of_range("value outside the x87 normal range");
  }
  static constexpr char Digits[] = "0123456789abcdef";
  std::string text(20, '0');
  for (int i = 0; i < 4; ++i) text[3 - i] = Digits[(biased >> (4 * i)) & 0xf];
  for (int i = 0; i < 16; ++i) text[19 - i] = Digits[(x.significand >> (4 * i)) & 0xf];
  return text;
}

// AppendSimilarity on any value significand x 2^exponent: values above 2^64
// must be refused, all others formatted as the x87 80-bit type computes it
// (the product with 10^17 and the rounding to an integer done by the
// hardware, where the compiler's long double is that type).
// Input: 8 bytes of significand, 2 bytes of exponent.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "report/number_format.h"

namespace {

[[noreturn]] void Fail(const char* what, Extended value, const std::string& got,
                       const std::string& expected) {
  std::fprintf(stderr, "%s: %016llx x 2^%d gave \"%s\", expected \"%s\"\n", what,
               static_cast<unsigned long long>(value.significand), value.exponent, got.c_str(),
               expected.c_str());
  std::abort();
}

std::string Digits(UInt128 value) {
  std::string text;
  do {
    text.insert(text.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  return text;
}

// The report's text from the value x 10^17 as an integer: half up at the
// fifth decimal, looking at the sixth digit alone.
std::string FromScaled(UInt128 scaled) {
  constexpr std::uint64_t kTenTo17 = 100'000'000'000'000'000;
  constexpr std::uint64_t kTenTo12 = 1'000'000'000'000;
  UInt128 units = scaled / kTenTo17;
  const auto fraction = static_cast<std::uint64_t>(scaled % kTenTo17);
  std::uint64_t decimals = fraction / kTenTo12 + (fraction % kTenTo12 >= kTenTo12 / 2 ? 1 : 0);
  if (decimals == 100'000) {
    decimals = 0;
    ++units;
  }
  char tail[8];
  std::snprintf(tail, sizeof tail, ".%05llu", static_cast<unsigned long long>(decimals));
  return Digits(units) + tail;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  Extended value;
  std::memcpy(&value.significand, data, 8);
  std::int16_t exponent;
  std::memcpy(&exponent, data + 8, 2);
  value.exponent = exponent;

  // value < 2^top
  const int top = value.exponent + 64 - __builtin_clzll(value.significand | 1);
  const bool too_big = value.significand != 0 &&
                       (top > 65 || (top == 65 && (value.significand & (value.significand - 1))));
  std::string text;
  try {
    text = FormatSimilarity(value);
  } catch (const std::out_of_range&) {
    if (!too_big) Fail("refused", value, "", "");
    return 0;
  }
  if (too_big) Fail("accepted a value above 2^64", value, text, "an exception");

  std::string expected;
  if (value.significand == 0 || top <= -60) {
    expected = "0.00000";  // below 2^-60, times 10^17 it is below 1/8
  } else {
#if LDBL_MANT_DIG == 64
    // Exact: 64 significand bits and an exponent well inside the type's range.
    const long double x = std::ldexp(static_cast<long double>(value.significand), value.exponent);
    const long double scaled = std::nearbyint(x * 1e17L);
    expected = FromScaled(static_cast<UInt128>(scaled));
#else
    expected = text;  // no hardware reference: only the checks above
#endif
  }
  if (text != expected) Fail("differs from the hardware", value, text, expected);
  return 0;
}

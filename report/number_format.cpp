#include "report/number_format.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <stdexcept>

namespace {

constexpr std::uint64_t TenTo17 = 100'000'000'000'000'000;
constexpr std::uint64_t TenTo19 = 10'000'000'000'000'000'000U;
constexpr std::uint64_t TenTo12 = 1'000'000'000'000;
constexpr Extended TenTo17Extended{TenTo17 << 7, -7};  // 10^17 < 2^57, exact

// Writes the decimal digits of value backwards ending before end, at least min_digits of them
// (zero padded); returns the first character written.
char* WriteDigits(std::uint64_t value, int min_digits, char* end) {
  do {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
    --min_digits;
  } while (value != 0 || min_digits > 0);
  return end;
}

}  // namespace

char* WriteSimilarity(char* out, Extended value) {
  // value < 2^top; 2^64 itself is the largest value supported.
  const std::int64_t top = std::int64_t{value.exponent} + std::bit_width(value.significand);
  if (value.significand != 0 &&
      (top > 65 || (top == 65 && !std::has_single_bit(value.significand)))) {
    throw std::out_of_range("similarity value above 2^64");
  }
  const UInt128 scaled = RoundToInteger(Multiply(value, TenTo17Extended));
  UInt128 units;
  std::uint64_t fraction;   // the 17 decimals
  if (scaled >> 64 == 0) {  // the usual case, values below 184, in 64-bit arithmetic
    units = static_cast<std::uint64_t>(scaled) / TenTo17;
    fraction = static_cast<std::uint64_t>(scaled) % TenTo17;
  } else {
    units = scaled / TenTo17;
    fraction = static_cast<std::uint64_t>(scaled % TenTo17);
  }
  // Half up at the fifth decimal; digits after the sixth are not looked at.
  std::uint64_t decimals = fraction / TenTo12;
  if (fraction % TenTo12 >= TenTo12 / 2) ++decimals;
  if (decimals == 100'000) {
    decimals = 0;
    ++units;
  }
  // The shortest text, "d.ddddd", already fills the field of 7, so no padding is ever needed.
  if (units < 10) {  // every value the measures give
    // The five decimals from two independent halves, which is quicker than one digit after
    // the other.
    const auto high = static_cast<unsigned>(decimals / 1000);  // two digits
    const auto low = static_cast<unsigned>(decimals % 1000);   // three digits
    out[0] = static_cast<char>('0' + static_cast<int>(units));
    out[1] = '.';
    out[2] = static_cast<char>('0' + high / 10);
    out[3] = static_cast<char>('0' + high % 10);
    out[4] = static_cast<char>('0' + low / 100);
    out[5] = static_cast<char>('0' + low / 10 % 10);
    out[6] = static_cast<char>('0' + low % 10);
    return out + 7;
  }
  char buffer[32];
  char* const end = buffer + sizeof buffer;
  char* begin = WriteDigits(decimals, 5, end);
  *--begin = '.';
  if (units >> 64 != 0) {
    begin = WriteDigits(static_cast<std::uint64_t>(units % TenTo19), 19, begin);
    units /= TenTo19;
  }
  begin = WriteDigits(static_cast<std::uint64_t>(units), 1, begin);
  return std::copy(begin, end, out);
}

void AppendSimilarity(std::string& out, Extended value) {
  char text[kMaxSimilarityText];
  out.append(text, WriteSimilarity(text, value));
}

std::string FormatSimilarity(Extended value) {
  std::string text;
  AppendSimilarity(text, value);
  return text;
}

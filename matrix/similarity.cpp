#include "matrix/similarity.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>

// The fast path. A step's exact product X = f * s has at most 16 + 53 bits. Rounding it to 64
// bits and then to 53 gives the same double as rounding it to 53 bits at once, p = f * s in
// double arithmetic, unless the 64-bit rounding lands on a midpoint between two doubles. The
// exact error e = X - p tells whether X lies that close to one; only those rare steps (about
// one in 1,000) take the integer path. e comes from splitting s into two halves whose products
// with f are exact, so no fused multiply-add is needed and every host gets the same bits.

namespace {

constexpr std::size_t Places = 8;
constexpr std::size_t Groups = MatrixCells / Places;
constexpr std::uint64_t ExponentBits = 0x7ffULL << 52;
constexpr std::uint64_t HighHalf = ~((std::uint64_t{1} << 26) - 1);  // sign, exponent, 26 bits

// Cell factor 1 - d^2/65536 = (65536 - d^2) / 2^16 for |d| = 0..255, exact.
constexpr std::array<Extended, 256> MakeCellFactors() {
  std::array<Extended, 256> factors{};
  for (std::uint64_t d = 0; d < factors.size(); ++d) {
    const std::uint64_t numerator = 65536 - d * d;
    const int shift = std::countl_zero(numerator);
    factors[d] = {numerator << shift, -16 - shift};
  }
  return factors;
}

constexpr std::array<Extended, 256> CellFactors = MakeCellFactors();

// The same factors as doubles: at most 16 significant bits, exact.
constexpr std::array<double, 256> MakeDoubleFactors() {
  std::array<double, 256> factors{};
  for (int d = 0; d < 256; ++d) factors[d] = (65536 - d * d) / 65536.0;
  return factors;
}

constexpr std::array<double, 256> DoubleFactors = MakeDoubleFactors();

// Offset of the cell taken at each step.
constexpr std::array<std::uint8_t, MatrixCells> MakeStepOrder() {
  std::array<std::uint8_t, MatrixCells> order{};
  for (std::size_t place = 0; place < Places; ++place) {
    for (std::size_t group = 0; group < Groups; ++group) {
      order[place * Groups + group] = static_cast<std::uint8_t>(group * Places + place);
    }
  }
  return order;
}

constexpr std::array<std::uint8_t, MatrixCells> StepOrder = MakeStepOrder();

int Difference(const Matrix& a, const Matrix& b, std::size_t k) {
  return std::abs(int{a[k]} - int{b[k]});
}

double ExactStep(double similarity, int difference) {
  return RoundToDouble(Multiply(CellFactors[difference], ToExtended(similarity)));
}

// p = f * s rounded once; returns 1 when that may differ from the two roundings, that is when X
// lies within 2^-10 ulp(p) of a midpoint p +- ulp(p)/2 (the 64-bit rounding reaches a midpoint
// only within 2^-11 ulp), or when p is a power of two and X is not p (the midpoint below is
// nearer then). s and f are normal and far from the ends of the double range.
inline std::uint64_t FastStep(double f, double s, double& p) {
  p = f * s;
  const double s_high = std::bit_cast<double>(std::bit_cast<std::uint64_t>(s) & HighHalf);
  const double s_low = s - s_high;
  // f * s_high and f * s_low are exact (16 + 27 and 16 + 26 bits); f * s_high is within a
  // factor of 2 of p, so the subtraction is exact, and so is the sum, which is X - p.
  const double error = (f * s_high - p) + f * s_low;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(p);
  const double half_ulp = std::bit_cast<double>(bits & ExponentBits) * 0x1p-53;
  const bool near_midpoint = std::fabs(std::fabs(error) - half_ulp) <= half_ulp * 0x1p-10;
  const bool power_of_two = (bits << 12) == 0 && error != 0;
  return std::uint64_t{near_midpoint} | std::uint64_t{power_of_two};
}

constexpr std::size_t Lanes = 8;

// MatrixSimilarity(*a[i], b) for Lanes pairs side by side.
void SimilarityBlock(const Matrix* const* a, const Matrix& b, double* out) {
  double factors[MatrixCells][Lanes];
  for (std::size_t step = 0; step < MatrixCells; ++step) {
    const std::size_t k = StepOrder[step];
    for (std::size_t i = 0; i < Lanes; ++i)
      factors[step][i] = DoubleFactors[Difference(*a[i], b, k)];
  }
  double s[Lanes];
  std::fill(s, s + Lanes, 1.0);
  for (std::size_t step = 0; step < MatrixCells; ++step) {
    double p[Lanes];
    std::uint64_t exact[Lanes];
    for (std::size_t i = 0; i < Lanes; ++i) exact[i] = FastStep(factors[step][i], s[i], p[i]);
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < Lanes; ++i) any |= exact[i] << i;
    for (; any != 0; any &= any - 1) {
      const int i = std::countr_zero(any);
      p[i] = ExactStep(s[i], Difference(*a[i], b, StepOrder[step]));
    }
    std::copy(p, p + Lanes, s);
  }
  std::copy(s, s + Lanes, out);
}

}  // namespace

double MultiplyByCellFactor(double similarity, int difference) {
  double p;
  if (FastStep(DoubleFactors[std::abs(difference)], similarity, p) != 0) {
    return ExactStep(similarity, std::abs(difference));
  }
  return p;
}

double MatrixSimilarity(const Matrix& a, const Matrix& b) {
  double similarity = 1.0;
  for (const std::size_t k : StepOrder) {
    const int difference = Difference(a, b, k);
    if (difference != 0) similarity = MultiplyByCellFactor(similarity, difference);
  }
  return similarity;
}

void MatrixSimilarities(std::span<const Matrix> a, const Matrix& b, std::span<double> out) {
  std::size_t i = 0;
  const Matrix* rows[Lanes];
  for (; i + Lanes <= a.size(); i += Lanes) {
    for (std::size_t lane = 0; lane < Lanes; ++lane) rows[lane] = &a[i + lane];
    SimilarityBlock(rows, b, &out[i]);
  }
  if (i == a.size()) return;
  // The last block repeats its last pair in the unused lanes.
  double rest[Lanes];
  for (std::size_t lane = 0; lane < Lanes; ++lane)
    rows[lane] = &a[std::min(i + lane, a.size() - 1)];
  SimilarityBlock(rows, b, rest);
  std::copy(rest, rest + (a.size() - i), &out[i]);
}

double ExactMatrixSimilarity(const Matrix& a, const Matrix& b) {
  double similarity = 1.0;
  for (const std::size_t k : StepOrder) {
    const int difference = Difference(a, b, k);
    if (difference == 0) continue;  // a factor of exactly 1 changes nothing
    similarity = ExactStep(similarity, difference);
  }
  return similarity;
}

double IntraSimilarity(const TCustomMatrix& a, const TCustomMatrix& b) {
  return MatrixSimilarity(a.IntraMatrix, b.IntraMatrix);
}

double InterSimilarity(const TCustomMatrix& a, const TCustomMatrix& b) {
  return MatrixSimilarity(a.InterMatrix, b.InterMatrix);
}

Extended CombineSimilarities(double intra, double inter) {
  return SquareRoot(Multiply(ToExtended(intra), ToExtended(inter)));
}

Extended OverallSimilarity(const TCustomMatrix& a, const TCustomMatrix& b) {
  return CombineSimilarities(IntraSimilarity(a, b), InterSimilarity(a, b));
}

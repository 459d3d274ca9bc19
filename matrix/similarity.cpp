#include "matrix/similarity.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

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
// ulp(p)/2 - ulp(p)/2^11 for p = 2^e is 2^e times this (exact).
constexpr double NearMidpointScale = 0x1p-53 - 0x1p-63;
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
// lies within 2^-11 ulp(p) of a midpoint p +- ulp(p)/2 (the 64-bit rounding reaches a midpoint
// only within 2^-12 ulp), or when p is a power of two and X is not p (the midpoint below is
// nearer then). s and f are normal and far from the ends of the double range.
inline std::uint64_t FastStep(double f, double s, double& p) {
  p = f * s;
  const double s_high = std::bit_cast<double>(std::bit_cast<std::uint64_t>(s) & HighHalf);
  const double s_low = s - s_high;
  // f * s_high and f * s_low are exact (16 + 27 and 16 + 26 bits); f * s_high is within a
  // factor of 2 of p, so the subtraction is exact, and so is the sum, which is X - p.
  const double error = (f * s_high - p) + f * s_low;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(p);
  // |error| <= ulp(p)/2 unless p is a power of two, so only its lower edge is looked at.
  const double near = std::bit_cast<double>(bits & ExponentBits) * NearMidpointScale;
  // Written without branches, so that the steps of many pairs run side by side in vectors.
  const std::uint64_t near_midpoint = std::fabs(error) >= near;
  const std::uint64_t power_of_two = ((bits << 12) == 0) & (error != 0);
  return near_midpoint | power_of_two;
}

constexpr std::size_t Lanes = 8;

// The differences' factors of Lanes pairs, step by step.
struct BlockFactors {
  alignas(32) double factor[MatrixCells][Lanes];
};

void FillFactors(const Matrix* const* a, const Matrix& b, BlockFactors& factors) {
  std::uint8_t differences[Lanes][MatrixCells];
  for (std::size_t i = 0; i < Lanes; ++i) {
    const Matrix& lane = *a[i];
    for (std::size_t k = 0; k < MatrixCells; ++k) {  // in vectors of bytes
      differences[i][k] =
          static_cast<std::uint8_t>(std::max(lane[k], b[k]) - std::min(lane[k], b[k]));
    }
  }
  for (std::size_t step = 0; step < MatrixCells; ++step) {
    const std::size_t k = StepOrder[step];
    for (std::size_t i = 0; i < Lanes; ++i) {
      factors.factor[step][i] = DoubleFactors[differences[i][k]];
    }
  }
}

// Gives the lanes that FastStep flagged the integer path's result.
void FixFlagged(std::uint64_t flagged, const Matrix* const* a, const Matrix& b, std::size_t step,
                const double* s, double* p) {
  for (; flagged != 0; flagged &= flagged - 1) {
    const int i = std::countr_zero(flagged);
    p[i] = ExactStep(s[i], Difference(*a[i], b, StepOrder[step]));
  }
}

#if defined(__GNUC__)
// FastStep four lanes at a time in the compiler's vector types (SSE2, NEON; AVX2 where the
// processor has it): the same operations in the same order, so the same bits.
using DoublePair = double __attribute__((vector_size(32)));
using BitsPair = std::uint64_t __attribute__((vector_size(32)));
constexpr std::size_t Width = 4;

// Run-time selection needs ifunc, which ELF targets have and Windows has not.
#if defined(__x86_64__) && !defined(__clang__) && defined(__ELF__)
#define PELLANDO_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define PELLANDO_VECTOR_CLONES
#endif

PELLANDO_VECTOR_CLONES
void SimilarityBlock(const Matrix* const* a, const Matrix& b, double* out) {
  BlockFactors factors;
  FillFactors(a, b, factors);
  constexpr std::size_t Pairs = Lanes / Width;
  const BitsPair zero{};
  const BitsPair high_half = zero + HighHalf;
  const BitsPair exponent_bits = zero + ExponentBits;
  const BitsPair magnitude = zero + ~(std::uint64_t{1} << 63);
  // The running products stay in registers; only the rare fixes go through memory.
  DoublePair s[Pairs];
  for (DoublePair& x : s) x = DoublePair{} + 1.0;
  for (std::size_t step = 0; step < MatrixCells; ++step) {
    DoublePair p[Pairs];
    BitsPair flags[Pairs];
    BitsPair any = zero;
    for (std::size_t v = 0; v < Pairs; ++v) {
      DoublePair f;
      std::memcpy(&f, &factors.factor[step][Width * v], sizeof f);
      const DoublePair x = s[v];
      const DoublePair product = f * x;
      const DoublePair x_high = (DoublePair)((BitsPair)x & high_half);
      const DoublePair x_low = x - x_high;
      const DoublePair error = (f * x_high - product) + f * x_low;
      const BitsPair bits = (BitsPair)product;
      const DoublePair near = (DoublePair)(bits & exponent_bits) * NearMidpointScale;
      const BitsPair near_midpoint = (BitsPair)((DoublePair)((BitsPair)error & magnitude) >= near);
      const BitsPair power_of_two = (BitsPair)((bits << 12) == 0) & (BitsPair)(error != 0);
      flags[v] = near_midpoint | power_of_two;
      any |= flags[v];
      p[v] = product;
    }
    if ((any[0] | any[1] | any[2] | any[3]) != 0) {
      std::uint64_t flagged = 0;
      alignas(32) double old_lanes[Lanes];
      alignas(32) double new_lanes[Lanes];
      for (std::size_t i = 0; i < Lanes; ++i) {
        flagged |= (flags[i / Width][i % Width] & 1) << i;
        old_lanes[i] = s[i / Width][i % Width];
        new_lanes[i] = p[i / Width][i % Width];
      }
      FixFlagged(flagged, a, b, step, old_lanes, new_lanes);
      std::memcpy(p, new_lanes, sizeof p);
    }
    std::copy(p, p + Pairs, s);
  }
  std::memcpy(out, s, sizeof s);
}
#else
void SimilarityBlock(const Matrix* const* a, const Matrix& b, double* out) {
  BlockFactors factors;
  FillFactors(a, b, factors);
  double s[Lanes];
  std::fill(s, s + Lanes, 1.0);
  for (std::size_t step = 0; step < MatrixCells; ++step) {
    double p[Lanes];
    std::uint64_t flagged = 0;
    for (std::size_t i = 0; i < Lanes; ++i) {
      flagged |= FastStep(factors.factor[step][i], s[i], p[i]) << i;
    }
    FixFlagged(flagged, a, b, step, s, p);
    std::copy(p, p + Lanes, s);
  }
  std::copy(s, s + Lanes, out);
}
#endif

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

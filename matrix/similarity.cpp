#include "matrix/similarity.h"

#include <array>
#include <bit>
#include <cstdlib>

namespace {

constexpr std::size_t Places = 8;
constexpr std::size_t Groups = MatrixCells / Places;

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

}  // namespace

double MatrixSimilarity(const Matrix& a, const Matrix& b) {
  double similarity = 1.0;
  for (std::size_t place = 0; place < Places; ++place) {
    for (std::size_t group = 0; group < Groups; ++group) {
      const std::size_t k = group * Places + place;
      const int difference = std::abs(int{a[k]} - int{b[k]});
      if (difference == 0) continue;  // a factor of exactly 1 changes nothing
      similarity = RoundToDouble(Multiply(CellFactors[difference], ToExtended(similarity)));
    }
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

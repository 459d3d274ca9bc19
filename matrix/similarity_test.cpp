#include "matrix/similarity.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "report/number_format.h"

namespace {

struct Row {
  int line;
  std::vector<std::string> fields;
};

// Data rows of a tab-separated file; '#' lines are headers.
std::vector<Row> ReadRows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot open " << path;
  std::vector<Row> rows;
  std::string text;
  for (int line = 1; std::getline(in, text); ++line) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    Row row{line, {}};
    for (std::size_t start = 0;;) {
      const std::size_t tab = text.find('\t', start);
      row.fields.push_back(text.substr(start, tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::uint64_t ParseHex64(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  EXPECT_TRUE(error == std::errc{} && end == text.data() + text.size()) << text;
  return value;
}

std::string Hex64(std::uint64_t value) {
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = "0123456789abcdef"[value & 0xf];
  return text;
}

std::string DoubleBits(double value) { return Hex64(std::bit_cast<std::uint64_t>(value)); }

TCustomMatrix ParseMatrixFile(const std::string& hex) {
  EXPECT_EQ(hex.size(), 2 * MatrixFileSize);
  TCustomMatrix file;
  for (std::size_t i = 0; i < MatrixCells; ++i) {
    file.IntraMatrix[i] = static_cast<std::uint8_t>(ParseHex64(hex.substr(2 * i, 2)));
    file.InterMatrix[i] = static_cast<std::uint8_t>(ParseHex64(hex.substr(2 * (i + 64), 2)));
  }
  return file;
}

TEST(SimilarityTest, EveryVectorRowInBothArgumentOrders) {
  const std::vector<Row> rows = ReadRows(TEST_DATA_DIR "/matrix/testdata/similarity.tsv");
  ASSERT_FALSE(rows.empty());
  for (const Row& row : rows) {
    ASSERT_EQ(row.fields.size(), 9U) << "line " << row.line;
    const auto& f = row.fields;
    SCOPED_TRACE("line " + std::to_string(row.line) + ": " + f[8]);
    const TCustomMatrix a = ParseMatrixFile(f[0]);
    const TCustomMatrix b = ParseMatrixFile(f[1]);
    for (const auto& [x, y] : {std::pair{a, b}, std::pair{b, a}}) {
      const double intra = IntraSimilarity(x, y);
      const double inter = InterSimilarity(x, y);
      EXPECT_EQ(DoubleBits(intra), f[2]);
      EXPECT_EQ(DoubleBits(inter), f[3]);
      EXPECT_EQ(ToX87Hex(OverallSimilarity(x, y)), f[4]);
      EXPECT_EQ(ToX87Hex(CombineSimilarities(inter, intra)), f[4]);
      EXPECT_EQ(FormatSimilarity(ToExtended(intra)), f[5]);
      EXPECT_EQ(FormatSimilarity(ToExtended(inter)), f[6]);
      EXPECT_EQ(FormatSimilarity(OverallSimilarity(x, y)), f[7]);
    }
  }
}

struct CellDifference {
  std::size_t offset;
  int difference;  // a[offset] - b[offset]
};

std::pair<Matrix, Matrix> MatricesDifferingIn(const std::vector<CellDifference>& cells) {
  Matrix a{}, b{};
  a.fill(100);
  b.fill(100);
  for (const auto& [offset, difference] : cells) {
    a[offset] = static_cast<std::uint8_t>(difference > 0 ? difference : 0);
    b[offset] = static_cast<std::uint8_t>(difference > 0 ? 0 : -difference);
  }
  return {a, b};
}

// Up to three factors of at most 17 bits multiply exactly in a double, so no rounding enters.
TEST(MatrixSimilarityTest, FewDifferingCellsGiveExactProducts) {
  const struct {
    std::vector<CellDifference> cells;
    double expected;
  } cases[] = {
      {{}, 1.0},
      {{{0, 1}}, 65535.0 / 65536},
      {{{63, -255}}, 511.0 / 65536},
      {{{5, 16}, {40, -16}}, (65280.0 / 65536) * (65280.0 / 65536)},
      {{{1, 3}, {9, -100}, {62, 200}}, (65527.0 / 65536) * (55536.0 / 65536) * (25536.0 / 65536)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const auto [a, b] = MatricesDifferingIn(c.cells);
    EXPECT_EQ(MatrixSimilarity(a, b), c.expected);
    EXPECT_EQ(MatrixSimilarity(b, a), c.expected);
  }
}

// With five differing cells only the last product rounds, so the value shows which cell comes
// last. Taken place by place, offsets 0, 8, 2, 3, 4 come in that order; in storage order offset 8
// would come last, which is what swapping the cells at 4 and 8 reproduces: one ulp apart.
TEST(MatrixSimilarityTest, VisitsCellsPlaceByPlace) {
  const auto [a, b] = MatricesDifferingIn({{0, 83}, {2, 243}, {3, 39}, {4, 102}, {8, 167}});
  EXPECT_EQ(DoubleBits(MatrixSimilarity(a, b)), "3fa56871fc22d952");
  const auto [c, d] = MatricesDifferingIn({{0, 83}, {2, 243}, {3, 39}, {4, 167}, {8, 102}});
  EXPECT_EQ(DoubleBits(MatrixSimilarity(c, d)), "3fa56871fc22d953");
}

TEST(MatrixSimilarityTest, IntraAndInterCompareTheirOwnMatrices) {
  TCustomMatrix a, b;
  a.IntraMatrix[7] = 1;
  b.InterMatrix[7] = 2;
  EXPECT_EQ(IntraSimilarity(a, b), 65535.0 / 65536);
  EXPECT_EQ(InterSimilarity(a, b), 65532.0 / 65536);
}

TEST(OverallSimilarityTest, ExactRootsStayExact) {
  EXPECT_EQ(CombineSimilarities(1.0, 1.0), ToExtended(1.0));
  EXPECT_EQ(CombineSimilarities(1.0, 0.25), ToExtended(0.5));
  EXPECT_EQ(CombineSimilarities(21.0 / 64, 21.0 / 64), ToExtended(21.0 / 64));
  // x*x rounded to 64 bits errs by at most 2^-64 relative, its root by 2^-65, less than half a
  // 64-bit ulp of x, so the root of the square of any double is that double again.
  std::mt19937_64 random(99);
  for (int i = 0; i < 10000; ++i) {
    const double x = std::ldexp(static_cast<double>(random() >> 11), -53 - int(random() % 450));
    ASSERT_EQ(CombineSimilarities(x, x), ToExtended(x)) << DoubleBits(x);
  }
}

// Random pairs of several kinds: unrelated, differing in few cells, differing a little in every
// cell, and extreme bytes only, which gives the smallest values.
std::pair<Matrix, Matrix> RandomPair(std::mt19937_64& random) {
  Matrix a, b;
  for (auto& cell : a) cell = static_cast<std::uint8_t>(random());
  b = a;
  switch (random() % 4) {
    case 0:
      for (auto& cell : b) cell = static_cast<std::uint8_t>(random());
      break;
    case 1:
      for (int n = 1 + int(random() % 8); n > 0; --n) b[random() % 64] = std::uint8_t(random());
      break;
    case 2:
      for (auto& cell : b)
        cell = static_cast<std::uint8_t>(std::clamp(cell + int(random() % 7) - 3, 0, 255));
      break;
    default:
      for (auto& cell : a) cell = (random() & 1) ? 255 : 0;
      for (auto& cell : b) cell = (random() & 1) ? 255 : 0;
      break;
  }
  return {a, b};
}

double NaiveMatrixSimilarity(const Matrix& a, const Matrix& b) {
  double s = 1.0;
  for (std::size_t place = 0; place < 8; ++place) {
    for (std::size_t group = 0; group < 8; ++group) {
      const int d = a[8 * group + place] - b[8 * group + place];
      s *= (65536 - d * d) / 65536.0;
    }
  }
  return s;
}

// The fast paths against the integer path, over random pairs of every kind and every block
// length up to three blocks and a bit. A plain double product (one rounding a step) must differ
// somewhere, or the pairs would not reach the steps where the two roundings matter.
TEST(SimilarityDifferentialTest, FastPathsMatchIntegerPath) {
  std::mt19937_64 random(6);
  int naive_differs = 0;
  for (int round = 0; round < 3000; ++round) {
    const Matrix b = RandomPair(random).first;
    std::vector<Matrix> a(1 + round % 27);
    for (Matrix& matrix : a) {
      auto [x, y] = RandomPair(random);
      matrix = random() % 2 ? x : y;
      if (random() % 8 == 0) matrix = b;  // identical pairs too
    }
    std::vector<double> batch(a.size());
    MatrixSimilarities(a, b, batch);
    for (std::size_t i = 0; i < a.size(); ++i) {
      const double exact = ExactMatrixSimilarity(a[i], b);
      ASSERT_EQ(DoubleBits(batch[i]), DoubleBits(exact)) << "round " << round << " pair " << i;
      ASSERT_EQ(DoubleBits(MatrixSimilarity(a[i], b)), DoubleBits(exact));
      naive_differs += NaiveMatrixSimilarity(a[i], b) != exact;
    }
  }
  EXPECT_GT(naive_differs, 100);
}

Extended ExactCellFactor(int d) { return ToExtended((65536 - d * d) / 65536.0); }

// Similarities whose product with the factor of d has its dropped low bits at and around the
// midpoint, at and around the 64-bit rounding's edges, built by solving for the low bits of
// the significand with the inverse of the factor's odd part.
std::vector<double> NearMidpointSimilarities(int d, std::mt19937_64& random) {
  const std::uint64_t factor = 65536 - std::uint64_t(d * d);
  const int twos = std::countr_zero(factor);
  const std::uint64_t odd = factor >> twos;
  std::uint64_t inverse = odd;  // Newton's iteration doubles the correct low bits
  for (int i = 0; i < 6; ++i) inverse *= 2 - odd * inverse;
  std::vector<double> values;
  for (int dropped : {std::bit_width(factor) - 1, std::bit_width(factor)}) {
    const std::int64_t edge = std::int64_t{1} << std::max(dropped - 12, 0);  // half a 64-bit ulp
    for (std::int64_t offset : {std::int64_t{0}, edge, 2 * edge, 4 * edge}) {
      for (std::int64_t nudge : {-2, -1, 0, 1, 2}) {
        for (int sign : {-1, 1}) {
          const std::int64_t low = (std::int64_t{1} << (dropped - 1)) + sign * (offset + nudge);
          if (low % (std::int64_t{1} << twos) != 0) continue;
          const int solved_bits = dropped - twos;
          const std::uint64_t mask = (std::uint64_t{1} << solved_bits) - 1;
          const std::uint64_t solved = (std::uint64_t(low) >> twos) * inverse & mask;
          const std::uint64_t m = (((random() >> 11) | (std::uint64_t{1} << 52)) & ~mask) | solved;
          const UInt128 product = UInt128{m} * factor;
          if (product >> (52 + dropped) != 1) continue;  // not 53 + dropped bits long
          values.push_back(std::ldexp(double(m), -52 - int(random() % 440)));
        }
      }
    }
  }
  return values;
}

TEST(SimilarityDifferentialTest, StepMatchesIntegerPathNearMidpoints) {
  std::mt19937_64 random(66);
  int cases = 0;
  int naive_differs = 0;
  for (int round = 0; round < 40; ++round) {
    for (int d = 1; d < 256; ++d) {
      for (const double s : NearMidpointSimilarities(d, random)) {
        const double exact = RoundToDouble(Multiply(ExactCellFactor(d), ToExtended(s)));
        ASSERT_EQ(DoubleBits(MultiplyByCellFactor(s, d)), DoubleBits(exact))
            << "d " << d << " s " << DoubleBits(s);
        ASSERT_EQ(DoubleBits(MultiplyByCellFactor(s, -d)), DoubleBits(exact));
        naive_differs += s * ((65536 - d * d) / 65536.0) != exact;
        ++cases;
      }
    }
  }
  EXPECT_GT(cases, 100000);
  EXPECT_GT(naive_differs, 1000);
  // Random similarities with every factor, powers of two and 1 included.
  for (int i = 0; i < 200000; ++i) {
    const int d = int(random() % 256);
    double s =
        std::ldexp(double((random() >> 11) | (std::uint64_t{1} << 52)), -52 - int(random() % 449));
    if (i % 16 == 0) s = std::ldexp(1.0, -int(random() % 449));
    const double exact = RoundToDouble(Multiply(ExactCellFactor(d), ToExtended(s)));
    ASSERT_EQ(DoubleBits(MultiplyByCellFactor(s, d)), DoubleBits(exact)) << d << " " << s;
  }
}

#if LDBL_MANT_DIG == 64
// Where long double is the x87 80-bit type, the FPU computes the same steps in hardware, an
// independent second implementation to compare against. Elsewhere long double rounds
// differently, so there is nothing to compare with.

double HardwareMatrixSimilarity(const Matrix& a, const Matrix& b) {
  double s = 1.0;
  for (std::size_t place = 0; place < 8; ++place) {
    for (std::size_t group = 0; group < 8; ++group) {
      const int d = a[8 * group + place] - b[8 * group + place];
      const long double factor = (65536 - d * d) / 65536.0L;
      s = static_cast<double>(factor * static_cast<long double>(s));
    }
  }
  return s;
}

Extended FromLongDouble(long double x) {
  int exponent = 0;
  const long double fraction = frexpl(x, &exponent);
  return {static_cast<std::uint64_t>(ldexpl(fraction, 64)), exponent - 64};
}

TEST(SimilarityDifferentialTest, MatchesX87Hardware) {
  std::mt19937_64 random(2024);
  int mismatches = 0;
  for (int i = 0; i < 200000; ++i) {
    const auto [intra_a, intra_b] = RandomPair(random);
    const auto [inter_a, inter_b] = RandomPair(random);
    const TCustomMatrix a{intra_a, inter_a}, b{intra_b, inter_b};
    const double intra = HardwareMatrixSimilarity(intra_a, intra_b);
    const double inter = HardwareMatrixSimilarity(inter_a, inter_b);
    const long double overall = sqrtl(static_cast<long double>(intra) * inter);
    const bool same = std::bit_cast<std::uint64_t>(IntraSimilarity(a, b)) ==
                          std::bit_cast<std::uint64_t>(intra) &&
                      std::bit_cast<std::uint64_t>(InterSimilarity(a, b)) ==
                          std::bit_cast<std::uint64_t>(inter) &&
                      OverallSimilarity(a, b) == FromLongDouble(overall);
    if (!same && ++mismatches <= 5) {
      ADD_FAILURE() << "pair " << i << ": hardware intra " << DoubleBits(intra) << " inter "
                    << DoubleBits(inter) << " overall " << ToX87Hex(FromLongDouble(overall));
    }
  }
  EXPECT_EQ(mismatches, 0);
}
#endif

}  // namespace

// Micro-benchmarks of the measures and the number format, in ns per call.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "matrix/similarity.h"
#include "report/number_format.h"

namespace {

// Files like the ones bench/run makes: a few base matrices with some noise.
std::vector<TCustomMatrix> SampleFiles(std::size_t count) {
  std::mt19937_64 random(6);
  std::vector<TCustomMatrix> bases(8);
  for (auto& base : bases) {
    for (auto& cell : base.IntraMatrix) cell = static_cast<std::uint8_t>(random());
    for (auto& cell : base.InterMatrix) cell = static_cast<std::uint8_t>(random());
  }
  std::vector<TCustomMatrix> files(count);
  for (auto& file : files) {
    file = bases[random() % bases.size()];
    for (auto& cell : file.IntraMatrix) cell = static_cast<std::uint8_t>(cell + random() % 16);
    for (auto& cell : file.InterMatrix) cell = static_cast<std::uint8_t>(cell + random() % 16);
  }
  return files;
}

const std::vector<TCustomMatrix> Files = SampleFiles(1024);

void BM_MatrixSimilarity(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(MatrixSimilarity(Files[i].IntraMatrix, Files[i + 1].IntraMatrix));
    i = (i + 1) % (Files.size() - 1);
  }
}
BENCHMARK(BM_MatrixSimilarity);

void BM_ExactMatrixSimilarity(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExactMatrixSimilarity(Files[i].IntraMatrix, Files[i + 1].IntraMatrix));
    i = (i + 1) % (Files.size() - 1);
  }
}
BENCHMARK(BM_ExactMatrixSimilarity);

// ns per pair when a row of pairs is computed at once, as the report does.
void BM_MatrixSimilarities(benchmark::State& state) {
  std::vector<Matrix> a(Files.size());
  for (std::size_t i = 0; i < a.size(); ++i) a[i] = Files[i].IntraMatrix;
  std::vector<double> out(a.size());
  for (auto _ : state) {
    MatrixSimilarities(a, Files[0].IntraMatrix, out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * a.size()));
}
BENCHMARK(BM_MatrixSimilarities);

// A whole pair: intra, inter and the overall value from them.
void BM_PairSimilarities(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    const double intra = IntraSimilarity(Files[i], Files[i + 1]);
    const double inter = InterSimilarity(Files[i], Files[i + 1]);
    benchmark::DoNotOptimize(intra);
    benchmark::DoNotOptimize(inter);
    benchmark::DoNotOptimize(CombineSimilarities(intra, inter));
    i = (i + 1) % (Files.size() - 1);
  }
}
BENCHMARK(BM_PairSimilarities);

void BM_WriteSimilarity(benchmark::State& state) {
  std::vector<Extended> values;
  for (std::size_t i = 0; i + 1 < Files.size(); ++i) {
    values.push_back(OverallSimilarity(Files[i], Files[i + 1]));
  }
  char text[kMaxSimilarityText];
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(WriteSimilarity(text, values[i]));
    benchmark::ClobberMemory();
    i = (i + 1) % values.size();
  }
}
BENCHMARK(BM_WriteSimilarity);

}  // namespace

BENCHMARK_MAIN();

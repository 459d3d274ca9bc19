#include "report/report.h"

#include <vector>

#include "matrix/similarity.h"
#include "report/number_format.h"

namespace {

// Position of the pair (column, row), column > row, in the order the tables
// visit them.
std::size_t PairIndex(std::size_t count, std::size_t column, std::size_t row) {
  return row * (2 * count - row - 1) / 2 + (column - row - 1);
}

}  // namespace

void AppendFileTag(std::string& text, std::size_t number) {
  const std::string digits = std::to_string(number);
  text.push_back('[');
  if (digits.size() < 3) text.append(3 - digits.size(), ' ');
  text.append(digits).push_back(']');
}

void WriteSimilarityTable(std::string_view title, const FileList& list, const PairMeasure& measure,
                          OutputStream& out) {
  const std::size_t count = list.Count();
  WriteLine(out, title);
  std::string line = "\t";
  for (std::size_t column = 1; column < count; ++column) {
    AppendFileTag(line, column + 1);
    line.push_back('\t');
  }
  WriteLine(out, line);
  for (std::size_t row = 0; row + 1 < count; ++row) {
    line.clear();
    AppendFileTag(line, row + 1);
    line.append(row + 1, '\t');
    for (std::size_t column = row + 1; column < count; ++column) {
      AppendSimilarity(line, measure(column, row));
      line.push_back('\t');
    }
    WriteLine(out, line);
  }
}

void WriteReport(const FileList& list, OutputStream& out, OutputStream& err,
                 std::size_t max_kept_pairs) {
  const std::size_t count = list.Count();
  std::string line;
  for (std::size_t position = 0; position < count; ++position) {
    line.clear();
    AppendFileTag(line, position + 1);
    line.append("\t").append(list[position].name);
    WriteLine(out, line);
  }
  WriteLine(out, "");
  WriteLine(err, std::to_string(count) + " files to cross-compare:");

  const std::size_t pairs = count < 2 ? 0 : count * (count - 1) / 2;
  const bool keep = pairs <= max_kept_pairs;
  std::vector<double> intra(keep ? pairs : 0);
  std::vector<double> inter(keep ? pairs : 0);
  const auto matrix = [&](std::size_t position) -> const TCustomMatrix& {
    return list[position].matrix;
  };

  WriteSimilarityTable(
      "Intra matrix similarities:", list,
      [&](std::size_t column, std::size_t row) {
        const double value = IntraSimilarity(matrix(column), matrix(row));
        if (keep) intra[PairIndex(count, column, row)] = value;
        return ToExtended(value);
      },
      out);
  WriteLine(out, "");
  WriteSimilarityTable(
      "Inter matrix similarities:", list,
      [&](std::size_t column, std::size_t row) {
        const double value = InterSimilarity(matrix(column), matrix(row));
        if (keep) inter[PairIndex(count, column, row)] = value;
        return ToExtended(value);
      },
      out);
  WriteLine(out, "");
  WriteSimilarityTable(
      "Overall similarities:", list,
      [&](std::size_t column, std::size_t row) {
        if (!keep) return OverallSimilarity(matrix(column), matrix(row));
        const std::size_t index = PairIndex(count, column, row);
        return CombineSimilarities(intra[index], inter[index]);
      },
      out);
  // The finish line says the report is complete, so the report is passed
  // on first: a failure to write it must show instead of the finish line.
  out.Flush();
  err.Write("\rCross compare finished.\r\n");
}

#include "report/report.h"

#include <clocale>

#include <gtest/gtest.h>

namespace {

FileList ListOf(std::size_t count) {
  std::setlocale(LC_ALL, "C");
  FileList list;
  for (std::size_t i = 0; i < count; ++i) {
    TCustomMatrix matrix;
    matrix.IntraMatrix.fill(static_cast<std::uint8_t>(i));
    list.Add("f" + std::to_string(10 + i), matrix);
  }
  return list;
}

// A measure whose value tells which pair it was asked for: 0.<column><row>.
Extended PairCode(std::size_t column, std::size_t row) {
  return ToExtended(static_cast<double>(column * 10 + row) / 100);
}

}  // namespace

TEST(AppendFileTag, IsFiveCharactersUpTo999) {
  const struct {
    std::size_t number;
    const char* tag;
  } cases[] = {{1, "[  1]"},   {42, "[ 42]"},    {256, "[256]"},
               {999, "[999]"}, {1000, "[1000]"}, {12345, "[12345]"}};
  for (const auto& c : cases) {
    std::string text = "x";
    AppendFileTag(text, c.number);
    EXPECT_EQ(text, std::string("x") + c.tag);
  }
}

TEST(WriteSimilarityTable, IsTheUpperTriangleWithColumnAsA) {
  StringOutput out;
  WriteSimilarityTable("Title:", ListOf(4), PairCode, out);
  EXPECT_EQ(out.text,
            "Title:\r\n"
            "\t[  2]\t[  3]\t[  4]\t\r\n"
            "[  1]\t0.10000\t0.20000\t0.30000\t\r\n"
            "[  2]\t\t0.21000\t0.31000\t\r\n"
            "[  3]\t\t\t0.32000\t\r\n");
}

TEST(WriteSimilarityTable, WithoutPairsIsTitleAndOneTab) {
  for (std::size_t count : {0, 1}) {
    StringOutput out;
    WriteSimilarityTable("T:", ListOf(count), PairCode, out);
    EXPECT_EQ(out.text, "T:\r\n\t\r\n") << count;
  }
}

TEST(WriteReport, ListsFilesCountsAndWritesThreeTables) {
  StringOutput out;
  StringOutput err;
  WriteReport(ListOf(2), out, err);
  EXPECT_EQ(out.text,
            "[  1]\tf10\r\n[  2]\tf11\r\n\r\n"
            "Intra matrix similarities:\r\n\t[  2]\t\r\n[  1]\t0.99902\t\r\n\r\n"
            "Inter matrix similarities:\r\n\t[  2]\t\r\n[  1]\t1.00000\t\r\n\r\n"
            "Overall similarities:\r\n\t[  2]\t\r\n[  1]\t0.99951\t\r\n");
  EXPECT_EQ(err.text, "2 files to cross-compare:\r\n\rCross compare finished.\r\n");
}

TEST(WriteReport, RecomputedValuesEqualKeptOnes) {
  FileList list;
  for (int i = 0; i < 6; ++i) {
    TCustomMatrix matrix;
    for (std::size_t k = 0; k < 64; ++k) {
      matrix.IntraMatrix[k] = static_cast<std::uint8_t>(k * (i + 1));
      matrix.InterMatrix[k] = static_cast<std::uint8_t>(200 - k * i);
    }
    list.Add("m" + std::to_string(i), matrix);
  }
  StringOutput kept, recomputed, err;
  WriteReport(list, kept, err);
  WriteReport(list, recomputed, err, 0);
  EXPECT_EQ(kept.text, recomputed.text);
  EXPECT_NE(kept.text.find("Overall similarities:\r\n\t[  2]"), std::string::npos);
}

#include "app/file_list.h"

#include <clocale>

#include <gtest/gtest.h>

namespace {

TCustomMatrix Marked(std::uint8_t mark) {
  TCustomMatrix matrix;
  matrix.IntraMatrix[0] = mark;
  return matrix;
}

std::vector<std::string> Names(const FileList& list) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < list.Count(); ++i) names.push_back(list[i].name);
  return names;
}

class FileListTest : public testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_ALL, "C"); }
};

}  // namespace

TEST_F(FileListTest, KeepsNamesSortedIgnoringCase) {
  FileList list;
  for (const char* name : {"b.bin", "C.bin", "a_b.bin", "A.bin", "ab.bin", "10.bin", "9.bin"})
    EXPECT_TRUE(list.Add(name, TCustomMatrix{}));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"10.bin", "9.bin", "A.bin", "a_b.bin", "ab.bin",
                                                   "b.bin", "C.bin"}));
}

TEST_F(FileListTest, FirstOfEqualNamesIsKeptWithItsContents) {
  FileList list;
  EXPECT_TRUE(list.Add("a.bin", Marked(1)));
  EXPECT_TRUE(list.Add("b.bin", Marked(2)));
  EXPECT_FALSE(list.Add("A.BIN", Marked(3)));
  EXPECT_FALSE(list.Add("a.bin", Marked(4)));
  ASSERT_EQ(Names(list), (std::vector<std::string>{"a.bin", "b.bin"}));
  EXPECT_EQ(list[0].matrix.IntraMatrix[0], 1);
  EXPECT_EQ(list[1].matrix.IntraMatrix[0], 2);
}

TEST_F(FileListTest, HoldsAnyNumberOfFiles) {
  FileList list;
  for (int i = 999; i >= 0; --i) list.Add("f" + std::to_string(1000 + i), Marked(0));
  ASSERT_EQ(list.Count(), 1000u);
  EXPECT_EQ(list[0].name, "f1000");
  EXPECT_EQ(list[999].name, "f1999");
}

#include "app/collect.h"

#include <clocale>

#include <gtest/gtest.h>

#include "platform/fake_file_system.h"

namespace {

std::string MatrixBytes(char fill) { return std::string(128, fill); }

class CollectFilesTest : public testing::Test {
 protected:
  void SetUp() override { std::setlocale(LC_ALL, "C"); }

  FileList Collect(std::vector<std::string> masks) { return CollectFiles(masks, fs); }

  static std::vector<std::string> Names(const FileList& list) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < list.Count(); ++i) names.push_back(list[i].name);
    return names;
  }

  FakeFileSystem fs;
};

}  // namespace

TEST_F(CollectFilesTest, ListsBareNamesInSortedOrderWhateverTheArgumentOrder) {
  fs.Add("x/B.bin", MatrixBytes(1));
  fs.Add("y/a.bin", MatrixBytes(2));
  const FileList list = Collect({"x/*.bin", "y/*.bin"});
  EXPECT_EQ(Names(list), (std::vector<std::string>{"a.bin", "B.bin"}));
  EXPECT_EQ(list[0].matrix.IntraMatrix[0], 2);
  EXPECT_EQ(fs.opened, (std::vector<std::string>{"x/B.bin", "x/B.bin", "y/a.bin", "y/a.bin"}));
}

TEST_F(CollectFilesTest, FirstCollectedOfEqualNamesWins) {
  fs.Add("one/a.bin", MatrixBytes(1));
  fs.Add("two/A.BIN", MatrixBytes(2));
  fs.Add("two/c.bin", MatrixBytes(3));
  for (const auto& [masks, kept] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{"one/*", "two/*"}, 1}, {{"two/*", "one/*"}, 2}}) {
    const FileList list = Collect(masks);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list[0].matrix.IntraMatrix[0], kept) << masks[0];
    EXPECT_EQ(list[0].name, kept == 1 ? "a.bin" : "A.BIN");
  }
}

TEST_F(CollectFilesTest, OneFileThroughTwoMasksIsLoadedTwiceAndListedOnce) {
  fs.Add("m.bin", MatrixBytes(1));
  const FileList list = Collect({"*.bin", "m.bin"});
  EXPECT_EQ(Names(list), std::vector<std::string>{"m.bin"});
  EXPECT_EQ(fs.opened.size(), 4u);
}

TEST_F(CollectFilesTest, MasksThatMatchNothingAndDirectoriesAreSkipped) {
  fs.Add("d/a.bin", MatrixBytes(1));
  fs.AddDirectory("d/sub.bin");
  fs.Add("d/sub.bin/inner.bin", MatrixBytes(2));
  EXPECT_EQ(Names(Collect({"d/*.bin", "nothing*", "d/", ""})), std::vector<std::string>{"a.bin"});
}

TEST_F(CollectFilesTest, FirstBadFileInCollectionOrderEndsTheRun) {
  fs.Add("a/1.bin", MatrixBytes(1));
  fs.Add("a/2.bin", std::string(5, 'x'));
  fs.Add("b/0.bin", std::string(7, 'x'));
  try {
    Collect({"a/*", "b/*"});
    FAIL() << "collected";
  } catch (const EMatrixFileError& error) {
    EXPECT_EQ(error.status(), 3);
    EXPECT_NE(error.lines()[0].find("\"a/2.bin\""), std::string::npos) << error.lines()[0];
  }
}

TEST_F(CollectFilesTest, DuplicateNameIsStillValidated) {
  fs.Add("a/m.bin", MatrixBytes(1));
  fs.Add("b/M.BIN", std::string(3, 'x'));
  EXPECT_THROW(Collect({"a/*", "b/*"}), EMatrixFileError);
}

TEST_F(CollectFilesTest, ThreeHundredMasksAndFilesAreAllKept) {
  std::vector<std::string> masks;
  for (int i = 0; i < 300; ++i) {
    const std::string name = "f" + std::to_string(1000 + i) + ".bin";
    fs.Add(name, MatrixBytes(static_cast<char>(i)));
    masks.push_back(name);
  }
  const FileList list = Collect(masks);
  ASSERT_EQ(list.Count(), 300u);
  EXPECT_EQ(list[299].name, "f1299.bin");
  EXPECT_EQ(list[299].matrix.IntraMatrix[0], 299 % 256);
}

#include "app/run.h"

#include <clocale>

#include <gtest/gtest.h>

#include "platform/fake_file_system.h"

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome RunWith(FakeFileSystem& fs, std::vector<std::string> masks) {
  std::setlocale(LC_ALL, "C");
  StringOutput out;
  StringOutput err;
  const int status = RunPellando(masks, fs, out, err);
  return {status, out.text, err.text};
}

}  // namespace

TEST(RunPellando, WithoutMasksShowsTheSyntax) {
  FakeFileSystem fs;
  const Outcome outcome = RunWith(fs, {});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err, "Syntax: Pellando <filemask> [...]\r\n");
}

TEST(RunPellando, BadFileWritesOnlyTheErrorLines) {
  const struct {
    std::size_t size;
    int open_error;
    int status;
    const char* err;
  } cases[] = {
      {127, 0, 3, "ERROR: File \"d/b.bin\" is not a matrix file (must be 128 bytes=!\r\n"},
      {128, 5, 4, "ERROR: Could not read file \"d/b.bin\"!\r\nDateizugriff verweigert\r\n"},
  };
  for (const auto& c : cases) {
    FakeFileSystem fs;
    fs.Add("d/a.bin", std::string(128, 'a'));
    fs.Add("d/b.bin", std::string(c.size, 'b')).open_error = c.open_error;
    const Outcome outcome = RunWith(fs, {"d/*.bin"});
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.err);
  }
}

TEST(RunPellando, SuccessWritesTheReport) {
  FakeFileSystem fs;
  fs.Add("b.bin", std::string(128, 'x'));
  fs.Add("A.bin", std::string(128, 'x'));
  const Outcome outcome = RunWith(fs, {"*.bin"});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.out.substr(0, 28), "[  1]\tA.bin\r\n[  2]\tb.bin\r\n\r\n");
  EXPECT_EQ(outcome.err, "2 files to cross-compare:\r\n\rCross compare finished.\r\n");
}

#include "platform/collate.h"

#include <algorithm>
#include <clocale>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

class CompareNamesTest : public testing::Test {
 protected:
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
  static bool UseLocale(const char* name) { return std::setlocale(LC_ALL, name) != nullptr; }
};

}  // namespace

TEST_F(CompareNamesTest, CLocaleFoldsAsciiThenOrdersByByte) {
  ASSERT_TRUE(UseLocale("C"));
  const struct {
    const char* a;
    const char* b;
    int order;
  } cases[] = {
      {"a.bin", "A.BIN", 0},
      {"a.bin", "B.bin", -1},
      {"Zeta", "alpha", 1},
      {"a_b", "ab", -1},  // '_' sorts before letters, as they fold to lower case
      {"ab", "abc", -1},
      {"", "a", -1},
      {"\xc3\xbc", "\xc3\x9c", 1},  // no folding beyond ASCII: bytes decide
      {"\xff", "z", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(CompareNames(c.a, c.b)), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(CompareNames(c.b, c.a)), -c.order) << c.b << " / " << c.a;
  }
}

TEST_F(CompareNamesTest, Utf8LocaleFoldsNonAsciiLetters) {
  ASSERT_TRUE(UseLocale("C.UTF-8"));
  EXPECT_EQ(CompareNames("\xc3\xbc.bin", "\xc3\x9c.BIN"), 0);            // ü, Ü
  EXPECT_EQ(CompareNames("\xc3\x89t\xc3\xa9", "\xc3\xa9T\xc3\x89"), 0);  // Été, éTÉ
  EXPECT_LT(CompareNames("z.bin", "\xc3\xbc.bin"), 0);
  // A stray byte is not a character; it sorts after all of them.
  EXPECT_GT(CompareNames("\xc3", "\xf4\x8f\xbf\xbf"), 0);
  EXPECT_NE(CompareNames("\xc3", "\xc4"), 0);
}

TEST_F(CompareNamesTest, IsAStrictWeakOrderingOnArbitraryBytes) {
  for (const char* locale : {"C", "C.UTF-8"}) {
    ASSERT_TRUE(UseLocale(locale));
    std::mt19937 random(7);
    const std::string alphabet = "aAbB_.\xc3\xbc\x9c\xa4\x84\xff\x80\xe2";
    std::vector<std::string> names(300);
    for (std::string& name : names) {
      const std::size_t size = random() % 6;
      for (std::size_t i = 0; i < size; ++i) name.push_back(alphabet[random() % alphabet.size()]);
    }
    for (const std::string& a : names) {
      EXPECT_EQ(CompareNames(a, a), 0);
      for (const std::string& b : names) {
        ASSERT_EQ(Sign(CompareNames(a, b)), -Sign(CompareNames(b, a))) << locale;
      }
    }
    // Sorting and then checking neighbours catches intransitive orders.
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
    for (std::size_t i = 0; i + 1 < names.size(); ++i)
      for (std::size_t j = i + 1; j < names.size(); ++j)
        ASSERT_LE(CompareNames(names[i], names[j]), 0) << locale << " " << i << " " << j;
  }
}

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/collate.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

TEST(CompareNamesWin32, IgnoresCaseUnderTheUsersLocale) {
  const struct {
    const char* a;
    const char* b;
    int order;
  } cases[] = {
      {"a.bin", "A.BIN", 0},
      {"a.bin", "B.bin", -1},
      {"Zeta", "alpha", 1},
      {"ab", "abc", -1},
      {"", "a", -1},
      {"\xc3\xbc.bin", "\xc3\x9c.BIN", 0},  // ü, Ü: the names are UTF-8
      {"z.bin", "\xc3\xbc.bin", 1},         // the locale puts ü beside u
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(CompareNames(c.a, c.b)), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(CompareNames(c.b, c.a)), -c.order) << c.b << " / " << c.a;
  }
}

TEST(CompareNamesWin32, IsAStrictWeakOrdering) {
  std::mt19937 random(7);
  const std::string alphabet = "aAbB_-.0\xc3\xbc";
  std::vector<std::string> names(200);
  for (std::string& name : names) {
    const std::size_t size = random() % 6;
    for (std::size_t i = 0; i < size; ++i) name.push_back(alphabet[random() % alphabet.size()]);
  }
  for (const std::string& a : names) {
    EXPECT_EQ(CompareNames(a, a), 0);
    for (const std::string& b : names)
      ASSERT_EQ(Sign(CompareNames(a, b)), -Sign(CompareNames(b, a)));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
  for (std::size_t i = 0; i + 1 < names.size(); ++i)
    for (std::size_t j = i + 1; j < names.size(); ++j)
      ASSERT_LE(CompareNames(names[i], names[j]), 0) << i << " " << j;
}

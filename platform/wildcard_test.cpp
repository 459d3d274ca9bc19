#include "platform/wildcard.h"

#include <string>

#include <gtest/gtest.h>

TEST(MatchesWildcard, Cases) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } cases[] = {
      {"*.bin", "a.bin", true},
      {"*.bin", ".h.bin", true},  // a leading dot is an ordinary character
      {"*.bin", "a.BIN", false},  // case-sensitive
      {"*.bin", "a.bin.bak", false},
      {"*.bin", ".bin", true},
      {"?.bin", "a.bin", true},
      {"?.bin", "ab.bin", false},
      {"?.bin", ".bin", false},
      {"a?c", "abc", true},
      {"a*", "a", true},
      {"*", "anything", true},
      {"**", "x", true},
      {"", "", true},
      {"", "a", false},
      {"a*b*c", "aXbYc", true},
      {"a*b*c", "aXbYcZ", false},
      {"*ab", "aab", true},
      {"*.*", "noext", false},
      {"[ab].bin", "[ab].bin", true},  // brackets are not special
      {"[ab].bin", "a.bin", false},
      {"exact.bin", "exact.bin", true},
      {"exact.bin", "exact.bi", false},
      {"\xc3\xbc*", "\xc3\xbc.bin", true},  // bytes, not characters
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.match) << c.pattern << " / " << c.name;
}

TEST(MatchesWildcard, ManyStarsStayFast) {
  // A naive backtracking matcher takes exponential time here.
  const std::string name(20000, 'a');
  EXPECT_FALSE(MatchesWildcard("*a*a*a*a*a*a*a*a*a*a*b", name));
  EXPECT_TRUE(MatchesWildcard("*a*a*a*a*a*a*a*a*a*a*", name));
}

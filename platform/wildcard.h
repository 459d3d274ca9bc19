#pragma once

#include <string_view>

// Whether `name` matches `pattern`, where * stands for any run of characters
// and ? for exactly one; every other byte matches only itself. Runs in
// O(|pattern| * |name|) at worst, never exponentially.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

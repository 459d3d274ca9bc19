#pragma once
// The report's text for a similarity value.

#include <cstddef>
#include <string>

#include "matrix/extended.h"

// Appends value as fixed point with 5 decimals, at least 7 characters ("d.ddddd"). The value is
// first rounded to 17 decimals (a 64-bit-significand product with 10^17, then to an integer,
// both to nearest even), then half up at the fifth decimal from the sixth digit alone, so that
// 21/64 gives 0.32813. Supports 0 <= value <= 2^64 (throws std::out_of_range beyond); past
// about 2^47 the 64-bit product with 10^17 no longer holds every digit shown.
void AppendSimilarity(std::string& out, Extended value);

// Room for AppendSimilarity's longest text, 26 characters (2^64 with 5 decimals).
inline constexpr std::size_t kMaxSimilarityText = 27;

// Writes AppendSimilarity's text at `out`, which has room for kMaxSimilarityText characters;
// returns the end of what was written.
char* WriteSimilarity(char* out, Extended value);

// AppendSimilarity to an empty string.
std::string FormatSimilarity(Extended value);

#pragma once

#include <string_view>

// Compares two file names as the file list orders them: letter case ignored
// under the current locale (LC_CTYPE), then by character. Returns <0, 0, >0.
// A strict weak ordering for any bytes, also ones that are no valid text.
int CompareNames(std::string_view a, std::string_view b);

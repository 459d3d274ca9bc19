// MatchesWildcard against a plain dynamic-programming matcher, on any mask
// and name, with names stretched long so that backtracking blow-ups show.
// Input: one byte of repeat count, the mask, a NUL, the name.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wildcard.h"

namespace {

// Whether name matches pattern, by the table of which prefixes match which.
bool ReferenceMatch(std::string_view pattern, std::string_view name) {
  std::vector<char> row(name.size() + 1, 0);  // row[j]: pattern so far matches name[0, j)
  row[0] = 1;
  for (const char p : pattern) {
    std::vector<char> next(name.size() + 1, 0);
    if (p == '*') {
      char any = 0;
      for (std::size_t j = 0; j <= name.size(); ++j) next[j] = any = any || row[j];
    } else {
      for (std::size_t j = 1; j <= name.size(); ++j)
        next[j] = row[j - 1] && (p == '?' || p == name[j - 1]);
    }
    row.swap(next);
  }
  return row[name.size()] != 0;
}

[[noreturn]] void Fail(const char* what, std::string_view pattern, std::size_t name_size) {
  std::fprintf(stderr, "%s: mask of %zu bytes, name of %zu bytes\n", what, pattern.size(),
               name_size);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t repeats = 1 + data[0];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t nul = input.find('\0');
  const std::string_view pattern = input.substr(0, nul);
  const std::string_view piece = nul == std::string_view::npos ? "" : input.substr(nul + 1);
  std::string name;
  for (std::size_t i = 0; i < repeats && name.size() < 64 * 1024; ++i) name.append(piece);

  const auto start = std::chrono::steady_clock::now();
  const bool match = MatchesWildcard(pattern, name);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // At most |mask| x |name| steps; a backtracking matcher takes far longer.
  const double steps =
      static_cast<double>(pattern.size() + 1) * static_cast<double>(name.size() + 1);
  if (seconds > 1.0 + steps * 1e-7) Fail("matching took too long", pattern, name.size());

  if (steps <= 4e6 && match != ReferenceMatch(pattern, name))
    Fail("differs from the reference matcher", pattern, name.size());
  return 0;
}

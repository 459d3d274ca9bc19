// CompareNames on three names of any bytes, in the C and the C.UTF-8 locale:
// it must stay a strict weak ordering, or the sorted file list breaks.
// Input: two bytes that split the rest into the three names.
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/collate.h"

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

void Check(bool ok, const char* what, const char* locale) {
  if (!ok) {
    std::fprintf(stderr, "%s in locale %s\n", what, locale);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t first = data[0] % (rest.size() + 1);
  const std::size_t second = first + data[1] % (rest.size() - first + 1);
  const std::string_view names[3] = {rest.substr(0, first), rest.substr(first, second - first),
                                     rest.substr(second)};
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr) std::abort();
    int order[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) order[i][j] = Sign(CompareNames(names[i], names[j]));
    for (int i = 0; i < 3; ++i) {
      Check(order[i][i] == 0, "a name differs from itself", locale);
      Check(Sign(CompareNames(names[i], names[i])) == 0, "not repeatable", locale);
      for (int j = 0; j < 3; ++j) {
        Check(order[i][j] == -order[j][i], "not antisymmetric", locale);
        for (int k = 0; k < 3; ++k) {
          if (order[i][j] <= 0 && order[j][k] <= 0)
            Check(order[i][k] <= 0, "not transitive", locale);
          if (order[i][j] == 0)
            Check(order[i][k] == order[j][k], "equal names order apart", locale);
        }
      }
    }
  }
  return 0;
}

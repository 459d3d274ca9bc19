#include <windows.h>

#include <climits>

#include "platform/collate.h"

namespace {

int ByteOrder(std::string_view a, std::string_view b) {
  const int order = a.compare(b);
  return (order > 0) - (order < 0);
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
  // Names are far shorter than INT_MAX; a longer one is compared by bytes.
  if (a.size() > INT_MAX || b.size() > INT_MAX) return ByteOrder(a, b);
  // LOCALE_USE_CP_ACP: the names are decoded in the code page the file
  // search gave them in (UTF-8 by the manifest), not the locale's own one.
  const int result =
      ::CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE | LOCALE_USE_CP_ACP, a.data(),
                       static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
  // 0 means the comparison failed (no such locale): bytes decide then.
  return result == 0 ? ByteOrder(a, b) : result - CSTR_EQUAL;
}

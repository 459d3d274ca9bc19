#include <cctype>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/collate.h"

namespace {

// Bytes that do not decode in the locale's encoding sort after every
// character, each by its value.
constexpr char32_t kUndecodable = 0x110000;

// The name as a sequence of case-folded characters.
std::u32string FoldedCharacters(std::string_view name) {
  std::u32string folded;
  folded.reserve(name.size());
  if (MB_CUR_MAX == 1) {
    for (unsigned char byte : name) folded.push_back(static_cast<char32_t>(std::tolower(byte)));
    return folded;
  }
  std::mbstate_t state{};
  while (!name.empty()) {
    wchar_t wide;
    const std::size_t used = std::mbrtowc(&wide, name.data(), name.size(), &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2)) {
      folded.push_back(kUndecodable + static_cast<unsigned char>(name.front()));
      name.remove_prefix(1);
      state = std::mbstate_t{};
      continue;
    }
    folded.push_back(static_cast<char32_t>(std::towlower(static_cast<std::wint_t>(wide))));
    name.remove_prefix(used == 0 ? 1 : used);  // 0: an embedded NUL
  }
  return folded;
}

}  // namespace

int CompareNames(std::string_view a, std::string_view b) {
  return FoldedCharacters(a).compare(FoldedCharacters(b));
}

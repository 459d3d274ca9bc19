#include "app/file_list.h"

#include <algorithm>

#include "platform/collate.h"

bool FileList::Add(std::string name, const TCustomMatrix& matrix) {
  const auto place = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [](const Entry& entry, const std::string& key) { return CompareNames(entry.name, key) < 0; });
  if (place != entries_.end() && CompareNames(place->name, name) == 0) return false;
  entries_.insert(place, Entry{std::move(name), matrix});
  return true;
}

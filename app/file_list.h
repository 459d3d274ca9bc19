#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "matrix/matrix.h"

// The run's files, kept sorted by CompareNames, each name held once.
class FileList {
 public:
  // One file: its bare name and its contents.
  struct Entry {
    std::string name;
    TCustomMatrix matrix;
  };

  // Inserts the entry at its sorted place, unless a name that compares equal
  // is already held: then the list stays as it is and false is returned.
  bool Add(std::string name, const TCustomMatrix& matrix);

  // The number of files.
  std::size_t Count() const { return entries_.size(); }
  // The file at `position`, counted from 0 in sorted order.
  const Entry& operator[](std::size_t position) const { return entries_[position]; }

 private:
  std::vector<Entry> entries_;
};

#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "app/file_list.h"
#include "matrix/extended.h"
#include "platform/stream.h"

// A similarity of two files given by their list positions: the column's
// file (A) and the row's file (B).
using PairMeasure = std::function<Extended(std::size_t column, std::size_t row)>;

// Appends the tag of file `number`: "[", the number right-aligned in 3
// characters, "]" ("[  1]", "[256]", "[1000]").
void AppendFileTag(std::string& text, std::size_t number);

// Writes the table `title` of `measure` for every pair of files in `list` to
// `out`: a heading line of column tags, then row r holding r TABs and the
// values of file r + 1 with each later file. Every such line ends in a TAB.
void WriteSimilarityTable(std::string_view title, const FileList& list, const PairMeasure& measure,
                          OutputStream& out);

// Pairs whose intra and inter values WriteReport keeps for the overall table
// (16 bytes a pair); past this it computes them again, bounding memory.
inline constexpr std::size_t kMaxKeptPairs = std::size_t{1} << 21;

// Writes the numbered file list and the intra, inter and overall tables to
// `out`, and the count line and the finish line to `err`. Each pair's intra
// and inter values are computed once when there are at most `max_kept_pairs`.
void WriteReport(const FileList& list, OutputStream& out, OutputStream& err,
                 std::size_t max_kept_pairs = kMaxKeptPairs);

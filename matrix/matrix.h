#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"

// Length in bytes of every matrix file: the intra matrix, then the inter matrix.
inline constexpr std::size_t MatrixFileSize = 128;

// Cells in one 8x8 matrix; cell k is at place k % 8 of group k / 8.
inline constexpr std::size_t MatrixCells = 64;

// One 8x8 matrix of byte cells, in file order.
using Matrix = std::array<std::uint8_t, MatrixCells>;

// One loaded matrix file: bytes 0..63 and 64..127, unchanged.
struct TCustomMatrix {
  Matrix IntraMatrix{};
  Matrix InterMatrix{};
};

// A matched file that cannot be taken: the lines to show on standard error
// (without line ends) and the exit status that ends the run.
class EMatrixFileError : public std::exception {
 public:
  EMatrixFileError(int status, std::vector<std::string> lines)
      : status_(status), lines_(std::move(lines)) {}
  // 3 when the file is not a matrix file, 4 when it cannot be read.
  int status() const { return status_; }
  // The message, one string a line.
  const std::vector<std::string>& lines() const { return lines_; }
  const char* what() const noexcept override { return lines_.front().c_str(); }

 private:
  int status_;
  std::vector<std::string> lines_;
};

// Checks that the file `name` is 128 bytes long and reads it. Throws
// EMatrixFileError (status 3) for any other length, before reading a byte,
// and EMatrixFileError (status 4) when an open, size, read or close fails.
TCustomMatrix LoadMatrix(FileSystem& file_system, const std::string& name);

#include "matrix/matrix.h"

#include "platform/io_error.h"

namespace {

[[noreturn]] void ThrowUnreadable(const std::string& name, const EInOutError& error) {
  throw EMatrixFileError(4, {"ERROR: Could not read file \"" + name + "\"!", error.what()});
}

}  // namespace

TCustomMatrix LoadMatrix(FileSystem& file_system, const std::string& name) {
  // The length is known before any byte is read, so a short file is always
  // reported as the wrong size, never as a failed read.
  try {
    const std::unique_ptr<File> file = file_system.OpenRead(name);
    if (file->Size() != MatrixFileSize) {
      throw EMatrixFileError(
          3, {"ERROR: File \"" + name + "\" is not a matrix file (must be 128 bytes=!"});
    }
    file->Close();
  } catch (const EInOutError& error) {
    ThrowUnreadable(name, error);
  }

  TCustomMatrix matrix;
  try {
    const std::unique_ptr<File> file = file_system.OpenRead(name);
    file->Read(matrix.IntraMatrix);
    file->Read(matrix.InterMatrix);
    file->Close();
  } catch (const EInOutError& error) {
    ThrowUnreadable(name, error);
  }
  return matrix;
}

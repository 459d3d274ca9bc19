// LoadMatrix on files of any bytes and length, with any one failure of the
// file operations, or a file that changes between the two opens. Each case
// must end in exactly the result and message that the loader promises.
// Input: a byte choosing the failure, a byte for its code or the new length,
// a byte for the name's length, the name, then the file's contents.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "matrix/matrix.h"
#include "platform/fake_file_system.h"
#include "platform/io_error.h"

namespace {

enum class Fault { kNone, kOpen, kSize, kRead, kClose, kChangeBeforeReopen, kCount };

constexpr int kCodes[] = {2, 3, 4, 5, 6, 32, 100, 101, 106, 109, 1117, 1921};

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const auto fault = static_cast<Fault>(data[0] % static_cast<int>(Fault::kCount));
  const int code = kCodes[data[1] % std::size(kCodes)];
  const std::size_t name_size = std::min<std::size_t>(data[2] % 40, size - 3);
  const std::string name(reinterpret_cast<const char*>(data + 3), name_size);
  const std::string bytes(reinterpret_cast<const char*>(data + 3 + name_size),
                          size - 3 - name_size);

  FakeFileSystem fs;
  FakeFileSystem::Entry& entry = fs.Add(name, bytes);
  std::string reopened = bytes;  // the contents seen at the second open
  switch (fault) {
    case Fault::kOpen:
      entry.open_error = code;
      break;
    case Fault::kSize:
      entry.size_error = code;
      break;
    case Fault::kRead:
      entry.read_error = code;
      break;
    case Fault::kClose:
      entry.close_error = code;
      break;
    case Fault::kChangeBeforeReopen:
      // Cut to, or grown to, the length in the second byte.
      reopened = (bytes + bytes).substr(0, data[1]);
      fs.before_open = [&](const std::string& path) {
        if (fs.opened.size() == 1) fs.Add(path, reopened);
      };
      break;
    default:
      break;
  }

  // What must happen, in the loader's order: open, size, length test, close,
  // open again, two reads, close.
  int status = 0;
  std::string second_line;
  if (fault == Fault::kOpen || fault == Fault::kSize) {
    status = 4;
    second_line = IoErrorMessage(code);
  } else if (bytes.size() != MatrixFileSize) {
    status = 3;
  } else if (fault == Fault::kRead || fault == Fault::kClose) {
    status = 4;
    second_line = IoErrorMessage(code);
  } else if (reopened.size() < MatrixFileSize) {
    status = 4;
    second_line = IoErrorMessage(kReadBeyondEnd);
  }

  try {
    const TCustomMatrix matrix = LoadMatrix(fs, name);
    Check(status == 0, "loaded a file that must fail");
    for (std::size_t k = 0; k < MatrixCells; ++k) {
      Check(matrix.IntraMatrix[k] == static_cast<std::uint8_t>(reopened[k]), "intra cell");
      Check(matrix.InterMatrix[k] == static_cast<std::uint8_t>(reopened[64 + k]), "inter cell");
    }
    Check(fs.opened.size() == 2, "opened twice");
  } catch (const EMatrixFileError& error) {
    Check(error.status() == status, "exit status");
    if (status == 3) {
      Check(
          error.lines() == std::vector<std::string>{"ERROR: File \"" + name +
                                                    "\" is not a matrix file (must be 128 bytes=!"},
          "status 3 message");
      Check(fs.opened.size() == 1, "a file of the wrong length is opened once");
    } else {
      Check(
          error.lines() ==
              std::vector<std::string>{"ERROR: Could not read file \"" + name + "\"!", second_line},
          "status 4 message");
    }
  }
  return 0;
}

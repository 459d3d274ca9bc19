#include "matrix/matrix.h"

#include <gtest/gtest.h>

#include "platform/fake_file_system.h"
#include "platform/io_error.h"

namespace {

std::string Counting(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

// Runs LoadMatrix and returns the failure it ends with.
EMatrixFileError LoadFailure(FakeFileSystem& fs, const std::string& name) {
  try {
    LoadMatrix(fs, name);
  } catch (const EMatrixFileError& error) {
    return error;
  }
  ADD_FAILURE() << name << " loaded";
  return EMatrixFileError(0, {""});
}

}  // namespace

TEST(LoadMatrix, BytesLandUnchanged) {
  FakeFileSystem fs;
  const std::string bytes = Counting(128);
  fs.Add("dir/m.bin", bytes);
  const TCustomMatrix matrix = LoadMatrix(fs, "dir/m.bin");
  for (std::size_t k = 0; k < 64; ++k) {
    EXPECT_EQ(matrix.IntraMatrix[k], static_cast<std::uint8_t>(bytes[k])) << k;
    EXPECT_EQ(matrix.InterMatrix[k], static_cast<std::uint8_t>(bytes[64 + k])) << k;
  }
}

TEST(LoadMatrix, EveryByteValueIsValid) {
  for (char fill : {'\0', '\xff'}) {
    FakeFileSystem fs;
    fs.Add("m", std::string(128, fill));
    const TCustomMatrix matrix = LoadMatrix(fs, "m");
    EXPECT_EQ(matrix.IntraMatrix[0], static_cast<std::uint8_t>(fill));
    EXPECT_EQ(matrix.InterMatrix[63], static_cast<std::uint8_t>(fill));
  }
}

TEST(LoadMatrix, WrongLengthIsStatus3BeforeAnyRead) {
  for (std::size_t size : {0, 1, 64, 127, 129, 256, 4096}) {
    FakeFileSystem fs;
    fs.Add("sub/x y.bin", Counting(size));
    const EMatrixFileError error = LoadFailure(fs, "sub/x y.bin");
    EXPECT_EQ(error.status(), 3) << size;
    EXPECT_EQ(
        error.lines(),
        std::vector<std::string>{"ERROR: File \"sub/x y.bin\" is not a matrix file (must be 128 "
                                 "bytes=!"})
        << size;
    EXPECT_EQ(fs.opened.size(), 1u) << "reopened for reading at size " << size;
  }
}

TEST(LoadMatrix, FailedOperationIsStatus4WithTheErrorText) {
  const struct {
    const char* what;
    int FakeFileSystem::Entry::*error;
    int code;
    const char* message;
  } cases[] = {
      {"open", &FakeFileSystem::Entry::open_error, 5, "Dateizugriff verweigert"},
      {"open", &FakeFileSystem::Entry::open_error, 32, "E/A-Fehler 32"},
      {"open", &FakeFileSystem::Entry::open_error, 4, "Zu viele geöffnete Dateien"},
      {"size", &FakeFileSystem::Entry::size_error, 1117, "E/A-Fehler 1117"},
      {"read", &FakeFileSystem::Entry::read_error, 5, "Dateizugriff verweigert"},
      {"close", &FakeFileSystem::Entry::close_error, 101, "Zu wenig Speicherplatz"},
  };
  for (const auto& c : cases) {
    FakeFileSystem fs;
    fs.Add("m.bin", Counting(128)).*c.error = c.code;
    const EMatrixFileError error = LoadFailure(fs, "m.bin");
    EXPECT_EQ(error.status(), 4) << c.what;
    EXPECT_EQ(error.lines(),
              (std::vector<std::string>{"ERROR: Could not read file \"m.bin\"!", c.message}))
        << c.what;
  }
}

TEST(LoadMatrix, MissingFileIsNotFound) {
  FakeFileSystem fs;
  const EMatrixFileError error = LoadFailure(fs, "gone.bin");
  EXPECT_EQ(error.status(), 4);
  EXPECT_EQ(error.lines(), (std::vector<std::string>{"ERROR: Could not read file \"gone.bin\"!",
                                                     "Datei nicht gefunden"}));
}

TEST(LoadMatrix, FileThatShrinksAfterTheLengthTestIsAReadBeyondTheEnd) {
  FakeFileSystem fs;
  fs.Add("m.bin", Counting(128));
  fs.before_open = [&](const std::string& path) {
    if (fs.opened.size() == 1) fs.Add(path, Counting(100));
  };
  const EMatrixFileError error = LoadFailure(fs, "m.bin");
  EXPECT_EQ(error.status(), 4);
  EXPECT_EQ(error.lines()[1], "Versuch hinter dem Dateiende zu lesen");
}

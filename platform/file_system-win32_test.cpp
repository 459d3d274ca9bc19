#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/io_error.h"

namespace {

int ErrorCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EInOutError& error) {
    return error.code();
  }
  return 0;
}

// A fresh directory under the user's temporary folder, removed afterwards.
class Win32Dir {
 public:
  Win32Dir() {
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    for (unsigned n = ::GetCurrentProcessId();; ++n) {
      path_ = std::string(base) + "pellando-test-" + std::to_string(n);
      if (::CreateDirectoryA(path_.c_str(), nullptr)) break;
    }
  }
  ~Win32Dir() {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(path_, ignored))
      ::SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ignored);
  }

  // path() + "\" + name.
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  // Writes `bytes` to `name` and gives it `attributes`; returns its path.
  std::string Write(const std::string& name, const std::string& bytes,
                    DWORD attributes = FILE_ATTRIBUTE_NORMAL) const {
    const std::string full = *this / name;
    std::ofstream(full, std::ios::binary) << bytes;
    ::SetFileAttributesA(full.c_str(), attributes);
    return full;
  }

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

TEST(MaskDirectoryWin32, EndsAtTheLastSeparatorOrADriveColon) {
  const struct {
    const char* mask;
    const char* directory;
  } cases[] = {
      {"*.bin", ""},
      {"d\\*.bin", "d\\"},
      {"d/*.bin", "d/"},
      {"a\\b/c?", "a\\b/"},
      {"c:*.bin", "c:"},
      {"Z:\\x\\y.bin", "Z:\\x\\"},
      {"\\\\srv\\s\\*", "\\\\srv\\s\\"},
      {"", ""},
      {"1:x", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskDirectory(c.mask), c.directory) << c.mask;
}

TEST(HostFileSystemWin32, ReportsHiddenAndReadOnlyFilesButNoSystemFilesOrDirectories) {
  Win32Dir dir;
  dir.Write("a.bin", "x");
  dir.Write("B.BIN", "x");
  dir.Write("hidden.bin", "x", FILE_ATTRIBUTE_HIDDEN);
  dir.Write("ro.bin", "x", FILE_ATTRIBUTE_READONLY);
  dir.Write("sys.bin", "x", FILE_ATTRIBUTE_SYSTEM);
  dir.Write("c.txt", "x");
  ASSERT_TRUE(::CreateDirectoryA((dir / "d.bin").c_str(), nullptr));
  const std::vector<std::string> expected = {"B.BIN", "a.bin", "hidden.bin", "ro.bin"};
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "*.bin"), expected);
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "*.BIN"), expected);
  EXPECT_EQ(HostFileSystem().FindFiles(dir.path() + "/?.bin"),
            (std::vector<std::string>{"B.BIN", "a.bin"}));
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "d.bin"), std::vector<std::string>{});
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "none\\*"), std::vector<std::string>{});
  EXPECT_EQ(HostFileSystem().FindFiles(dir / ""), std::vector<std::string>{});
}

TEST(HostFileSystemWin32, ReadsSizesAndShortReads) {
  Win32Dir dir;
  auto file = HostFileSystem().OpenRead(dir.Write("m.bin", "0123456789", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(file->Size(), 10u);
  std::uint8_t buffer[6];
  file->Read(buffer);
  EXPECT_EQ(buffer[5], '5');
  EXPECT_EQ(ErrorCodeOf([&] { file->Read(buffer); }), kReadBeyondEnd);
  file->Close();
}

TEST(HostFileSystemWin32, SystemErrorCodesPassUnchanged) {
  Win32Dir dir;
  const std::string path = dir.Write("f.bin", "x");
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(dir / "none"); }), kFileNotFound);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(dir / "none\\f.bin"); }), kPathNotFound);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(dir.path()); }), kAccessDenied);

  const HANDLE unshared =
      ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(unshared, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(path); }), kSharingViolation);
  ::CloseHandle(unshared);

  // Others may read and write the file while it is open.
  const HANDLE writer =
      ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(path)->Close(); }), 0);
  ::CloseHandle(writer);
}

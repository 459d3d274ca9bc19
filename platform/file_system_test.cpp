#include "platform/file_system.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/io_error.h"
#include "tests/temp_dir.h"

namespace {

int ErrorCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EInOutError& error) {
    return error.code();
  }
  return 0;
}

}  // namespace

TEST(MaskDirectory, IsEverythingUpToTheLastSlash) {
  const struct {
    const char* mask;
    const char* directory;
  } cases[] = {
      {"*.bin", ""}, {"d/*.bin", "d/"}, {"/abs/x/y?", "/abs/x/"}, {"a/b/", "a/b/"},
      {"", ""},      {"..", ""},        {"c:\\x.bin", ""},  // backslash and colon are ordinary on
                                                            // POSIX
  };
  for (const auto& c : cases) EXPECT_EQ(MaskDirectory(c.mask), c.directory) << c.mask;
}

TEST(HostFileSystem, FindsMatchingEntriesButNoDirectories) {
  TempDir dir;
  for (const char* name : {"b.bin", "a.bin", ".h.bin", "B.bin", "c.txt", "x.bin.bak"})
    dir.Write(name, "data");
  dir.Write("sub.bin/inner.bin", "data");
  ASSERT_EQ(::symlink("sub.bin", (dir / "link-to-dir.bin").c_str()), 0);
  ASSERT_EQ(::symlink("missing", (dir / "dangling.bin").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo.bin").c_str(), 0644), 0);

  EXPECT_EQ(
      HostFileSystem().FindFiles(dir / "*.bin"),
      (std::vector<std::string>{".h.bin", "B.bin", "a.bin", "b.bin", "dangling.bin", "fifo.bin"}));
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "?.bin"),
            (std::vector<std::string>{"B.bin", "a.bin", "b.bin"}));
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "sub.bin"), std::vector<std::string>{});
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "no-such-dir/*"), std::vector<std::string>{});
  EXPECT_EQ(HostFileSystem().FindFiles(dir / ""), std::vector<std::string>{});
}

TEST(HostFileSystem, ReadsSizesAndShortReads) {
  TempDir dir;
  const std::string path = dir.Write("m.bin", "0123456789");
  auto file = HostFileSystem().OpenRead(path);
  EXPECT_EQ(file->Size(), 10u);
  std::uint8_t buffer[6];
  file->Read(buffer);
  EXPECT_EQ(buffer[5], '5');
  EXPECT_EQ(ErrorCodeOf([&] { file->Read(buffer); }), kReadBeyondEnd);
  file->Close();
}

TEST(HostFileSystem, OpenFailuresCarryTheirCodes) {
  TempDir dir;
  const std::string file = dir.Write("f", "x");
  ASSERT_EQ(::symlink("missing", (dir / "dangling").c_str()), 0);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(dir / "none"); }), kFileNotFound);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(dir / "dangling"); }), kFileNotFound);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(file + "/x"); }), kPathNotFound);
  EXPECT_EQ(ErrorCodeOf([&] { HostFileSystem().OpenRead(dir / std::string(5000, 'n')); }),
            kPathNotFound);
  uint8_t byte;
  EXPECT_EQ(ErrorCodeOf([&] {
              HostFileSystem().OpenRead(dir.path())->Read({&byte, 1});
            }),
            kAccessDenied);
}

TEST(HostFileSystem, FifoOpensWithoutWaiting) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
  auto file = HostFileSystem().OpenRead(dir / "fifo");  // would block without a writer
  EXPECT_EQ(file->Size(), 0u);
  file->Close();
}

TEST(HostFileSystem, WithoutAFreeDescriptorSearchAndOpenFail) {
  TempDir dir;
  const std::string file = dir.Write("m.bin", "data");
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowest_free = ::dup(0);
  ASSERT_GE(lowest_free, 0);
  ::close(lowest_free);
  rlimit none = saved;
  none.rlim_cur = static_cast<rlim_t>(lowest_free);  // no further descriptor can be had
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &none), 0);
  // Not an empty directory: the search did not happen.
  const int search = ErrorCodeOf([&] { HostFileSystem().FindFiles(dir / "*.bin"); });
  const int open = ErrorCodeOf([&] { HostFileSystem().OpenRead(file); });
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(search, kTooManyOpenFiles);
  EXPECT_EQ(open, kTooManyOpenFiles);
  EXPECT_EQ(HostFileSystem().FindFiles(dir / "*.bin"), std::vector<std::string>{"m.bin"});
}

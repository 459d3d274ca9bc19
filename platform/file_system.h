#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A file open for reading. Every operation throws EInOutError on failure.
class File {
 public:
  virtual ~File() = default;
  // The length of the file in bytes.
  virtual std::uint64_t Size() = 0;
  // Fills `buffer` from the current position; a file that ends first is
  // error 100 (read beyond the end of the file).
  virtual void Read(std::span<std::uint8_t> buffer) = 0;
  // Closes the file. A file dropped without Close is closed quietly.
  virtual void Close() = 0;
};

// Directory search and file access: all the tool needs of the disk.
// Abstract so it can be mocked out for tests.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Bare names of the entries that `mask` matches: a directory part (see
  // MaskDirectory), then a last component that may hold * and ?, matched by
  // the host's rules. Directories (and on Windows system files) are left out;
  // the names come in byte order. A directory that does not exist or may not
  // be read matches nothing; a search that the system cannot carry out (too
  // many open files, no memory) throws EInOutError.
  virtual std::vector<std::string> FindFiles(const std::string& mask) = 0;
  // Opens an existing file for reading, never waiting on it, while others may
  // read and write it too.
  virtual std::unique_ptr<File> OpenRead(const std::string& path) = 0;
};

// The directory part of `mask`: everything up to and including its last path
// separator (on Windows also a drive colon), or empty when it has none.
std::string_view MaskDirectory(std::string_view mask);

// The file system of the host.
FileSystem& HostFileSystem();

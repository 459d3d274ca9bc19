#pragma once

#include <functional>
#include <map>

#include "platform/file_system.h"

// An in-memory FileSystem for tests. Paths are keys as given; a mask's
// directory part selects the paths that start with it and have no further
// separator.
class FakeFileSystem : public FileSystem {
 public:
  // A file's bytes and, for fault tests, the error code (0 for none) that
  // each operation on it fails with.
  struct Entry {
    std::string bytes;
    int open_error = 0;
    int size_error = 0;
    int read_error = 0;
    int close_error = 0;
    bool is_directory = false;
  };

  // Adds or replaces the file at `path`.
  Entry& Add(const std::string& path, std::string bytes);
  // Adds a directory entry, which searches must leave out.
  void AddDirectory(const std::string& path);

  std::vector<std::string> FindFiles(const std::string& mask) override;
  std::unique_ptr<File> OpenRead(const std::string& path) override;

  // Called with the path before each open, so a test can change the files.
  std::function<void(const std::string& path)> before_open;
  // Every path opened, in order.
  std::vector<std::string> opened;

 private:
  std::map<std::string, Entry> entries_;
};

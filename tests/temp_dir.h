#pragma once

#include <string>
#include <string_view>

// A fresh directory for one test, readable by every user, removed with all
// its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's absolute path, without a trailing slash.
  const std::string& path() const { return path_; }
  // path() + "/" + relative.
  std::string operator/(std::string_view relative) const;
  // Writes `bytes` to the file `relative` (creating its directories) and
  // returns its full path.
  std::string Write(std::string_view relative, std::string_view bytes) const;

 private:
  std::string path_;
};

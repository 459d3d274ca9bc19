#include "tests/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "pellando-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests take permissions away; give them back so that removal succeeds.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

std::string TempDir::operator/(std::string_view relative) const {
  return path_ + "/" + std::string(relative);
}

std::string TempDir::Write(std::string_view relative, std::string_view bytes) const {
  const std::string full = *this / relative;
  fs::create_directories(fs::path(full).parent_path());
  std::ofstream(full, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return full;
}

#include "platform/fake_file_system.h"

#include <algorithm>

#include "platform/io_error.h"
#include "platform/wildcard.h"

namespace {

class FakeFile : public File {
 public:
  explicit FakeFile(const FakeFileSystem::Entry& entry) : entry_(entry) {}

  std::uint64_t Size() override {
    if (entry_.size_error) throw EInOutError(entry_.size_error);
    return entry_.bytes.size();
  }

  void Read(std::span<std::uint8_t> buffer) override {
    if (entry_.read_error) throw EInOutError(entry_.read_error);
    if (entry_.bytes.size() - position_ < buffer.size()) throw EInOutError(kReadBeyondEnd);
    std::copy_n(entry_.bytes.begin() + static_cast<std::ptrdiff_t>(position_), buffer.size(),
                buffer.begin());
    position_ += buffer.size();
  }

  void Close() override {
    if (entry_.close_error) throw EInOutError(entry_.close_error);
  }

 private:
  FakeFileSystem::Entry entry_;  // a copy: the file as it was opened
  std::size_t position_ = 0;
};

}  // namespace

FakeFileSystem::Entry& FakeFileSystem::Add(const std::string& path, std::string bytes) {
  Entry& entry = entries_[path];
  entry = Entry{};
  entry.bytes = std::move(bytes);
  return entry;
}

void FakeFileSystem::AddDirectory(const std::string& path) { entries_[path].is_directory = true; }

std::vector<std::string> FakeFileSystem::FindFiles(const std::string& mask) {
  const std::string_view directory = MaskDirectory(mask);
  const std::string_view pattern = std::string_view(mask).substr(directory.size());
  std::vector<std::string> names;
  for (const auto& [path, entry] : entries_) {
    if (entry.is_directory || !std::string_view(path).starts_with(directory)) continue;
    const std::string_view name = std::string_view(path).substr(directory.size());
    if (MaskDirectory(name).empty() && MatchesWildcard(pattern, name)) names.emplace_back(name);
  }
  return names;  // the map keeps them in byte order
}

std::unique_ptr<File> FakeFileSystem::OpenRead(const std::string& path) {
  if (before_open) before_open(path);
  opened.push_back(path);
  const auto found = entries_.find(path);
  if (found == entries_.end()) throw EInOutError(kFileNotFound);
  if (found->second.open_error) throw EInOutError(found->second.open_error);
  return std::make_unique<FakeFile>(found->second);
}

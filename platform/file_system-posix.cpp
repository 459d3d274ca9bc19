#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/errno_codes.h"
#include "platform/file_system.h"
#include "platform/io_error.h"
#include "platform/wildcard.h"

namespace {

[[noreturn]] void ThrowErrno() { throw EInOutError(IoErrorCodeFromErrno(errno)); }

class PosixFile : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  std::uint64_t Size() override {
    struct stat info;
    if (::fstat(fd_, &info) != 0) ThrowErrno();
    // FIFOs and devices report 0 here, which no matrix file has.
    return static_cast<std::uint64_t>(info.st_size);
  }

  void Read(std::span<std::uint8_t> buffer) override {
    std::size_t done = 0;
    while (done < buffer.size()) {
      const ssize_t got = ::read(fd_, buffer.data() + done, buffer.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ThrowErrno();
      if (got == 0) throw EInOutError(kReadBeyondEnd);
      done += static_cast<std::size_t>(got);
    }
  }

  void Close() override {
    const int fd = fd_;
    fd_ = -1;
    // After EINTR the descriptor is gone all the same on Linux.
    if (::close(fd) != 0 && errno != EINTR) ThrowErrno();
  }

 private:
  int fd_;
};

bool IsDirectory(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class PosixFileSystem : public FileSystem {
 public:
  std::vector<std::string> FindFiles(const std::string& mask) override {
    const std::string_view directory = MaskDirectory(mask);
    const std::string_view pattern = std::string_view(mask).substr(directory.size());
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.empty() ? "." : std::string(directory).c_str());
    if (dir == nullptr) {
      // A directory that is not there or may not be read matches nothing, but
      // a search the system could not even start must not pass for an empty one.
      if (errno == EMFILE || errno == ENFILE || errno == ENOMEM) ThrowErrno();
      return names;
    }
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) break;
      const std::string_view name = entry->d_name;
      if (!MatchesWildcard(pattern, name)) continue;
      // Links are followed, so a link to a directory is left out too; a
      // dangling link is listed and then fails to open.
      if (entry->d_type == DT_DIR) continue;
      if (entry->d_type != DT_REG && IsDirectory(std::string(directory) + std::string(name)))
        continue;
      names.emplace_back(name);
    }
    const int error = errno;  // set by a readdir that failed rather than ended
    ::closedir(dir);
    if (error != 0) throw EInOutError(IoErrorCodeFromErrno(error));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<File> OpenRead(const std::string& path) override {
    // O_NONBLOCK: a FIFO without a writer must not stall the run.
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) ThrowErrno();
    return std::make_unique<PosixFile>(fd);
  }
};

}  // namespace

std::string_view MaskDirectory(std::string_view mask) {
  const std::size_t slash = mask.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : mask.substr(0, slash + 1);
}

FileSystem& HostFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

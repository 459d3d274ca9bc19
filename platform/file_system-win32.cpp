#include <windows.h>

#include <algorithm>

#include "platform/file_system.h"
#include "platform/io_error.h"

namespace {

// System error codes are passed on unchanged: they are the codes the
// message table is keyed by.
[[noreturn]] void ThrowLastError() { throw EInOutError(static_cast<int>(::GetLastError())); }

class Win32File : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }

  std::uint64_t Size() override {
    DWORD high = 0;
    const DWORD low = ::GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) ThrowLastError();
    return (static_cast<std::uint64_t>(high) << 32) | low;
  }

  void Read(std::span<std::uint8_t> buffer) override {
    std::size_t done = 0;
    while (done < buffer.size()) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1 << 20));
      DWORD got = 0;
      if (!::ReadFile(handle_, buffer.data() + done, want, &got, nullptr)) ThrowLastError();
      if (got == 0) throw EInOutError(kReadBeyondEnd);
      done += got;
    }
  }

  void Close() override {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(handle)) ThrowLastError();
  }

 private:
  HANDLE handle_;
};

// What a search leaves out: system files, volume labels and directories.
constexpr DWORD kSkippedAttributes = FILE_ATTRIBUTE_SYSTEM | 8 | FILE_ATTRIBUTE_DIRECTORY;

class Win32FileSystem : public FileSystem {
 public:
  std::vector<std::string> FindFiles(const std::string& mask) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = ::FindFirstFileA(mask.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      if ((found.dwFileAttributes & kSkippedAttributes) == 0) names.emplace_back(found.cFileName);
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
  }

  std::unique_ptr<File> OpenRead(const std::string& path) override {
    const HANDLE handle =
        ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) ThrowLastError();
    return std::make_unique<Win32File>(handle);
  }
};

}  // namespace

std::string_view MaskDirectory(std::string_view mask) {
  const std::size_t separator = mask.find_last_of("\\/");
  if (separator != std::string_view::npos) return mask.substr(0, separator + 1);
  // "c:*.bin" searches the current directory of drive c.
  const bool drive = mask.size() >= 2 && mask[1] == ':' &&
                     ((mask[0] >= 'A' && mask[0] <= 'Z') || (mask[0] >= 'a' && mask[0] <= 'z'));
  return drive ? mask.substr(0, 2) : std::string_view();
}

FileSystem& HostFileSystem() {
  static Win32FileSystem file_system;
  return file_system;
}

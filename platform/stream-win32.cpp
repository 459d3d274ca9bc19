#include <windows.h>

#include <algorithm>

#include "platform/io_error.h"
#include "platform/stream.h"

namespace {

// The code for a failed write. A full disk and a reader that has gone get the
// codes the tool reports for them on every host; the rest pass unchanged.
int WriteErrorCode(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return kDiskFull;
    case ERROR_NO_DATA:             // the pipe is being closed
    case ERROR_PIPE_NOT_CONNECTED:  // no process on the other end
      return kBrokenPipe;
    default:
      return static_cast<int>(error);
  }
}

// `text` in the console's output code page. The tool's texts are UTF-8; bytes
// that are not valid UTF-8 are taken as the ANSI code page (a file name from
// a host that ignores the executable's UTF-8 setting).
std::string InConsoleCodePage(std::string_view text) {
  if (text.empty() || text.size() > 0x7fffffff) return std::string(text);
  const int size = static_cast<int>(text.size());
  UINT from = CP_UTF8;
  int wide_size = ::MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (wide_size == 0) {
    from = CP_ACP;
    wide_size = ::MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
  }
  if (wide_size == 0) return std::string(text);
  std::wstring wide(static_cast<std::size_t>(wide_size), L'\0');
  ::MultiByteToWideChar(from, 0, text.data(), size, wide.data(), wide_size);
  const UINT to = ::GetConsoleOutputCP();
  const int narrow_size =
      ::WideCharToMultiByte(to, 0, wide.data(), wide_size, nullptr, 0, nullptr, nullptr);
  if (narrow_size == 0) return std::string(text);
  std::string narrow(static_cast<std::size_t>(narrow_size), '\0');
  ::WideCharToMultiByte(to, 0, wide.data(), wide_size, narrow.data(), narrow_size, nullptr,
                        nullptr);
  return narrow;
}

// Writes bytes with WriteFile, so that nothing translates line ends.
class HandleStream : public OutputStream {
 public:
  HandleStream(DWORD which, bool may_buffer) : handle_(::GetStdHandle(which)) {
    DWORD mode;
    console_ = ::GetConsoleMode(handle_, &mode) != 0;
    // A console gets each write at once; files, pipes and devices such as
    // NUL are buffered, as on every host.
    buffered_ = may_buffer && !console_;
  }

  void Write(std::string_view bytes) override {
    if (console_) return WriteAll(InConsoleCodePage(bytes));
    if (!buffered_) return WriteAll(bytes);
    if (buffer_.size() + bytes.size() > kBufferSize) Flush();
    if (bytes.size() >= kBufferSize) return WriteAll(bytes);
    buffer_.append(bytes);
  }

  void Flush() override {
    // Emptied first, as on every host: a failed flush is not retried.
    std::string pending;
    pending.swap(buffer_);
    WriteAll(pending);
  }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  void WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
      DWORD put = 0;
      if (!::WriteFile(handle_, bytes.data(), want, &put, nullptr))
        throw EInOutError(WriteErrorCode(::GetLastError()));
      if (put == 0) throw EInOutError(kDiskFull);
      bytes.remove_prefix(put);
    }
  }

  HANDLE handle_;
  bool console_;
  bool buffered_;
  std::string buffer_;
};

}  // namespace

OutputStream& StandardOutput() {
  static HandleStream stream(STD_OUTPUT_HANDLE, true);
  return stream;
}

OutputStream& StandardError() {
  static HandleStream stream(STD_ERROR_HANDLE, false);
  return stream;
}

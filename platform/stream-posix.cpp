#include <unistd.h>

#include <cerrno>

#include "platform/errno_codes.h"
#include "platform/io_error.h"
#include "platform/stream.h"

namespace {

class DescriptorStream : public OutputStream {
 public:
  DescriptorStream(int fd, bool may_buffer) : fd_(fd), buffered_(may_buffer && !::isatty(fd)) {}

  void Write(std::string_view bytes) override {
    if (!buffered_) return WriteAll(bytes);
    if (buffer_.size() + bytes.size() > kBufferSize) Flush();
    if (bytes.size() >= kBufferSize) return WriteAll(bytes);
    buffer_.append(bytes);
  }

  void Flush() override {
    // The buffer is emptied first: after a failure its bytes are lost, and a
    // second flush (the top-level handler's) must not retry them.
    std::string pending;
    pending.swap(buffer_);
    WriteAll(pending);
  }

 private:
  static constexpr std::size_t kBufferSize = 64 * 1024;

  void WriteAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t put = ::write(fd_, bytes.data(), bytes.size());
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) throw EInOutError(IoErrorCodeFromErrno(errno));
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
  }

  int fd_;
  bool buffered_;
  std::string buffer_;
};

}  // namespace

OutputStream& StandardOutput() {
  static DescriptorStream stream(STDOUT_FILENO, true);
  return stream;
}

OutputStream& StandardError() {
  static DescriptorStream stream(STDERR_FILENO, false);
  return stream;
}

#include <fcntl.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstring>

#include "platform/process.h"

// Start and end of the executable's image, from the linker.
extern "C" const char __executable_start[];
extern "C" const char _etext[];

void InitProcess() {
  std::setlocale(LC_ALL, "");
  std::signal(SIGPIPE, SIG_IGN);
  // A closed standard stream would be reused by the next open(), and the
  // report would land in a matrix file's descriptor. A read-only /dev/null
  // in its place keeps every write to it failing, as to a closed stream.
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1) {
      const int placeholder = ::open("/dev/null", O_RDONLY);
      if (placeholder >= 0 && placeholder != fd) {
        ::dup2(placeholder, fd);
        ::close(placeholder);
      }
    }
  }
}

std::string ModuleName(const char* argv0) {
  if (argv0 == nullptr || *argv0 == '\0') return "pellando";
  const char* slash = std::strrchr(argv0, '/');
  return slash ? slash + 1 : argv0;
}

std::uintptr_t ImageOffset(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  const auto start = reinterpret_cast<std::uintptr_t>(__executable_start);
  const auto end = reinterpret_cast<std::uintptr_t>(_etext);
  return at >= start && at < end ? at - start : 0;
}

std::string ToConsoleEncoding(std::string_view text) { return std::string(text); }

#include "tests/run_tool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <tuple>
#include <utility>

namespace {

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(what);
}

[[noreturn]] void StartChild(const std::string& program, const std::vector<std::string>& args,
                             const RunOptions& options, int out_pipe, int err_pipe) {
  const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::dup2(null, 0);
  if (options.close_stdout) {
    ::close(1);
  } else if (options.broken_pipe) {
    int unread[2];
    Check(::pipe(unread) == 0, "pipe");
    ::close(unread[0]);
    ::dup2(unread[1], 1);
  } else if (!options.stdout_path.empty()) {
    const int out = ::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
  } else {
    ::dup2(out_pipe, 1);
  }
  if (options.close_stderr) {
    ::close(2);
  } else {
    ::dup2(err_pipe, 2);
  }
  // The tool starts with its three standard streams only, whatever the test
  // runner left open, so that descriptor limits mean the same everywhere.
  ::close_range(3, ~0U, 0);
  if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
  if (options.max_open_files > 0) {
    const rlimit limit = {static_cast<rlim_t>(options.max_open_files),
                          static_cast<rlim_t>(options.max_open_files)};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(125);
  }

  std::vector<std::string> words = options.wrapper;
  words.push_back(program);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables = {"LC_ALL=" + options.locale,
                                        "PATH=/usr/sbin:/usr/bin:/sbin:/bin"};
  // A sanitized build's settings pass through, so that its failures keep
  // their own exit status instead of looking like the tool's status 1.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) variables.push_back(std::string(name) + "=" + value);
  }
  std::vector<char*> env;
  for (std::string& variable : variables) env.push_back(variable.data());
  env.push_back(nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  ::execve(argv[0], argv.data(), env.data());
  ::_exit(127);
}

}  // namespace

// A terminal in raw mode, so that line ends pass unchanged: {master, slave}.
std::pair<int, int> OpenRawTerminal() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  Check(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0, "posix_openpt");
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  Check(slave >= 0, "open pts");
  termios mode;
  ::tcgetattr(slave, &mode);
  ::cfmakeraw(&mode);
  ::tcsetattr(slave, TCSANOW, &mode);
  return {master, slave};
}

RunResult RunTool(const std::string& program, const std::vector<std::string>& args,
                  const RunOptions& options) {
  int out[2];
  int err[2];
  if (options.terminal) {
    std::tie(out[0], out[1]) = OpenRawTerminal();
    Check(::pipe2(err, O_CLOEXEC) == 0, "pipe");
  } else {
    Check(::pipe2(out, O_CLOEXEC) == 0 && ::pipe2(err, O_CLOEXEC) == 0, "pipe");
  }
  const pid_t child = ::fork();
  Check(child >= 0, "fork");
  if (child == 0) {
    StartChild(program, args, options, out[1], options.terminal ? out[1] : err[1]);
  }
  ::close(out[1]);
  ::close(err[1]);

  RunResult result;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_pipes = 2;
  while (open_pipes > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      ::kill(child, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      bool keep_open = got > 0;
      if (keep_open) {
        const std::string_view chunk(buffer, static_cast<std::size_t>(got));
        if (i == 0 && options.out_sink) {
          keep_open = options.out_sink(chunk);
        } else {
          sinks[i]->append(chunk);
        }
      }
      if (!keep_open) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_pipes;
      }
    }
  }
  for (const pollfd& fd : fds)
    if (fd.fd >= 0) ::close(fd.fd);
  int wait_status = 0;
  ::waitpid(child, &wait_status, 0);
  if (WIFEXITED(wait_status)) result.status = WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) result.signal = WTERMSIG(wait_status);
  return result;
}

BackgroundRun::BackgroundRun(const std::vector<std::string>& command) {
  int in[2];
  int out[2];
  Check(::pipe2(in, O_CLOEXEC) == 0 && ::pipe2(out, O_CLOEXEC) == 0, "pipe");
  pid_ = ::fork();
  Check(pid_ >= 0, "fork");
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::string path = "PATH=/usr/sbin:/usr/bin:/sbin:/bin";
    char* env[] = {path.data(), nullptr};
    ::execve(argv[0], argv.data(), env);
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
}

BackgroundRun::~BackgroundRun() {
  ::close(input_);
  int status = 0;
  for (int tries = 0; tries < 100 && ::waitpid(pid_, &status, WNOHANG) == 0; ++tries)
    ::usleep(100 * 1000);
  if (::waitpid(pid_, &status, WNOHANG) == 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  ::close(output_);
}

std::string BackgroundRun::ReadLine(int timeout_seconds) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  char byte = 0;
  while (byte != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fd = {output_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) break;
    if (::read(output_, &byte, 1) != 1) break;
    if (byte != '\n' && byte != '\r') line.push_back(byte);
  }
  return line;
}

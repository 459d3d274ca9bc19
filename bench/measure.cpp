// Runs a command with its standard output sent to a file and prints its wall time in seconds,
// its peak resident memory in KiB and its processor time (user and system) in seconds; fails if
// the command does.
//   measure <output file> <command> [argument...]

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fputs("usage: measure <output file> <command> [argument...]\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_WRONLY);
    if (out < 0 || null < 0 || dup2(out, 1) < 0 || dup2(null, 2) < 0) _exit(127);
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return 1;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "measure: %s failed\n", argv[2]);
    return 1;
  }
  const auto seconds = [](const timeval& time) { return double(time.tv_sec) + time.tv_usec / 1e6; };
  std::printf("%.4f %ld %.4f\n", wall.count(), usage.ru_maxrss,
              seconds(usage.ru_utime) + seconds(usage.ru_stime));
  return 0;
}

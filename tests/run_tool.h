#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// How to start the tool for one end-to-end case.
struct RunOptions {
  std::string cwd;                   // working directory; empty: the current one
  std::string locale = "C";          // LC_ALL of the child
  std::string stdout_path;           // a file for standard output instead of a pipe
  bool close_stdout = false;         // start with standard output closed
  bool close_stderr = false;         // start with standard error closed
  bool broken_pipe = false;          // standard output a pipe nobody reads
  bool terminal = false;             // both streams on one raw terminal, read into `out`
  std::vector<std::string> wrapper;  // a command the tool runs under (setpriv ...)
  int timeout_seconds = 20;          // a run that takes longer is killed
  int max_open_files = 0;            // a lower RLIMIT_NOFILE for the child, or 0
  // Takes standard output as it comes instead of `out`, for reports too big
  // to keep; returning false closes the pipe, as a reader that goes away.
  std::function<bool(std::string_view chunk)> out_sink;
};

// What one run of the tool did.
struct RunResult {
  int status = -1;         // exit status; -1 when killed by a signal
  int signal = 0;          // the signal that ended it, or 0
  bool timed_out = false;  // killed after timeout_seconds
  std::string out;         // standard output (empty when redirected)
  std::string err;         // standard error
};

// Runs `program` with `args`, an empty environment but LC_ALL, PATH and any
// sanitizer settings, and no standard input, and collects its output.
RunResult RunTool(const std::string& program, const std::vector<std::string>& args,
                  const RunOptions& options = {});

// A program left running beside a test: its standard input is a pipe that is
// closed when the object goes (the program is killed if it has not ended
// 10 seconds later), and its standard output is read by ReadLine.
class BackgroundRun {
 public:
  explicit BackgroundRun(const std::vector<std::string>& command);
  ~BackgroundRun();
  BackgroundRun(const BackgroundRun&) = delete;
  BackgroundRun& operator=(const BackgroundRun&) = delete;

  // The next line of its standard output without the line end, or what came
  // before the output ended or `timeout_seconds` passed.
  std::string ReadLine(int timeout_seconds);

 private:
  int pid_;
  int input_;
  int output_;
};

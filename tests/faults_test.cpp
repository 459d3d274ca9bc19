// Faults end to end: failing streams, files cut short, few descriptors,
// paths and masks that name nothing, unusual names and very large runs. Each
// case runs the real binary and compares its output and status exactly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/run_tool.h"
#include "tests/temp_dir.h"

namespace {

constexpr char kFinish[] = "\rCross compare finished.\r\n";
constexpr char kEmptyReport[] =
    "\r\n"
    "Intra matrix similarities:\r\n\t\r\n\r\n"
    "Inter matrix similarities:\r\n\t\r\n\r\n"
    "Overall similarities:\r\n\t\r\n";
constexpr char kTopLevel[] = "Exception EInOutError in Modul pellando bei XXXXXXXX.\r\n";

std::string CountLine(std::size_t files) {
  return std::to_string(files) + " files to cross-compare:\r\n";
}

// The top-level report with its code address replaced by XXXXXXXX.
std::string MaskAddress(const std::string& text) {
  return std::regex_replace(text, std::regex(" bei [0-9A-F]{8}\\."), " bei XXXXXXXX.");
}

// Matrix files of two kinds: kind 0 is all zero, kind 1 has 255 in its first
// intra cell. Files of one kind are 1.00000 apart in every table; files of
// different kinds are these values apart, whichever is the column.
std::string KindMatrix(int kind) {
  std::string bytes(128, '\0');
  if (kind == 1) bytes[0] = '\xff';
  return bytes;
}
constexpr const char* kTitles[] = {
    "Intra matrix similarities:", "Inter matrix similarities:", "Overall similarities:"};
constexpr const char* kDifferentKinds[] = {"0.00780", "1.00000", "0.08830"};

std::string Tag(std::size_t number) {
  std::string digits = std::to_string(number);
  return "[" + std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits + "]";
}

// The standard output of a successful run over files of the two kinds, given
// in sorted order, made piece by piece so that huge reports need not be kept.
class ExpectedReport {
 public:
  ExpectedReport(std::vector<std::string> names, std::vector<int> kinds)
      : names_(std::move(names)), kinds_(std::move(kinds)) {}

  // The next piece of the report, or an empty string after the last one.
  std::string Next() {
    const std::size_t count = names_.size();
    const std::size_t rows = count < 2 ? 0 : count - 1;
    std::string text;
    if (unit_ == 0) {
      for (std::size_t p = 0; p < count; ++p) text += Tag(p + 1) + "\t" + names_[p] + "\r\n";
      text += "\r\n";
    } else if (unit_ <= 3 * (rows + 1)) {
      const std::size_t table = (unit_ - 1) / (rows + 1);
      const std::size_t step = (unit_ - 1) % (rows + 1);
      if (step == 0) {
        if (table > 0) text += "\r\n";
        text += std::string(kTitles[table]) + "\r\n\t";
        for (std::size_t q = 1; q < count; ++q) text += Tag(q + 1) + "\t";
      } else {
        const std::size_t r = step - 1;
        text += Tag(r + 1) + std::string(r + 1, '\t');
        for (std::size_t q = r + 1; q < count; ++q)
          text.append(kinds_[q] == kinds_[r] ? "1.00000" : kDifferentKinds[table]).append("\t");
      }
      text += "\r\n";
    }
    ++unit_;
    return text;
  }

  // The whole report.
  std::string All() {
    std::string text;
    for (std::string piece; !(piece = Next()).empty();) text += piece;
    return text;
  }

 private:
  std::vector<std::string> names_;
  std::vector<int> kinds_;
  std::size_t unit_ = 0;
};

// Compares a stream of output with an ExpectedReport as it arrives.
class StreamCheck {
 public:
  explicit StreamCheck(ExpectedReport& expected) : expected_(expected) {}

  // Takes the next chunk; false at the first difference.
  bool Take(std::string_view chunk) {
    for (std::string piece; pending_.size() < chunk.size() && !(piece = expected_.Next()).empty();)
      pending_ += piece;
    const std::size_t same =
        std::mismatch(chunk.begin(), chunk.end(), pending_.begin(),
                      pending_.begin() + std::min(chunk.size(), pending_.size()))
            .first -
        chunk.begin();
    if (same < chunk.size()) {
      difference_ = "at byte " + std::to_string(checked_ + same) + ": got \"" +
                    std::string(chunk.substr(same, 40)) + "\", expected \"" +
                    pending_.substr(same, 40) + "\"";
      return false;
    }
    pending_.erase(0, chunk.size());
    checked_ += chunk.size();
    return true;
  }

  // Empty when everything matched and nothing expected is missing.
  std::string Outcome() {
    if (!difference_.empty()) return difference_;
    if (!pending_.empty() || !expected_.Next().empty())
      return "output ends early, after " + std::to_string(checked_) + " bytes";
    return "";
  }

  std::size_t checked() const { return checked_; }

 private:
  ExpectedReport& expected_;
  std::string pending_;
  std::string difference_;
  std::size_t checked_ = 0;
};

class Faults : public testing::Test {
 protected:
  RunResult Run(const std::vector<std::string>& args, RunOptions options = {},
                const std::string& program = PELLANDO_BINARY) {
    if (options.cwd.empty()) options.cwd = dir.path();
    RunResult result = RunTool(program, args, options);
    EXPECT_FALSE(result.timed_out) << "the run hung";
    EXPECT_EQ(result.signal, 0) << "the run crashed";
    return result;
  }

  // Writes files "<prefix><number>.bin" for 1..count, of kind 1 when the
  // number is a multiple of 3; returns their names and kinds in sorted order.
  std::pair<std::vector<std::string>, std::vector<int>> WriteNumberedFiles(std::size_t count,
                                                                           const char* format) {
    std::vector<std::string> names;
    std::vector<int> kinds;
    for (std::size_t i = 1; i <= count; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, format, i);
      const int kind = i % 3 == 0 ? 1 : 0;
      dir.Write(name, KindMatrix(kind));
      names.push_back(name);
      kinds.push_back(kind);
    }
    return {names, kinds};
  }

  TempDir dir;
};

// Beyond the full disk, closed output and broken pipe of e2e_test.cpp: a
// failure in the middle of a report, a reader that goes away, and a closed
// standard error.
TEST_F(Faults, FailingStandardStreamsEndWithStatus1) {
  dir.Write("a.bin", KindMatrix(0));
  dir.Write("short.bin", "12345");
  WriteNumberedFiles(300, "many/f%03zu.bin");
  RunOptions full;
  full.stdout_path = "/dev/full";
  RunOptions leaves;  // a reader that goes away after its first read, as `head` does
  leaves.out_sink = [](std::string_view) { return false; };
  RunOptions closed_err;
  closed_err.close_stderr = true;
  RunOptions both_closed = closed_err;
  both_closed.close_stdout = true;
  const struct {
    const char* what;
    RunOptions options;
    std::vector<std::string> args;
    std::string out;
    std::string err;
  } cases[] = {
      {"full disk, mid-report",
       full,
       {"many/*"},
       "",
       CountLine(300) + kTopLevel + "Zu wenig Speicherplatz.\r\n\r\n"},
      {"reader leaves",
       leaves,
       {"many/*"},
       "",
       CountLine(300) + kTopLevel + "E/A-Fehler 109.\r\n\r\n"},
      // The count line cannot be written: what is buffered still goes out.
      {"closed error stream", closed_err, {"a.bin"}, "[  1]\ta.bin\r\n\r\n", ""},
      {"closed error stream, bad file", closed_err, {"*.bin"}, "", ""},
      {"closed error stream, no argument", closed_err, {}, "", ""},
      {"both closed", both_closed, {"a.bin"}, "", ""},
  };
  for (const auto& c : cases) {
    const RunResult result = Run(c.args, c.options);
    EXPECT_EQ(result.status, 1) << c.what;
    EXPECT_EQ(result.out, c.out) << c.what;
    EXPECT_EQ(MaskAddress(result.err), c.err) << c.what;
  }
}

TEST_F(Faults, FileCutShortBeforeTheReadIsAReadBeyondTheEnd) {
  dir.Write("a.bin", KindMatrix(0));
  for (int size : {0, 64, 100}) {
    const std::string name = "shrink-to-" + std::to_string(size) + ".bin";
    dir.Write(name, KindMatrix(1));
    const RunResult result = Run({"*.bin"}, {}, SHRINKING_BINARY);
    EXPECT_EQ(result.status, 4) << name;
    EXPECT_EQ(result.out, "") << name;
    EXPECT_EQ(result.err, "ERROR: Could not read file \"" + name +
                              "\"!\r\nVersuch hinter dem Dateiende zu lesen\r\n");
    ::unlink((dir / name).c_str());
  }
  // Without such a file the seam changes nothing.
  const RunResult plain = Run({"*.bin"}, {}, SHRINKING_BINARY);
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.out, ExpectedReport({"a.bin"}, {0}).All());
  EXPECT_EQ(plain.err, CountLine(1) + kFinish);
}

TEST_F(Faults, FewFileDescriptorsAreEnoughBecauseEachFileIsClosedAfterReading) {
  // Standard input, output and error take 0 to 2; the one descriptor left
  // serves the directory search and then each file in turn.
  auto [names, kinds] = WriteNumberedFiles(40, "f%02zu.bin");
  RunOptions limited;
  limited.max_open_files = 4;
  const RunResult result = Run({"f*.bin", "f0?.bin"}, limited);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, ExpectedReport(names, kinds).All());
  EXPECT_EQ(result.err, CountLine(40) + kFinish);
}

// A chain of directories made through descriptors, deeper than one path may
// name, removed the same way.
class DeepTree {
 public:
  DeepTree(const std::string& root, const std::string& component, int depth,
           const std::string& file) {
    fds_.push_back(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int i = 0; i < depth; ++i) {
      if (::mkdirat(fds_.back(), component.c_str(), 0755) != 0) throw std::runtime_error("mkdir");
      fds_.push_back(::openat(fds_.back(), component.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      path_ += component + "/";
    }
    const int fd = ::openat(fds_.back(), file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    const std::string bytes = KindMatrix(0);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != 128) throw std::runtime_error("write");
    ::close(fd);
    file_ = file;
    component_ = component;
  }
  ~DeepTree() {
    ::unlinkat(fds_.back(), file_.c_str(), 0);
    for (std::size_t i = fds_.size() - 1; i > 0; --i) {
      ::close(fds_[i]);
      ::unlinkat(fds_[i - 1], component_.c_str(), AT_REMOVEDIR);
    }
    ::close(fds_[0]);
  }
  // The chain's directories relative to the root, ending in a slash.
  const std::string& path() const { return path_; }

 private:
  std::vector<int> fds_;
  std::string path_;
  std::string component_;
  std::string file_;
};

TEST_F(Faults, PathsTooLongForTheSystem) {
  // The directory part (4020 bytes) can be searched, but with the file's name
  // the path exceeds what one path may hold: the open fails.
  const std::string file = std::string(246, 'n') + ".bin";
  const DeepTree tree(dir.path(), std::string(200, 'd'), 20, file);
  const RunResult deep = Run({tree.path() + "*.bin"});
  EXPECT_EQ(deep.status, 4);
  EXPECT_EQ(deep.out, "");
  EXPECT_EQ(deep.err, "ERROR: Could not read file \"" + tree.path() + file +
                          "\"!\r\nUngültiger Dateiname\r\n");

  // A directory part too long to search, and a name too long to exist, match
  // nothing, like any directory or name that is not there.
  dir.Write("a.bin", KindMatrix(0));
  for (const std::string& mask : {[] {
                                    std::string dots;
                                    for (int i = 0; i < 2100; ++i) dots += "./";
                                    return dots + "*.bin";
                                  }(),
                                  std::string(300, 'x') + ".bin"}) {
    const RunResult result = Run({mask, "a.bin"});
    EXPECT_EQ(result.status, 0) << mask.size();
    EXPECT_EQ(result.out, ExpectedReport({"a.bin"}, {0}).All());
    EXPECT_EQ(result.err, CountLine(1) + kFinish);
  }
}

TEST_F(Faults, MasksThatNameNoFileMatchNothingWithoutAMessage) {
  dir.Write("a.bin", KindMatrix(0));
  dir.Write(".h.bin", KindMatrix(1));
  dir.Write("sub/s.bin", KindMatrix(0));
  for (const char* mask : {"", ".", "..", "./", "../", "/", "sub/", "sub", "missing/*.bin",
                           "missing/deeper/*", "a.bin/*", "sub/missing/s.bin", "*/s.bin"}) {
    const RunResult result = Run({mask});
    EXPECT_EQ(result.status, 0) << '"' << mask << '"';
    EXPECT_EQ(result.out, kEmptyReport) << '"' << mask << '"';
    EXPECT_EQ(result.err, CountLine(0) + kFinish) << '"' << mask << '"';
  }
  // Among other masks they change nothing; ".*" finds the hidden file but
  // neither "." nor "..".
  const RunResult mixed = Run({"", "missing/*", ".", "a.bin", "..", ".*", "sub/"});
  EXPECT_EQ(mixed.status, 0);
  EXPECT_EQ(mixed.out, ExpectedReport({".h.bin", "a.bin"}, {1, 0}).All());
  EXPECT_EQ(mixed.err, CountLine(2) + kFinish);
}

TEST_F(Faults, UnusualNamesAreWrittenByteForByte) {
  // Sorted the same way in both locales: bytes that are no UTF-8 come last.
  const std::vector<std::string> names = {"cr\rname.bin", "new\nline.bin", "sp ace.bin",
                                          "tab\there.bin", "\xff\xfe.bin"};
  const std::vector<int> kinds = {0, 1, 0, 1, 1};
  for (std::size_t i = names.size(); i-- > 0;) dir.Write("d/" + names[i], KindMatrix(kinds[i]));
  for (const char* locale : {"C", "C.UTF-8"}) {
    RunOptions options;
    options.locale = locale;
    const RunResult result = Run({"d/*.bin"}, options);
    EXPECT_EQ(result.status, 0) << locale;
    EXPECT_EQ(result.out, ExpectedReport(names, kinds).All()) << locale;
    EXPECT_EQ(result.err, CountLine(5) + kFinish) << locale;
  }
  dir.Write("e/x\t\xff\r\n.bin", "short");
  const RunResult bad = Run({"e/*"});
  EXPECT_EQ(bad.status, 3);
  EXPECT_EQ(bad.out, "");
  EXPECT_EQ(bad.err,
            "ERROR: File \"e/x\t\xff\r\n.bin\" is not a matrix file (must be 128 bytes=!\r\n");
}

TEST_F(Faults, AThousandArguments) {
  auto [names, kinds] = WriteNumberedFiles(1000, "f%04zu.bin");
  // Given from the last to the first: the report is in name order all the same.
  const std::vector<std::string> args(names.rbegin(), names.rend());
  const RunResult result = Run(args);
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string expected = ExpectedReport(names, kinds).All();
  EXPECT_TRUE(result.out == expected) << "the report differs from the expected one";
  EXPECT_NE(result.out.find("\r\n[999]\tf0999.bin\r\n[1000]\tf1000.bin\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(result.err, CountLine(1000) + kFinish);
}

TEST_F(Faults, TenThousandFilesInOneFolder) {
  // About 1.35 GB of report, checked as it arrives against the expected text.
  auto [names, kinds] = WriteNumberedFiles(10000, "f%05zu.bin");
  ExpectedReport expected(names, kinds);
  StreamCheck check(expected);
  RunOptions streamed;
  streamed.out_sink = [&](std::string_view chunk) { return check.Take(chunk); };
  streamed.timeout_seconds = 600;
  const RunResult result = Run({"*.bin"}, streamed);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(check.Outcome(), "");
  EXPECT_EQ(check.checked(), 1350498063u);
  EXPECT_EQ(result.err, CountLine(10000) + kFinish);
}

}  // namespace

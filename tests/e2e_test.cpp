// Runs the real binary on files made in a temporary directory and compares
// standard output, standard error and the exit status byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "tests/run_tool.h"
#include "tests/temp_dir.h"

namespace {

constexpr char kSyntax[] = "Syntax: Pellando <filemask> [...]\r\n";
constexpr char kFinish[] = "\rCross compare finished.\r\n";
const std::vector<std::string> kNobody = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                          "--clear-groups"};

// The command the tool under test runs under (wine, qemu), or none.
std::vector<std::string> ToolWrapper() {
  std::vector<std::string> words;
  const std::string_view list = PELLANDO_WRAPPER;
  for (std::size_t start = 0; start < list.size();) {
    const std::size_t end = std::min(list.find('|', start), list.size());
    words.emplace_back(list.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

// The module name in the top-level report: the binary's file name.
const std::string kModule = std::filesystem::path(PELLANDO_BINARY).filename().string();

// 128 bytes: the intra matrix filled with `intra`, the inter one with `inter`.
std::string Matrix(char intra = 0, char inter = 0) {
  return std::string(64, intra) + std::string(64, inter);
}

// The same with cell `cell` of the intra matrix set to `value`.
std::string MatrixWithIntraCell(std::size_t cell, char value) {
  std::string bytes = Matrix();
  bytes[cell] = value;
  return bytes;
}

std::string CountLine(std::size_t files) {
  return std::to_string(files) + " files to cross-compare:\r\n";
}

// The three tables of a report without files or with one file.
constexpr char kEmptyTables[] =
    "Intra matrix similarities:\r\n\t\r\n\r\n"
    "Inter matrix similarities:\r\n\t\r\n\r\n"
    "Overall similarities:\r\n\t\r\n";

// The top-level report with its code address replaced by XXXXXXXX, or the
// text unchanged when the address is not 8 hexadecimal digits.
std::string MaskAddress(const std::string& text) {
  return std::regex_replace(text, std::regex(" bei [0-9A-F]{8}\\."), " bei XXXXXXXX.");
}

class EndToEnd : public testing::Test {
 protected:
  RunResult Run(const std::vector<std::string>& args, RunOptions options = {}) {
    if (options.cwd.empty()) options.cwd = dir.path();
    for (const std::string& word : ToolWrapper()) options.wrapper.push_back(word);
    RunResult result = RunTool(PELLANDO_BINARY, args, options);
    EXPECT_FALSE(result.timed_out) << "the run hung";
    EXPECT_EQ(result.signal, 0) << "the run crashed";
    return result;
  }

  // Runs a copy of the binary as the unprivileged user 65534, so that file
  // permissions hold even when the tests run as root. The copy sits in the
  // temporary directory, which that user can reach.
  RunResult RunAsNobody(const std::vector<std::string>& args) {
    const std::string copy = dir / "bin/pellando";
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::copy_file(PELLANDO_BINARY, copy,
                               std::filesystem::copy_options::overwrite_existing);
    ::chmod((dir / "bin").c_str(), 0755);
    ::chmod(copy.c_str(), 0755);
    RunOptions options;
    options.cwd = dir.path();
    if (::geteuid() == 0) options.wrapper = kNobody;
    for (const std::string& word : ToolWrapper()) options.wrapper.push_back(word);
    RunResult result = RunTool(copy, args, options);
    EXPECT_FALSE(result.timed_out);
    return result;
  }

  void ExpectRun(const std::vector<std::string>& args, int status, const std::string& out,
                 const std::string& err, RunOptions options = {}) {
    const RunResult result = Run(args, options);
    EXPECT_EQ(result.status, status);
    EXPECT_EQ(result.out, out);
    EXPECT_EQ(result.err, err);
  }

  TempDir dir;
};

// Cases that only a POSIX host has: FIFOs, symbolic links, permission bits,
// the locale from LC_ALL, a terminal.
class EndToEndPosix : public EndToEnd {};

TEST_F(EndToEnd, NoArgumentsShowsTheSyntaxLine) { ExpectRun({}, 1, "", kSyntax); }

TEST_F(EndToEnd, MaskThatMatchesNothingGivesTheEmptyReport) {
  ExpectRun({"*.bin", "missing-dir/*"}, 0, std::string("\r\n") + kEmptyTables,
            CountLine(0) + kFinish);
}

TEST_F(EndToEnd, OneFileGivesTablesWithoutRows) {
  dir.Write("m.bin", Matrix());
  ExpectRun({"m.bin"}, 0, std::string("[  1]\tm.bin\r\n\r\n") + kEmptyTables,
            CountLine(1) + kFinish);
}

TEST_F(EndToEnd, ThreeFileReport) {
  dir.Write("c.bin", MatrixWithIntraCell(0, '\xff'));
  dir.Write("a.bin", Matrix());
  dir.Write("B.bin", MatrixWithIntraCell(0, 1));
  ExpectRun({"*.bin"}, 0,
            "[  1]\ta.bin\r\n"
            "[  2]\tB.bin\r\n"
            "[  3]\tc.bin\r\n"
            "\r\n"
            "Intra matrix similarities:\r\n"
            "\t[  2]\t[  3]\t\r\n"
            "[  1]\t0.99998\t0.00780\t\r\n"
            "[  2]\t\t0.01556\t\r\n"
            "\r\n"
            "Inter matrix similarities:\r\n"
            "\t[  2]\t[  3]\t\r\n"
            "[  1]\t1.00000\t1.00000\t\r\n"
            "[  2]\t\t1.00000\t\r\n"
            "\r\n"
            "Overall similarities:\r\n"
            "\t[  2]\t[  3]\t\r\n"
            "[  1]\t0.99999\t0.08830\t\r\n"
            "[  2]\t\t0.12476\t\r\n",
            CountLine(3) + kFinish);
}

TEST_F(EndToEnd, IdenticalFilesAreOneEverywhere) {
  dir.Write("x.bin", Matrix(7, 9));
  dir.Write("y.bin", Matrix(7, 9));
  const std::string table = ":\r\n\t[  2]\t\r\n[  1]\t1.00000\t\r\n";
  ExpectRun({"*"}, 0,
            "[  1]\tx.bin\r\n[  2]\ty.bin\r\n\r\nIntra matrix similarities" + table +
                "\r\nInter matrix similarities" + table + "\r\nOverall similarities" + table,
            CountLine(2) + kFinish);
}

TEST_F(EndToEnd, FirstCollectedOfEqualNamesIsKeptWithItsContents) {
  dir.Write("one/a.bin", Matrix(0, 0));
  dir.Write("two/A.BIN", Matrix('\xff', '\xff'));
  dir.Write("ref/z.bin", Matrix(0, 0));
  const struct {
    std::vector<std::string> masks;
    const char* first_line;
    const char* value;
  } cases[] = {
      {{"one/*", "two/*", "ref/*"}, "[  1]\ta.bin\r\n", "1.00000"},
      {{"two/*", "one/*", "ref/*"}, "[  1]\tA.BIN\r\n", "0.00000"},
  };
  for (const auto& c : cases) {
    const RunResult result = Run(c.masks);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(result.out.starts_with(std::string(c.first_line) + "[  2]\tz.bin\r\n\r\n"))
        << result.out;
    EXPECT_NE(result.out.find(std::string("[  1]\t") + c.value + "\t\r\n"), std::string::npos)
        << result.out;
    EXPECT_EQ(result.err, CountLine(2) + kFinish);
  }
}

TEST_F(EndToEnd, MasksSelectFilesByDirectoryAndWildcard) {
  for (const char* name :
       {"a.bin", "B.bin", "ab.bin", ".h.bin", "c.txt", "sub/s1.bin", "sub/s2.bin", "other/o.bin"})
    dir.Write(name, Matrix());
  std::filesystem::create_directory(dir / "d.bin");  // a directory is never listed
  const struct {
    std::vector<std::string> masks;
    const char* listed;
  } cases[] = {
      {{"*.bin"}, "[  1]\t.h.bin\r\n[  2]\ta.bin\r\n[  3]\tab.bin\r\n[  4]\tB.bin\r\n"},
      {{"?.bin"}, "[  1]\ta.bin\r\n[  2]\tB.bin\r\n"},
      {{"a*"}, "[  1]\ta.bin\r\n[  2]\tab.bin\r\n"},
      {{"sub/*.bin", dir / "other/*"}, "[  1]\to.bin\r\n[  2]\ts1.bin\r\n[  3]\ts2.bin\r\n"},
      {{"./sub/s?.bin", "sub/s1.bin"}, "[  1]\ts1.bin\r\n[  2]\ts2.bin\r\n"},
      {{"c.txt", "d.bin", "sub/", "sub"}, "[  1]\tc.txt\r\n"},
  };
  for (const auto& c : cases) {
    const RunResult result = Run(c.masks);
    EXPECT_EQ(result.status, 0) << c.masks[0];
    EXPECT_TRUE(result.out.starts_with(std::string(c.listed) + "\r\n")) << result.out;
  }
}

TEST_F(EndToEnd, WrongLengthEndsTheRunWithStatus3) {
  for (std::size_t size : {0, 127, 129}) {
    dir.Write("a.bin", Matrix());
    dir.Write("m.bin", std::string(size, 'x'));
    ExpectRun({"*.bin"}, 3, "",
              "ERROR: File \"m.bin\" is not a matrix file (must be 128 bytes=!\r\n");
  }
}

TEST_F(EndToEnd, MessageNamesThePathAsCollected) {
  dir.Write("sub dir/\xc3\xbc.bin", "short");
  ExpectRun({"sub dir/*"}, 3, "",
            "ERROR: File \"sub dir/\xc3\xbc.bin\" is not a matrix file (must be 128 bytes=!\r\n");
}

TEST_F(EndToEndPosix, FifoIsRejectedWithoutWaiting) {
  ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0644), 0);
  ExpectRun({"pipe.bin"}, 3, "",
            "ERROR: File \"pipe.bin\" is not a matrix file (must be 128 bytes=!\r\n");
}

TEST_F(EndToEndPosix, DanglingLinkIsNotFound) {
  ASSERT_EQ(::symlink("gone", (dir / "link.bin").c_str()), 0);
  ExpectRun({"*.bin"}, 4, "",
            "ERROR: Could not read file \"link.bin\"!\r\nDatei nicht gefunden\r\n");
}

TEST_F(EndToEndPosix, PermissionsHoldForAnUnprivilegedUser) {
  ::chmod(dir.Write("ro.bin", Matrix()).c_str(), 0444);
  const RunResult readable = RunAsNobody({"ro.bin"});
  EXPECT_EQ(readable.status, 0) << readable.err;
  EXPECT_TRUE(readable.out.starts_with("[  1]\tro.bin\r\n")) << readable.out;

  ::chmod(dir.Write("secret.bin", Matrix()).c_str(), 0);
  const RunResult denied = RunAsNobody({"*.bin"});
  EXPECT_EQ(denied.status, 4);
  EXPECT_EQ(denied.out, "");
  EXPECT_EQ(denied.err,
            "ERROR: Could not read file \"secret.bin\"!\r\nDateizugriff verweigert\r\n");
}

TEST_F(EndToEndPosix, NamesAreFoldedUnderTheUsersLocale) {
  dir.Write("x/\xc3\xbc.bin", Matrix());  // ü
  dir.Write("y/\xc3\x9c.bin", Matrix());  // Ü
  RunOptions utf8;
  utf8.locale = "C.UTF-8";
  EXPECT_TRUE(Run({"x/*", "y/*"}, utf8).out.starts_with("[  1]\t\xc3\xbc.bin\r\n\r\n"));
  EXPECT_TRUE(
      Run({"x/*", "y/*"}).out.starts_with("[  1]\t\xc3\x9c.bin\r\n[  2]\t\xc3\xbc.bin\r\n"));
}

TEST_F(EndToEnd, ThreeHundredArgumentsAndFiles) {
  std::vector<std::string> masks;
  for (int i = 1; i <= 300; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%03d.bin", i);
    dir.Write(name, Matrix(static_cast<char>(i)));
    masks.push_back(name);
  }
  const RunResult result = Run(masks);
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.err, CountLine(300) + kFinish);
  EXPECT_NE(result.out.find("\r\n[ 42]\tf042.bin\r\n"), std::string::npos);
  EXPECT_NE(result.out.find("\r\n[300]\tf300.bin\r\n\r\n"), std::string::npos);
  // The last row of the first table: file 299's tag, 299 TABs and one value.
  const std::string last_row = "\r\n[299]" + std::string(299, '\t');
  const std::size_t at = result.out.find(last_row);
  ASSERT_NE(at, std::string::npos);
  const std::string rest = result.out.substr(at + last_row.size(), 20);
  EXPECT_TRUE(std::regex_match(rest, std::regex("[01]\\.[0-9]{5}\t\r\n\r\nInter ma"))) << rest;
}

// Cases of the Windows build, run under wine: the host's own wildcard
// matching, its path forms and its file sharing.
class EndToEndWindows : public EndToEnd {};

TEST_F(EndToEndWindows, MasksMatchIgnoringCase) {
  for (const char* name : {"a.bin", "B.BIN", "c.Bin", "d.txt"}) dir.Write(name, Matrix());
  ::chmod(dir.Write("ro.bin", Matrix()).c_str(), 0444);  // read-only files are listed too
  const struct {
    std::vector<std::string> masks;
    const char* listed;
  } cases[] = {
      {{"*.BIN"}, "[  1]\ta.bin\r\n[  2]\tB.BIN\r\n[  3]\tc.Bin\r\n[  4]\tro.bin\r\n"},
      {{"A.BIN", "D.*"}, "[  1]\ta.bin\r\n[  2]\td.txt\r\n"},
      {{"?.b?N"}, "[  1]\ta.bin\r\n[  2]\tB.BIN\r\n[  3]\tc.Bin\r\n"},
  };
  for (const auto& c : cases) {
    const RunResult result = Run(c.masks);
    EXPECT_EQ(result.status, 0) << c.masks[0];
    EXPECT_TRUE(result.out.starts_with(std::string(c.listed) + "\r\n")) << result.out;
  }
}

TEST_F(EndToEndWindows, DirectoryPartEndsInABackslashOrADriveColon) {
  dir.Write("sub/s1.bin", Matrix());
  dir.Write("sub/s2.bin", Matrix());
  dir.Write("m.bin", Matrix());
  std::string absolute = "Z:" + dir / "sub\\*";
  std::replace(absolute.begin(), absolute.end(), '/', '\\');
  const struct {
    std::vector<std::string> masks;
    const char* listed;
  } cases[] = {
      {{"sub\\*.bin"}, "[  1]\ts1.bin\r\n[  2]\ts2.bin\r\n"},
      {{".\\sub/s1.bin", "z:*.bin"}, "[  1]\tm.bin\r\n[  2]\ts1.bin\r\n"},
      {{absolute}, "[  1]\ts1.bin\r\n[  2]\ts2.bin\r\n"},
  };
  for (const auto& c : cases) {
    const RunResult result = Run(c.masks);
    EXPECT_EQ(result.status, 0) << c.masks[0];
    EXPECT_TRUE(result.out.starts_with(std::string(c.listed) + "\r\n")) << result.out;
  }
  // The path in a message is the directory part as given, then the name.
  dir.Write("sub/short.bin", "x");
  ExpectRun({"sub\\sh*"}, 3, "",
            "ERROR: File \"sub\\short.bin\" is not a matrix file (must be 128 bytes=!\r\n");
  ExpectRun({"Z:nothing*"}, 0, std::string("\r\n") + kEmptyTables, CountLine(0) + kFinish);
}

TEST_F(EndToEndWindows, FileHeldOpenWithoutSharingIsError32) {
  dir.Write("a.bin", Matrix());
  const std::string held = dir.Write("b.bin", Matrix());
  std::vector<std::string> command = ToolWrapper();
  command.push_back(PELLANDO_HOLDER);
  command.push_back(held);
  BackgroundRun holder(command);
  ASSERT_EQ(holder.ReadLine(60), "held");
  ExpectRun({"*.bin"}, 4, "", "ERROR: Could not read file \"b.bin\"!\r\nE/A-Fehler 32\r\n");
}

TEST_F(EndToEnd, FullDiskEndsWithTheTopLevelReport) {
  dir.Write("a.bin", Matrix());
  dir.Write("b.bin", Matrix());
  RunOptions full;
  full.stdout_path = "/dev/full";
  const RunResult result = Run({"*.bin"}, full);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(MaskAddress(result.err), CountLine(2) + "Exception EInOutError in Modul " + kModule +
                                         " bei XXXXXXXX.\r\nZu wenig Speicherplatz.\r\n\r\n");
}

TEST_F(EndToEnd, BrokenOrClosedOutputIsAFailure) {
  dir.Write("a.bin", Matrix());
  RunOptions broken;
  broken.broken_pipe = true;
  RunOptions closed;
  closed.close_stdout = true;
  for (const auto& [options, message] :
       {std::pair{broken, "E/A-Fehler 109."}, std::pair{closed, "E/A-Fehler 6."}}) {
    const RunResult result = Run({"a.bin"}, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(MaskAddress(result.err), CountLine(1) + "Exception EInOutError in Modul " + kModule +
                                           " bei XXXXXXXX.\r\n" + message + "\r\n\r\n");
  }
}

TEST_F(EndToEndPosix, OnATerminalTheCountLineComesBeforeTheFirstTable) {
  dir.Write("a.bin", Matrix());
  RunOptions terminal;
  terminal.terminal = true;
  ExpectRun({"a.bin"}, 0, "[  1]\ta.bin\r\n\r\n" + CountLine(1) + kEmptyTables + kFinish, "",
            terminal);
}

}  // namespace

#include "platform/top_level.h"

#include <new>

#include <gtest/gtest.h>

#include "platform/io_error.h"
#include "platform/stream.h"

namespace {

// A stream whose every write fails, as a full disk does.
class FailingOutput : public OutputStream {
 public:
  void Write(std::string_view) override { throw EInOutError(kDiskFull); }
  void Flush() override { throw EInOutError(kDiskFull); }
};

std::string ReportFor(std::exception_ptr error) {
  StringOutput out;
  StringOutput err;
  EXPECT_EQ(ReportUncaughtException(error, "pellando", out, err), 1);
  return err.text;
}

}  // namespace

TEST(TopLevelReport, FillsTheTemplate) {
  EXPECT_EQ(TopLevelReport("EInOutError", "pellando", 0x1a2b, "Zu wenig Speicherplatz"),
            "Exception EInOutError in Modul pellando bei 00001A2B.\r\nZu wenig Speicherplatz."
            "\r\n\r\n");
  EXPECT_EQ(TopLevelReport("Exception", "p.exe", 0, "Ends in a period."),
            "Exception Exception in Modul p.exe bei 00000000.\r\nEnds in a period.\r\n\r\n");
  EXPECT_EQ(TopLevelReport("Exception", "p", 0xffffffff, ""),
            "Exception Exception in Modul p bei FFFFFFFF.\r\n\r\n\r\n");
}

TEST(ReportUncaughtException, NamesTheClassAndMessage) {
  const std::string io = ReportFor(std::make_exception_ptr(EInOutError(kBrokenPipe)));
  EXPECT_TRUE(io.starts_with("Exception EInOutError in Modul pellando bei ")) << io;
  EXPECT_TRUE(io.ends_with(".\r\nE/A-Fehler 109.\r\n\r\n")) << io;
  EXPECT_EQ(io.size(), std::string("Exception EInOutError in Modul pellando bei 12345678.\r\n"
                                   "E/A-Fehler 109.\r\n\r\n")
                           .size());

  EXPECT_EQ(ReportFor(std::make_exception_ptr(std::bad_alloc())),
            "Exception EOutOfMemory in Modul pellando bei 00000000.\r\n"
            "Zu wenig Arbeitsspeicher.\r\n\r\n");
}

TEST(ReportUncaughtException, FlushesOutputAndSurvivesFailingStreams) {
  FailingOutput failing;
  StringOutput err;
  EXPECT_EQ(
      ReportUncaughtException(std::make_exception_ptr(EInOutError(kDiskFull)), "m", failing, err),
      1);
  EXPECT_TRUE(err.text.ends_with("Zu wenig Speicherplatz.\r\n\r\n"));

  StringOutput out;
  EXPECT_EQ(
      ReportUncaughtException(std::make_exception_ptr(EInOutError(kDiskFull)), "m", out, failing),
      1);
}

#include "platform/errno_codes.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "platform/io_error.h"

TEST(IoErrorCodeFromErrno, MapsToTheMessageOfTheSameMeaning) {
  const struct {
    int error;
    const char* message;
  } cases[] = {
      {ENOENT, "Datei nicht gefunden"},
      {ENOTDIR, "Ungültiger Dateiname"},
      {ENAMETOOLONG, "Ungültiger Dateiname"},
      {EMFILE, "Zu viele geöffnete Dateien"},
      {ENFILE, "Zu viele geöffnete Dateien"},
      {EACCES, "Dateizugriff verweigert"},
      {EPERM, "Dateizugriff verweigert"},
      {EISDIR, "Dateizugriff verweigert"},
      {ENOSPC, "Zu wenig Speicherplatz"},
      {EBUSY, "E/A-Fehler 32"},
      {EPIPE, "E/A-Fehler 109"},
      {EIO, "E/A-Fehler 1117"},
      {EBADF, "E/A-Fehler 6"},
      {ELOOP, "E/A-Fehler 1921"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IoErrorMessage(IoErrorCodeFromErrno(c.error)), c.message) << c.error;
}

TEST(IoErrorCodeFromErrno, UnlistedErrorsNeverBorrowAnotherMeaning) {
  // errno values are small integers that collide with the table's codes
  // (ESRCH is 3, EINTR 4, ENETDOWN 100 on Linux): none may pass through.
  for (int error : {ESRCH, EINTR, ENETDOWN, ENETUNREACH, EISCONN, ECONNRESET, 0}) {
    const int code = IoErrorCodeFromErrno(error);
    EXPECT_EQ(IoErrorMessage(code), "E/A-Fehler " + std::to_string(code)) << error;
  }
}

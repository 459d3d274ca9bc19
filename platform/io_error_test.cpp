#include "platform/io_error.h"

#include <gtest/gtest.h>

TEST(IoErrorMessage, TableTextsAndDefaultRow) {
  const struct {
    int code;
    const char* text;
  } cases[] = {
      {2, "Datei nicht gefunden"},
      {3, "Ungültiger Dateiname"},
      {4, "Zu viele geöffnete Dateien"},
      {5, "Dateizugriff verweigert"},
      {100, "Versuch hinter dem Dateiende zu lesen"},
      {101, "Zu wenig Speicherplatz"},
      {106, "Ungültige numerische Eingabe"},
      {32, "E/A-Fehler 32"},
      {109, "E/A-Fehler 109"},
      {1117, "E/A-Fehler 1117"},
      {0, "E/A-Fehler 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(IoErrorMessage(c.code), c.text) << c.code;
}

TEST(EInOutError, CarriesCodeMessageAndAddress) {
  const EInOutError error(kDiskFull);
  EXPECT_EQ(error.code(), 101);
  EXPECT_STREQ(error.what(), "Zu wenig Speicherplatz");
  EXPECT_NE(error.address(), nullptr);
}

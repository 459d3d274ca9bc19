#include "platform/io_error.h"

std::string IoErrorMessage(int code) {
  switch (code) {
    case kFileNotFound:
      return "Datei nicht gefunden";
    case kPathNotFound:
      return "Ungültiger Dateiname";
    case kTooManyOpenFiles:
      return "Zu viele geöffnete Dateien";
    case kAccessDenied:
      return "Dateizugriff verweigert";
    case kReadBeyondEnd:
      return "Versuch hinter dem Dateiende zu lesen";
    case kDiskFull:
      return "Zu wenig Speicherplatz";
    case kInvalidNumericInput:
      return "Ungültige numerische Eingabe";
    default:
      return "E/A-Fehler " + std::to_string(code);
  }
}

// Not inlined, so that the return address is the place that raised the error.
__attribute__((noinline)) EInOutError::EInOutError(int code)
    : std::runtime_error(IoErrorMessage(code)),
      code_(code),
      address_(__builtin_extract_return_addr(__builtin_return_address(0))) {}

#pragma once

#include <stdexcept>
#include <string>

// Error codes with a message of their own. 2 to 5 and 32, 109, 1117 are the
// Windows system codes of the same meaning; 100, 101 and 106 are the tool's.
enum IoErrorCode : int {
  kFileNotFound = 2,
  kPathNotFound = 3,
  kTooManyOpenFiles = 4,
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kSharingViolation = 32,
  kReadBeyondEnd = 100,
  kDiskFull = 101,
  kInvalidNumericInput = 106,
  kBrokenPipe = 109,
  kDeviceIoError = 1117,
};

// The message text for an I/O error code ("Datei nicht gefunden" for 2, and
// "E/A-Fehler <code>" for a code without a text of its own), in UTF-8.
std::string IoErrorMessage(int code);

// A failed file or stream operation. Carries the error code, its message and
// the code address that raised it, for the top-level report.
class EInOutError : public std::runtime_error {
 public:
  // Records the caller's code address as the place the error was raised.
  explicit EInOutError(int code);

  // The error code, one of IoErrorCode or a host code.
  int code() const { return code_; }
  // Where the error was raised, or null when unknown.
  const void* address() const { return address_; }

 private:
  int code_;
  const void* address_;
};

#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

class OutputStream;

// The report for an exception that nothing caught: "Exception <class> in
// Modul <module> bei <offset as 8 hex digits>." and the message with a period
// added, each line ending in CR LF, then one more line end.
std::string TopLevelReport(std::string_view class_name, std::string_view module,
                           std::uintptr_t offset, std::string_view message);

// Flushes `out` (ignoring failures), writes the report for `error` to `err`
// (ignoring failures) and returns the exit status for it, 1.
int ReportUncaughtException(std::exception_ptr error, std::string_view module, OutputStream& out,
                            OutputStream& err);

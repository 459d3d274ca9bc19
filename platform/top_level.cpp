#include "platform/top_level.h"

#include <new>

#include "platform/io_error.h"
#include "platform/process.h"
#include "platform/stream.h"

std::string TopLevelReport(std::string_view class_name, std::string_view module,
                           std::uintptr_t offset, std::string_view message) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address(8, '0');
  for (int i = 7; i >= 0; --i, offset >>= 4) address[i] = kHex[offset & 15];

  std::string text;
  text.append("Exception ").append(class_name).append(" in Modul ").append(module);
  text.append(" bei ").append(address).append(".").append(kLineEnd);
  text.append(message);
  if (!message.empty() && message.back() != '.') text.append(".");
  text.append(kLineEnd).append(kLineEnd);
  return text;
}

int ReportUncaughtException(std::exception_ptr error, std::string_view module, OutputStream& out,
                            OutputStream& err) {
  try {
    out.Flush();
  } catch (const EInOutError&) {
    // Output that cannot be written is already lost; the report still goes out.
  }
  std::string text;
  try {
    std::rethrow_exception(error);
  } catch (const EInOutError& e) {
    text = TopLevelReport("EInOutError", module, ImageOffset(e.address()), e.what());
  } catch (const std::bad_alloc&) {
    text = TopLevelReport("EOutOfMemory", module, 0, "Zu wenig Arbeitsspeicher");
  } catch (const std::exception& e) {
    text = TopLevelReport("Exception", module, 0, e.what());
  } catch (...) {
    text = TopLevelReport("Exception", module, 0, "");
  }
  try {
    err.Write(ToConsoleEncoding(text));
    err.Flush();
  } catch (const EInOutError&) {
    // Nowhere left to tell; the exit status still says it failed.
  }
  return 1;
}

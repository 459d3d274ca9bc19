#pragma once

#include <string>
#include <string_view>

// Every line the tool writes ends in CR LF, on every host.
inline constexpr std::string_view kLineEnd = "\r\n";

// A byte stream for the report and the messages.
class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Writes `bytes` unchanged, now or into a buffer; throws EInOutError.
  virtual void Write(std::string_view bytes) = 0;
  // Passes on what is buffered; throws EInOutError.
  virtual void Flush() = 0;
};

// Writes `text` followed by the line end, in one write.
void WriteLine(OutputStream& stream, std::string_view text);

// A stream that keeps what is written, for tests.
class StringOutput : public OutputStream {
 public:
  void Write(std::string_view bytes) override { text.append(bytes); }
  void Flush() override {}
  std::string text;
};

// The process's standard output. Buffered when it is a file or a pipe; on a
// terminal each write is passed on at once.
OutputStream& StandardOutput();

// The process's standard error; each write is passed on at once.
OutputStream& StandardError();

#include "platform/stream.h"

void WriteLine(OutputStream& stream, std::string_view text) {
  std::string line;
  line.reserve(text.size() + kLineEnd.size());
  line.append(text).append(kLineEnd);
  stream.Write(line);
}

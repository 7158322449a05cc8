#include <cstdio>

#include "platform/console_lines.h"

namespace platform {

void writeConsoleLine(bool toError, const std::string& line) {
  std::FILE* stream = toError ? stderr : stdout;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace platform

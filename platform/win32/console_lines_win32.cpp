#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/console_lines.h"
#include "platform/win32/wide_text.h"

namespace platform {

void writeConsoleLine(bool toError, const std::string& line) {
  // In "C" locale text mode wide output stops at the first non-ASCII character;
  // UTF-8 text mode writes every character.
  static const bool modesSet = [] {
    ::_setmode(::_fileno(stdout), _O_U8TEXT);
    ::_setmode(::_fileno(stderr), _O_U8TEXT);
    return true;
  }();
  (void)modesSet;
  std::FILE* stream = toError ? stderr : stdout;
  std::fputws((win32::widen(line) + L"\n").c_str(), stream);
  std::fflush(stream);
}

}  // namespace platform

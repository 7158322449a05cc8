#pragma once

#include <string>

namespace platform {

// Writes one line of UTF-8 text to standard output (or standard error) and flushes
// it at once. Windows writes it as wide text, so any path shows correctly in a
// console and arrives as UTF-8 in a pipe.
void writeConsoleLine(bool toError, const std::string& line);

}  // namespace platform

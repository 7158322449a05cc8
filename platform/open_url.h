#pragma once

#include <string>

namespace platform {

// Asks the desktop to open a web address in the user's browser, without waiting
// for it. Returns the shell's result in ShellExecute's convention: greater than
// 32 on success, 32 or less on failure (on Linux: 0, or the error number of the
// failed start of xdg-open when it is 32 or less).
long openUrl(const std::string& url);

// True for the addresses the program may hand to the desktop: http:// and https:// only.
bool isWebAddress(const std::string& url);

}  // namespace platform

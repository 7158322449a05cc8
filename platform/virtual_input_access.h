#pragma once

#include <string>

namespace platform {

// What the user can do so the program may create its virtual keyboard and pad, as
// lines ready to print; empty when nothing is missing. Linux: needed when `device`
// (default /dev/uinput) is not writable. Windows needs no such set-up: always empty.
std::string virtualInputAccessHint(const std::string& device = {});

}  // namespace platform

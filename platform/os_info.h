#pragma once

#include <string>

namespace platform {

// One line naming the operating system and its version, for the support report
// ("Linux 6.1.0-18-amd64 x86_64", "Windows 10.0.19045"); "unknown" when it cannot be read.
std::string osDescription();

}  // namespace platform

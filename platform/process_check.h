#pragma once

#include <string>

namespace platform {

// Whether a process with this executable image name (for example "vrmonitor.exe") is
// running. Windows: for "vrmonitor.exe" a top-level window titled "SteamVR" counts;
// otherwise the system's process list names the image (compared without case).
// Linux: a process whose name in
// /proc/<pid>/comm equals the image name without ".exe" (cut to the kernel's 15
// characters).
bool isProcessRunning(const std::string& imageName);

}  // namespace platform

#pragma once

#include <string>

#include "platform/process_check.h"

namespace tracking {

inline bool is_process_running(const std::string& imageName) { return platform::isProcessRunning(imageName); }

// SteamVR runs when its monitor or its server runs.
inline bool is_steamvr_running() { return is_process_running("vrmonitor.exe") || is_process_running("vrserver.exe"); }

}  // namespace tracking

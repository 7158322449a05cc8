#pragma once

namespace platform {

// Starts the system's socket layer (Winsock 2.2 on Windows; nothing on POSIX).
// Returns 0 on success, otherwise the system's error code.
int startNetworking();

}  // namespace platform

#pragma once

namespace platform {

enum class PortProtocol { Udp, Tcp };

// Binds a fresh IPv4 socket to `port` on all local addresses and closes it again.
// True only when the bind failed because the port is taken ("address in use");
// a socket that cannot be made, a successful bind or any other error is false.
bool isPortInUse(int port, PortProtocol protocol);

}  // namespace platform

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/port_probe.h"

namespace platform {

bool isPortInUse(int port, PortProtocol protocol) {
  if (port < 0 || port > 65535) return false;
  const int handle = ::socket(AF_INET, protocol == PortProtocol::Udp ? SOCK_DGRAM : SOCK_STREAM, 0);
  if (handle < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool taken =
      ::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno == EADDRINUSE;
  ::close(handle);
  return taken;
}

}  // namespace platform

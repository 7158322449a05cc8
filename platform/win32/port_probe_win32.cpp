#include <winsock2.h>

#include "platform/network.h"
#include "platform/port_probe.h"

namespace platform {

bool isPortInUse(int port, PortProtocol protocol) {
  if (port < 0 || port > 65535) return false;
  startNetworking();  // reference-counted; tools and tests may call before start-up
  const SOCKET handle = ::socket(AF_INET, protocol == PortProtocol::Udp ? SOCK_DGRAM : SOCK_STREAM, 0);
  if (handle == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(static_cast<u_short>(port));
  const bool taken = ::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR &&
                     ::WSAGetLastError() == WSAEADDRINUSE;
  ::closesocket(handle);
  return taken;
}

}  // namespace platform

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/local_address.h"
#include "platform/network.h"

namespace platform {

std::string localIPv4Address(const std::string& probeAddress) {
  static const int started = startNetworking();
  (void)started;
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return "127.0.0.1";
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(80);
  if (::inet_pton(AF_INET, probeAddress.c_str(), &remote.sin_addr) != 1 ||
      ::connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == SOCKET_ERROR) {
    ::closesocket(s);
    return "127.0.0.1";
  }
  sockaddr_in local{};
  int length = sizeof local;
  const bool named = ::getsockname(s, reinterpret_cast<sockaddr*>(&local), &length) == 0;
  ::closesocket(s);
  char text[22] = {};
  if (!named || !::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text)) return "127.0.0.1";
  return text;
}

}  // namespace platform

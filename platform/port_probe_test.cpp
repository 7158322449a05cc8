#include "platform/port_probe.h"

#include <gtest/gtest.h>

// The test holds ports with the system's own sockets, to be independent of the probe.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Handle = SOCKET;
void closeHandle(Handle h) { ::closesocket(h); }
#else
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
using Handle = int;
void closeHandle(Handle h) { ::close(h); }
#endif

#include "platform/network.h"

namespace platform {
namespace {

// Binds a socket of the kind to an ephemeral port on all addresses (and listens,
// for TCP); returns the port, or 0.
int holdPort(int type, Handle& handle) {
  startNetworking();
  handle = ::socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 0;
  if (type == SOCK_STREAM && ::listen(handle, 1) != 0) return 0;
  socklen_t length = sizeof address;
  if (::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

TEST(PortProbe, AHeldPortIsInUseForItsProtocolAndFreeOnceReleased) {
  Handle udp, tcp;
  const int udpPort = holdPort(SOCK_DGRAM, udp);
  const int tcpPort = holdPort(SOCK_STREAM, tcp);
  ASSERT_NE(udpPort, 0);
  ASSERT_NE(tcpPort, 0);
  EXPECT_TRUE(isPortInUse(udpPort, PortProtocol::Udp));
  EXPECT_TRUE(isPortInUse(tcpPort, PortProtocol::Tcp));
  closeHandle(udp);
  closeHandle(tcp);
  EXPECT_FALSE(isPortInUse(udpPort, PortProtocol::Udp));
  EXPECT_FALSE(isPortInUse(tcpPort, PortProtocol::Tcp));
  EXPECT_FALSE(isPortInUse(70000, PortProtocol::Udp));  // not a port: not "in use"
}

}  // namespace
}  // namespace platform

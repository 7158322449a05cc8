#pragma once

#include "platform/udp_socket.h"

namespace testsupport {

// A UDP port that was free on every local address a moment ago; 0 when none could be had.
// For tests that start a whole program which binds the port itself.
inline int freeUdpPort() {
  platform::UdpSocket probe;
  platform::Endpoint local;
  if (!probe.open() || !probe.bind({0, 0}) || !probe.localEndpoint(local)) return 0;
  return local.port;
}

}  // namespace testsupport

#pragma once

#include <string>

namespace platform {

// The machine's local IPv4 address in dotted-quad form: the address of the
// interface the system would use to reach `probeAddress` (nothing is sent, a
// connected datagram socket only selects a route). "127.0.0.1" when there is none.
std::string localIPv4Address(const std::string& probeAddress = "203.0.113.1");

}  // namespace platform

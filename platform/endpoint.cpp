#include <cstdio>

#include "platform/udp_socket.h"

namespace platform {

bool Endpoint::parse(const std::string& text, std::uint16_t port, Endpoint& out) {
  unsigned parts[4];
  char tail = 0;
  if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4)
    return false;
  std::uint32_t value = 0;
  for (unsigned part : parts) {
    if (part > 255) return false;
    value = (value << 8) | part;
  }
  out = {value, port};
  return true;
}

std::string Endpoint::addressText() const {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF, (address >> 8) & 0xFF,
                address & 0xFF);
  return text;
}

bool UdpSocket::sendTo(const std::string& text, const Endpoint& to) {
  return sendTo(std::as_bytes(std::span(text.data(), text.size())), to);
}

}  // namespace platform

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/local_address.h"

namespace platform {

std::string localIPv4Address(const std::string& probeAddress) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return "127.0.0.1";
  sockaddr_in remote{};
  remote.sin_family = AF_INET;
  remote.sin_port = htons(80);
  if (::inet_pton(AF_INET, probeAddress.c_str(), &remote.sin_addr) != 1 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    ::close(fd);
    return "127.0.0.1";
  }
  sockaddr_in local{};
  socklen_t length = sizeof local;
  const bool named = ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
  ::close(fd);
  char text[22] = {};
  if (!named || !::inet_ntop(AF_INET, &local.sin_addr, text, sizeof text)) return "127.0.0.1";
  return text;
}

}  // namespace platform

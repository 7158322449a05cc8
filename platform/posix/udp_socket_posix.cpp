#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/hot_path.h"
#include "platform/udp_socket.h"

namespace platform {
namespace {

sockaddr_in toSockaddr(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  address.sin_addr.s_addr = htonl(endpoint.address);
  return address;
}

Endpoint fromSockaddr(const sockaddr_in& address) { return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)}; }

}  // namespace

bool Endpoint::resolve(const std::string& host, std::uint16_t port, Endpoint& out) {
  if (parse(host, port, out)) return true;
  if (host.empty()) return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
  bool resolved = false;
  for (const addrinfo* entry = found; entry != nullptr && !resolved; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
    sockaddr_in address{};
    std::memcpy(&address, entry->ai_addr, sizeof address);
    out = {ntohl(address.sin_addr.s_addr), port};
    resolved = true;
  }
  ::freeaddrinfo(found);
  return resolved;
}

UdpSocket::~UdpSocket() { close(); }

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : handle_(other.handle_), lastError_(other.lastError_) {
  other.handle_ = -1;
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    lastError_ = other.lastError_;
    other.handle_ = -1;
  }
  return *this;
}

bool UdpSocket::open() {
  close();
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd < 0) {
    lastError_ = errno;
    return false;
  }
  handle_ = fd;
  return true;
}

STRIVO_HOT_PATH bool UdpSocket::isOpen() const { return handle_ >= 0; }

void UdpSocket::close() {
  if (handle_ >= 0) {
    ::close(static_cast<int>(handle_));
    handle_ = -1;
  }
}

bool UdpSocket::bind(const Endpoint& local) {
  const sockaddr_in address = toSockaddr(local);
  if (::bind(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool UdpSocket::setReceiveTimeout(int milliseconds) {
  timeval timeout{};
  timeout.tv_sec = milliseconds / 1000;
  timeout.tv_usec = (milliseconds % 1000) * 1000;
  if (::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool UdpSocket::setNonBlocking(bool enabled) {
  const int fd = static_cast<int>(handle_);
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0 || ::fcntl(fd, F_SETFL, enabled ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool UdpSocket::setBroadcast(bool enabled) {
  const int value = enabled ? 1 : 0;
  if (::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool UdpSocket::setReuseAddress(bool enabled) {
  const int value = enabled ? 1 : 0;
  if (::setsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

bool UdpSocket::connect(const Endpoint& remote) {
  const sockaddr_in address = toSockaddr(remote);
  if (::connect(static_cast<int>(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    lastError_ = errno;
    return false;
  }
  return true;
}

STRIVO_HOT_PATH ReceiveResult UdpSocket::receiveFrom(std::span<std::byte> buffer) {
  ReceiveResult result;
  if (handle_ < 0) {
    result.status = ReceiveStatus::Closed;
    return result;
  }
  sockaddr_in from{};
  iovec part{buffer.data(), buffer.size()};
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof from;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  const ssize_t received = ::recvmsg(static_cast<int>(handle_), &message, 0);
  if (received < 0) {
    lastError_ = result.errorCode = errno;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
      result.status = ReceiveStatus::TimedOut;
    else if (errno == EBADF)
      result.status = ReceiveStatus::Closed;
    else
      result.status = ReceiveStatus::Failed;
    return result;
  }
  result.from = fromSockaddr(from);
  result.bytes = static_cast<std::size_t>(received);
  // A plain receive silently cuts an over-long datagram to the buffer; report it instead.
  result.status = (message.msg_flags & MSG_TRUNC) ? ReceiveStatus::Truncated : ReceiveStatus::Received;
  return result;
}

STRIVO_HOT_PATH bool UdpSocket::sendTo(std::span<const std::byte> data, const Endpoint& to) {
  const sockaddr_in address = toSockaddr(to);
  const ssize_t sent = ::sendto(static_cast<int>(handle_), data.data(), data.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent < 0) {
    lastError_ = errno;
    return false;
  }
  return static_cast<std::size_t>(sent) == data.size();
}

bool UdpSocket::localEndpoint(Endpoint& out) const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return false;
  out = fromSockaddr(address);
  return true;
}

bool UdpSocket::lastErrorIsAddressInUse() const { return lastError_ == EADDRINUSE; }

}  // namespace platform

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/network.h"
#include "platform/udp_socket.h"

namespace platform {
namespace {

constexpr std::intptr_t kNoSocket = -1;

SOCKET native(std::intptr_t handle) { return static_cast<SOCKET>(handle); }

sockaddr_in toSockaddr(const Endpoint& endpoint) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(endpoint.port);
  address.sin_addr.s_addr = htonl(endpoint.address);
  return address;
}

Endpoint fromSockaddr(const sockaddr_in& address) { return {ntohl(address.sin_addr.s_addr), ntohs(address.sin_port)}; }

// Sockets may be used before the program's start-up ran (tests, tools); WSAStartup is reference-counted.
void ensureNetworking() {
  static const int started = startNetworking();
  (void)started;
}

}  // namespace

bool Endpoint::resolve(const std::string& host, std::uint16_t port, Endpoint& out) {
  if (parse(host, port, out)) return true;
  if (host.empty()) return false;
  ensureNetworking();
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
  other.handle_ = kNoSocket;
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    lastError_ = other.lastError_;
    other.handle_ = kNoSocket;
  }
  return *this;
}

bool UdpSocket::open() {
  close();
  ensureNetworking();
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    lastError_ = WSAGetLastError();
    return false;
  }
  handle_ = static_cast<std::intptr_t>(s);
  return true;
}

bool UdpSocket::isOpen() const { return handle_ != kNoSocket; }

void UdpSocket::close() {
  if (handle_ != kNoSocket) {
    ::closesocket(native(handle_));
    handle_ = kNoSocket;
  }
}

bool UdpSocket::bind(const Endpoint& local) {
  const sockaddr_in address = toSockaddr(local);
  if (::bind(native(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return true;
}

bool UdpSocket::setReceiveTimeout(int milliseconds) {
  const DWORD timeout = static_cast<DWORD>(milliseconds);
  if (::setsockopt(native(handle_), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) ==
      SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return true;
}

bool UdpSocket::setNonBlocking(bool enabled) {
  u_long value = enabled ? 1 : 0;
  if (::ioctlsocket(native(handle_), FIONBIO, &value) == SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return true;
}

bool UdpSocket::setBroadcast(bool enabled) {
  const BOOL value = enabled ? TRUE : FALSE;
  if (::setsockopt(native(handle_), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&value), sizeof value) ==
      SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return true;
}

bool UdpSocket::setReuseAddress(bool enabled) {
  const BOOL value = enabled ? TRUE : FALSE;
  if (::setsockopt(native(handle_), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&value), sizeof value) ==
      SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return true;
}

bool UdpSocket::connect(const Endpoint& remote) {
  const sockaddr_in address = toSockaddr(remote);
  if (::connect(native(handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return true;
}

ReceiveResult UdpSocket::receiveFrom(std::span<std::byte> buffer) {
  ReceiveResult result;
  if (handle_ == kNoSocket) {
    result.status = ReceiveStatus::Closed;
    return result;
  }
  sockaddr_in from{};
  int fromLength = sizeof from;
  const int received = ::recvfrom(native(handle_), reinterpret_cast<char*>(buffer.data()),
                                  static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
  if (received == SOCKET_ERROR) {
    const int error = WSAGetLastError();
    lastError_ = result.errorCode = error;
    switch (error) {
      case WSAEMSGSIZE:  // the datagram did not fit the buffer
        result.status = ReceiveStatus::Truncated;
        result.bytes = buffer.size();
        result.from = fromSockaddr(from);
        break;
      case WSAETIMEDOUT:
      case WSAEWOULDBLOCK:
      case WSAEINTR:
      // Windows reports an ICMP "port unreachable" for an earlier send as a receive error; nothing was lost.
      case WSAECONNRESET:
        result.status = ReceiveStatus::TimedOut;
        break;
      case WSAENOTSOCK:
      case WSAESHUTDOWN:
        result.status = ReceiveStatus::Closed;
        break;
      default:
        result.status = ReceiveStatus::Failed;
    }
    return result;
  }
  result.status = ReceiveStatus::Received;
  result.bytes = static_cast<std::size_t>(received);
  result.from = fromSockaddr(from);
  return result;
}

bool UdpSocket::sendTo(std::span<const std::byte> data, const Endpoint& to) {
  const sockaddr_in address = toSockaddr(to);
  const int sent = ::sendto(native(handle_), reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()),
                            0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent == SOCKET_ERROR) {
    lastError_ = WSAGetLastError();
    return false;
  }
  return static_cast<std::size_t>(sent) == data.size();
}

bool UdpSocket::localEndpoint(Endpoint& out) const {
  sockaddr_in address{};
  int length = sizeof address;
  if (::getsockname(native(handle_), reinterpret_cast<sockaddr*>(&address), &length) == SOCKET_ERROR) return false;
  out = fromSockaddr(address);
  return true;
}

bool UdpSocket::lastErrorIsAddressInUse() const { return lastError_ == WSAEADDRINUSE; }

}  // namespace platform

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace platform {

// An IPv4 address and port, both in host byte order.
struct Endpoint {
  std::uint32_t address = 0;
  std::uint16_t port = 0;

  static Endpoint loopback(std::uint16_t port) { return {0x7F000001u, port}; }
  // Parses dotted-quad text; false when it is not one.
  static bool parse(const std::string& text, std::uint16_t port, Endpoint& out);
  // Dotted-quad text, or a host name looked up through the system's resolver
  // (IPv4 addresses only; the first one wins). False when neither gives an address.
  // A name lookup may block for as long as the system's resolver takes.
  static bool resolve(const std::string& host, std::uint16_t port, Endpoint& out);
  std::string addressText() const;
  bool operator==(const Endpoint&) const = default;
};

// True when a port setting names a UDP port (0 binds any free port). A value
// outside this range (a hand-edited 70000, say) never reaches the socket.
constexpr bool isPortNumber(int value) { return value >= 0 && value <= 65535; }
// Added to a failure message about such a value, so the user learns why.
inline constexpr const char* kPortOutOfRange = " (PORT OUT OF RANGE, must be 0 to 65535)";

enum class ReceiveStatus {
  Received,   // bytes holds the datagram's length
  Truncated,  // the datagram was longer than the buffer; its contents must not be used
  TimedOut,   // the receive time-out passed (or a non-blocking socket had nothing)
  Closed,     // the socket was closed
  Failed,     // any other error; see errorCode
};

struct ReceiveResult {
  ReceiveStatus status = ReceiveStatus::Failed;
  std::size_t bytes = 0;
  Endpoint from;
  int errorCode = 0;
};

// One IPv4 UDP socket. Errors are reported as values with the platform's error
// number (errno / WSAGetLastError), never as exceptions.
class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(UdpSocket&& other) noexcept;
  UdpSocket& operator=(UdpSocket&& other) noexcept;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  bool open();
  bool isOpen() const;
  void close();

  // Binds to the given address ("0.0.0.0" for every local address) and port (0 = any free port).
  bool bind(const Endpoint& local);
  bool setReceiveTimeout(int milliseconds);
  // A non-blocking socket's receiveFrom returns TimedOut at once when nothing waits.
  bool setNonBlocking(bool enabled);
  bool setBroadcast(bool enabled);
  bool setReuseAddress(bool enabled);
  bool connect(const Endpoint& remote);

  ReceiveResult receiveFrom(std::span<std::byte> buffer);
  // True when the whole datagram was sent.
  bool sendTo(std::span<const std::byte> data, const Endpoint& to);
  bool sendTo(const std::string& text, const Endpoint& to);

  // The address and port the socket is bound to (after bind or connect).
  bool localEndpoint(Endpoint& out) const;

  // The platform error number of the last failed call on this socket.
  int lastError() const { return lastError_; }
  // True when lastError() means "address already in use".
  bool lastErrorIsAddressInUse() const;

 private:
  std::intptr_t handle_ = -1;
  int lastError_ = 0;
};

}  // namespace platform

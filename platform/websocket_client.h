#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace platform {

enum class WebSocketReceiveStatus {
  Binary,    // `bytes` of a binary message; `endOfMessage` says whether it is the last piece
  Text,      // a piece of a text message
  Closed,    // the peer closed the connection (close frame)
  TimedOut,  // nothing arrived within the time-out; the connection is still usable
  Failed,    // the connection is broken; see errorCode
};

struct WebSocketReceive {
  WebSocketReceiveStatus status = WebSocketReceiveStatus::Failed;
  std::size_t bytes = 0;
  bool endOfMessage = true;
  int errorCode = 0;
};

// One open WebSocket, used by one thread at a time. Errors are values.
class IWebSocketConnection {
 public:
  virtual ~IWebSocketConnection() = default;
  // Sends one whole binary message.
  virtual bool sendBinary(std::span<const std::uint8_t> message) = 0;
  // Waits for the next piece of a message, at most the receive time-out given to
  // connect, and copies it into `buffer`; a message longer than the buffer arrives in
  // several pieces.
  virtual WebSocketReceive receive(std::span<std::uint8_t> buffer) = 0;
  // Sends a normal close (1000, no reason) and releases the connection. Bounded in time.
  virtual void close() = 0;
  // May be called from another thread while receive waits: makes that receive (or the
  // next) return soon, so the receiving thread can stop.
  virtual void interrupt() = 0;
};

// The platform's WebSocket client (WinHTTP on Windows, Boost.Beast elsewhere).
class IWebSocketSession {
 public:
  virtual ~IWebSocketSession() = default;
  // Opens ws://host:port/ ("GET /" with an upgrade). Null on any failure, with the
  // reason in `error`. Gives up after kWebSocketHandshakeTimeoutMs when the peer stalls.
  // Each receive on the connection returns TimedOut after `receiveTimeoutMs` of silence.
  virtual std::unique_ptr<IWebSocketConnection> connect(const std::string& host, int port, int receiveTimeoutMs,
                                                        std::string& error) = 0;
};

inline constexpr int kWebSocketHandshakeTimeoutMs = 5000;

// Null when the platform's HTTP client cannot be started.
std::unique_ptr<IWebSocketSession> openWebSocketSession(const std::string& userAgent);

}  // namespace platform

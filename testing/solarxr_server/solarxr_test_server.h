#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace testsupport::solarxr {

// A stand-in for the SlimeVR server's SolarXR WebSocket on 127.0.0.1: accepts one
// client at a time, records every message it sends, and sends what the test asks.
// All socket work runs on the server's own thread; the destructor stops and joins it.
class SolarXrTestServer {
 public:
  // Port 0 picks a free port. Check listening() afterwards.
  explicit SolarXrTestServer(std::uint16_t port = 0);
  ~SolarXrTestServer();
  SolarXrTestServer(const SolarXrTestServer&) = delete;
  SolarXrTestServer& operator=(const SolarXrTestServer&) = delete;

  bool listening() const;
  std::uint16_t port() const;

  // The n-th message (0-based) the current or an earlier client sent, once it arrived.
  std::optional<std::vector<std::uint8_t>> waitForMessage(std::size_t index, std::chrono::milliseconds timeout);
  // Clients whose WebSocket upgrade completed so far.
  int connections() const;
  // Waits until the current client has gone (closed or broken).
  bool waitForClientGone(std::chrono::milliseconds timeout);

  // Sends one whole message to the current client; false when there is none.
  bool send(std::span<const std::uint8_t> message, bool binary = true);
  // Drops the current client without a close frame, as a server that dies would.
  void dropClient();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace testsupport::solarxr

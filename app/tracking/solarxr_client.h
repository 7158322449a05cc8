#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/tracking/receivers.h"
#include "app/tracking/retry_timer.h"
#include "platform/websocket_client.h"

namespace tracking {

// The SlimeVR server's SolarXR feed: a WebSocket client thread that asks for the
// data feed once per connection, hands every tracker's rotation (split into tilt and
// turn) and linear acceleration to its callbacks under the tracker's name, and
// reconnects every kRetryDelay while it is wanted.
class SolarXRClient final : public ISolarXrClient {
 public:
  using SessionFactory = std::function<std::unique_ptr<platform::IWebSocketSession>(const std::string& userAgent)>;

  static constexpr std::chrono::milliseconds kRetryDelay{2000};
  static constexpr std::size_t kReceiveBufferSize = 4096;
  // Messages longer than the receive buffer are put together up to this size; a
  // longer one is dropped whole.
  static constexpr std::size_t kMaxMessageSize = 64 * 1024;
  // How long one receive waits before the thread checks whether it is still wanted.
  static constexpr int kReceivePollMs = 200;
  // Names kept for the tracker list beside "None"; later names still reach the callbacks.
  static constexpr std::size_t kMaxTrackerNames = 256;

  explicit SolarXRClient(IRetryTimer& retryTimer, SessionFactory sessions = platform::openWebSocketSession);
  ~SolarXRClient() override;
  SolarXRClient(const SolarXRClient&) = delete;
  SolarXRClient& operator=(const SolarXRClient&) = delete;

  // Install before the first connect.
  void set_rotation_callback(NamedVec3Callback callback) override { onRotation_ = std::move(callback); }
  void set_accel_callback(NamedVec3Callback callback) override { onAcceleration_ = std::move(callback); }
  void set_status_callback(std::function<void(std::string_view)> callback) override { onStatus_ = std::move(callback); }

  // Starts the connection thread unless it is already wanted (then nothing changes,
  // not even the port, until disconnect).
  void connect(const std::string& host, int port) override;
  // Stops the thread and waits for it: an open connection is interrupted; returns
  // within one receive poll, or one handshake time-out while connecting.
  void disconnect() override;

  std::string status() const;
  bool connected() const { return connected_.load(); }
  // The first kMaxTrackerNames tracker names seen, sorted, with "None".
  std::vector<std::string> get_tracker_names() const;

 private:
  void run();
  std::unique_ptr<platform::IWebSocketConnection> openFeed(platform::IWebSocketSession& session);
  void receiveFeed(platform::IWebSocketConnection& connection);
  void decode(std::span<const std::uint8_t> message);
  void setStatus(const std::string& text);

  IRetryTimer& retryTimer_;
  SessionFactory sessions_;
  std::string host_;
  int port_ = 0;
  std::atomic<bool> running_{false};
  std::atomic<bool> connected_{false};
  std::thread worker_;
  NamedVec3Callback onRotation_;
  NamedVec3Callback onAcceleration_;
  std::function<void(std::string_view)> onStatus_;

  mutable std::mutex mutex_;  // guards status_ and trackerNames_
  std::string status_ = "Disconnected";
  std::set<std::string, std::less<>> trackerNames_{"None"};

  std::mutex liveMutex_;  // guards live_ against disconnect's interrupt
  platform::IWebSocketConnection* live_ = nullptr;

  std::vector<std::uint8_t> receiveBuffer_;
  std::vector<std::uint8_t> message_;  // a message arriving in several pieces
};

}  // namespace tracking

#include "app/tracking/solarxr_client.h"

#include "app/tracking/quaternion_split.h"
#include "app/tracking/solarxr_messages.h"

namespace tracking {

SolarXRClient::SolarXRClient(IRetryTimer& retryTimer, SessionFactory sessions)
    : retryTimer_(retryTimer), sessions_(std::move(sessions)), receiveBuffer_(kReceiveBufferSize) {}

SolarXRClient::~SolarXRClient() { disconnect(); }

void SolarXRClient::connect(const std::string& host, int port) {
  if (running_.load()) return;
  if (worker_.joinable()) worker_.join();
  host_ = host;
  port_ = port;
  running_.store(true);
  worker_ = std::thread([this] { run(); });
}

void SolarXRClient::disconnect() {
  running_.store(false);
  {
    std::lock_guard lock(liveMutex_);
    if (live_) live_->interrupt();
  }
  retryTimer_.wake();
  if (worker_.joinable()) worker_.join();
  connected_.store(false);
  std::lock_guard lock(mutex_);
  status_ = "Disconnected";
}

std::string SolarXRClient::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::vector<std::string> SolarXRClient::get_tracker_names() const {
  std::lock_guard lock(mutex_);
  return {trackerNames_.begin(), trackerNames_.end()};
}

void SolarXRClient::setStatus(const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    status_ = text;
  }
  if (onStatus_) onStatus_(text);
}

void SolarXRClient::run() {
  setStatus("Disconnected");
  const std::unique_ptr<platform::IWebSocketSession> session = sessions_("StrivoVR/1.0");
  if (!session) {
    // No retry: running stays set, so connect changes nothing until disconnect.
    setStatus("Error: WinHttpOpen failed");
    return;
  }
  while (running_.load()) {
    setStatus("Connecting...");
    if (auto connection = openFeed(*session)) {
      connected_.store(true);
      setStatus("Connected");
      {
        std::lock_guard lock(liveMutex_);
        live_ = connection.get();
      }
      // running may have been cleared before live_ was set; the loop checks it first.
      receiveFeed(*connection);
      {
        std::lock_guard lock(liveMutex_);
        live_ = nullptr;
      }
      connection->close();
    }
    if (!running_.load()) break;
    connected_.store(false);
    setStatus("Disconnected. Retrying...");
    retryTimer_.wait(kRetryDelay, [this] { return !running_.load(); });
  }
}

std::unique_ptr<platform::IWebSocketConnection> SolarXRClient::openFeed(platform::IWebSocketSession& session) {
  std::string error;
  auto connection = session.connect(host_, port_, kReceivePollMs, error);
  if (!connection) return nullptr;
  const std::vector<std::uint8_t> request = solarxr::buildStartDataFeedRequest();
  setStatus("Handshake: Sending StartDataFeed...");
  if (!connection->sendBinary(request)) {
    connection->close();
    return nullptr;
  }
  return connection;
}

void SolarXRClient::receiveFeed(platform::IWebSocketConnection& connection) {
  using platform::WebSocketReceiveStatus;
  message_.clear();
  bool oversized = false;
  while (running_.load() && connected_.load()) {
    const platform::WebSocketReceive piece = connection.receive(receiveBuffer_);
    switch (piece.status) {
      case WebSocketReceiveStatus::TimedOut:
      case WebSocketReceiveStatus::Text:  // the feed is binary; text is ignored
        continue;
      case WebSocketReceiveStatus::Closed:
      case WebSocketReceiveStatus::Failed:
        connected_.store(false);
        return;
      case WebSocketReceiveStatus::Binary:
        break;
    }
    const std::span<const std::uint8_t> bytes(receiveBuffer_.data(), piece.bytes);
    if (piece.endOfMessage && message_.empty() && !oversized) {
      decode(bytes);  // the common case: a whole message in one piece, read in place
      continue;
    }
    if (!oversized && message_.size() + bytes.size() <= kMaxMessageSize)
      message_.insert(message_.end(), bytes.begin(), bytes.end());
    else
      oversized = true;
    if (piece.endOfMessage) {
      if (!oversized) decode(message_);
      message_.clear();
      oversized = false;
    }
  }
}

void SolarXRClient::decode(std::span<const std::uint8_t> message) {
  solarxr::decodeBundle(message, [this](const solarxr::TrackerSample& sample) {
    {
      std::lock_guard lock(mutex_);
      if (trackerNames_.size() <= kMaxTrackerNames && trackerNames_.find(sample.name) == trackerNames_.end())
        trackerNames_.emplace(sample.name);
    }
    if (sample.hasRotation && onRotation_) {
      const auto& q = sample.rotation;
      const TurnAndTilt angles = splitTurnAndTilt(q[0], q[1], q[2], q[3]);
      onRotation_(sample.name, angles.b, angles.a, angles.heading);
    }
    if (sample.hasAcceleration && onAcceleration_) {
      const auto& v = sample.acceleration;
      onAcceleration_(sample.name, v[0], v[1], v[2]);
    }
  });
}

}  // namespace tracking

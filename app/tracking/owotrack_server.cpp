#include "app/tracking/owotrack_server.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>

#include "app/tracking/owotrack_protocol.h"

namespace tracking {

struct owotrack_server::Startup {
  std::promise<bool> listening;
};

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

owotrack_server::owotrack_server(core::Settings& settings, TrackingToggle& toggle, std::ostream& out,
                                 core::RoadStats* road, MonotonicSeconds now)
    : settings_(settings), toggle_(toggle), out_(out), road_(road), now_(now ? std::move(now) : steadySeconds) {}

std::string owotrack_server::followedPhone() const {
  const std::uint32_t address = followed_.load();
  return address ? platform::Endpoint{address, 0}.addressText() : std::string();
}

bool owotrack_server::follows(const platform::Endpoint& from, const owotrack::Packet& packet) {
  const double now = now_();
  const std::uint32_t followed = followed_.load();
  if (from.address != followed) {
    const bool silent = followed == 0 || now - lastHeard_ >= kSilentSeconds;
    if (packet.kind != owotrack::Packet::Handshake || !silent) {
      if (now - lastIgnoredLog_ >= kSilentSeconds) {
        lastIgnoredLog_ = now;
        log("[owotrack] Ignoring packets from " + from.addressText() +
            (followed ? ": following the phone at " + platform::Endpoint{followed, 0}.addressText()
                      : ": no handshake yet"));
      }
      return false;
    }
    followed_ = from.address;
    log("[owotrack] Following the phone at " + from.addressText());
  }
  lastHeard_ = now;
  return true;
}

owotrack_server::~owotrack_server() { endThread(); }

void owotrack_server::set_rotation_callback(RotationCallback callback) { onRotation_ = std::move(callback); }

void owotrack_server::set_accel_callback(Vec3Callback callback) { onAccel_ = std::move(callback); }

void owotrack_server::log(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::lock_guard lock(outMutex_);
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  out_.flush();
}

bool owotrack_server::start() {
  if (running_) return true;
  if (thread_.joinable()) thread_.join();  // a finished run (failed start or stopped thread)
  log("[owotrack] Requesting server start on port " + std::to_string(settings_.owotrack_input_port.load()) + "...");
  // Shared with the thread, so the promise outlives its own set_value on either side.
  auto startup = std::make_shared<Startup>();
  auto listening = startup->listening.get_future();
  thread_ = std::thread(&owotrack_server::threadMain, this, startup);
  return listening.get();
}

void owotrack_server::stop() {
  endThread();
  log("[owotrack] Server stopped.");
}

void owotrack_server::endThread() {
  running_ = false;
  if (thread_.joinable()) {
    // A zero-length datagram to our own port ends the pending receive at once; the
    // receive time-out bounds the wait should it get lost.
    const std::uint16_t port = port_.load();
    if (port != 0) {
      platform::UdpSocket wake;
      if (wake.open()) wake.sendTo(std::span<const std::byte>{}, platform::Endpoint::loopback(port));
    }
    thread_.join();
  }
}

void owotrack_server::threadMain(std::shared_ptr<Startup> startup) {
  log("[owotrack] Server thread started.");
  if (!socket_.open()) {
    log("[owotrack] ERROR: socket() failed, WSA error=" + std::to_string(socket_.lastError()));
    startup->listening.set_value(false);
    return;
  }
  // No address reuse: a second copy of the program must see "address in use"
  // instead of silently sharing the port and splitting the phone's packets.
  socket_.setReceiveTimeout(kReceiveTimeoutMs);
  const int configured = settings_.owotrack_input_port.load();
  const bool inRange = platform::isPortNumber(configured);
  if (!inRange || !socket_.bind({0, static_cast<std::uint16_t>(configured)})) {
    std::string line = "[owotrack] ERROR: bind() failed on port " + std::to_string(configured);
    if (!inRange)
      line += platform::kPortOutOfRange;
    else if (socket_.lastErrorIsAddressInUse())
      line += " (PORT ALREADY IN USE!)";
    line += ", WSA error=" + std::to_string(socket_.lastError());
    log(line);
    socket_.close();
    startup->listening.set_value(false);
    return;
  }
  platform::Endpoint local;
  port_ = socket_.localEndpoint(local) ? local.port : static_cast<std::uint16_t>(configured);
  address_ = local.address;
  running_ = true;
  log("[owotrack] SUCCESSFULLY listening on UDP port " + std::to_string(port_.load()));
  startup->listening.set_value(true);

  while (running_.load(std::memory_order_relaxed)) {
    const platform::ReceiveResult result = socket_.receiveFrom(buffer_);
    if (!running_.load(std::memory_order_relaxed)) break;
    if (result.status == platform::ReceiveStatus::Closed) {
      log("[owotrack] recvfrom SOCKET_ERROR: " + std::to_string(result.errorCode));
      break;
    }
    handle(result, std::span<const std::byte>(buffer_.data(), std::min(result.bytes, buffer_.size())));
  }
  running_ = false;
  socket_.close();
  port_ = 0;
  address_ = 0;
  log("[owotrack] Server thread exiting.");
}

void owotrack_server::handle(const platform::ReceiveResult& result, std::span<const std::byte> data) {
  using platform::ReceiveStatus;
  switch (result.status) {
    case ReceiveStatus::TimedOut:
      return;
    case ReceiveStatus::Truncated:
      // Longer than the buffer: the contents are incomplete, so nothing of it is used.
      log("[owotrack] recvfrom SOCKET_ERROR: " + std::to_string(result.errorCode ? result.errorCode : EMSGSIZE));
      return;
    case ReceiveStatus::Failed:
      log("[owotrack] recvfrom SOCKET_ERROR: " + std::to_string(result.errorCode));
      // A persistent error must not turn the loop into a busy spin.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return;
    default:
      break;
  }
  if (data.empty()) return;
  const owotrack::Packet packet = owotrack::decode(data);
  if (packet.kind == owotrack::Packet::TooShort) return;
  if (!follows(result.from, packet)) return;
  // Counted once followed: the road panel shows the phone that drives walking, not a stranger.
  if (road_) road_->trackerPacket(road_->phone, result.from.address, result.from.port);
  const auto ip = [&] { return result.from.addressText(); };

  switch (packet.kind) {
    case owotrack::Packet::Handshake: {
      log("[owotrack] Handshake (Type 3) from " + ip());
      const bool sent = socket_.sendTo(owotrack::kHandshakeAnswer, result.from);
      const int count = sent ? static_cast<int>(owotrack::kHandshakeAnswer.size()) : -1;
      log("[owotrack] Sent handshake response to " + ip() + " (sent " + std::to_string(count) + " bytes)");
      return;
    }
    case owotrack::Packet::Ping:
      log("[owotrack] Ping (Type 10) from " + ip());
      // The header is all the app looks at; the rest is never sent back.
      socket_.sendTo(data.first(owotrack::kHeaderSize), result.from);
      return;
    case owotrack::Packet::Rotation: {
      ++rotationPackets_;
      if (rotationPackets_ % 50 == 0)
        log("[owotrack] Recv rotation packet " + std::to_string(rotationPackets_) + " from " + ip());
      const auto& v = packet.values;
      if (onRotation_) onRotation_(v[0], v[1], v[2], v[3]);
      return;
    }
    case owotrack::Packet::Acceleration: {
      log("[owotrack] Accel packet from " + ip());
      const auto& v = packet.values;
      if (onAccel_) onAccel_(v[0], v[1], v[2]);
      return;
    }
    case owotrack::Packet::UserAction: {
      const int action = packet.code;
      log("[owotrack] User Action (Type 15) action=" + std::to_string(action) + " from " + ip());
      // A flood of events toggles at most once per spacing; the rest are only logged.
      if (settings_.slimevr_tap_toggle.load() && action >= 1 && action <= 3 &&
          toggle_.admitNetworkToggle(ToggleSource::Phone)) {
        log("[owotrack] SlimeVR Reset (" + std::to_string(action) + ") detected, toggling tracking.");
        toggle_.toggle();
      }
      return;
    }
    case owotrack::Packet::Tap:
      log("[owotrack] Tap Detected (Type 13) sensor=" + std::to_string(int{packet.code}) + " from " + ip());
      if (settings_.slimevr_tap_toggle.load() && toggle_.admitNetworkToggle(ToggleSource::Phone)) toggle_.toggle();
      return;
    default:
      break;
  }

  log("[owotrack] Unknown packet type " + std::to_string(packet.type) + " size " + std::to_string(data.size()) +
      " from " + ip());
  std::string hex = "[owotrack] Hex: ";
  const std::size_t shown = std::min<std::size_t>(data.size(), 32);
  for (std::size_t i = 0; i < shown; ++i) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X ", std::to_integer<unsigned>(data[i]));
    hex += digits;
  }
  log(hex);
}

}  // namespace tracking

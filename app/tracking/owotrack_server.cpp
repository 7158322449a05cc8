#include "app/tracking/owotrack_server.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/core/fixed_line.h"
#include "app/tracking/owotrack_protocol.h"
#include "platform/hot_path.h"

namespace tracking {

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

owotrack_server::owotrack_server(core::Settings& settings, TrackingToggle& toggle, core::Logger& log,
                                 core::RoadStats* road, MonotonicSeconds now)
    : settings_(settings), toggle_(toggle), log_(log), road_(road), now_(now ? std::move(now) : steadySeconds) {}

std::string owotrack_server::followedPhone() const {
  const std::uint32_t address = followed_.load();
  return address ? platform::Endpoint{address, 0}.addressText() : std::string();
}

STRIVO_HOT_PATH bool owotrack_server::follows(const platform::Endpoint& from, const owotrack::Packet& packet) {
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

owotrack_server::~owotrack_server() { receiver_.stop(); }

void owotrack_server::set_rotation_callback(RotationCallback callback) { onRotation_ = std::move(callback); }

void owotrack_server::set_accel_callback(Vec3Callback callback) { onAccel_ = std::move(callback); }

void owotrack_server::log(std::string_view line) { log_.write(core::Logger::Line::Out, line); }

bool owotrack_server::start() {
  if (running()) return true;
  const int configured = settings_.config.snapshot()->tracking.owotrack_input_port;
  log("[owotrack] Requesting server start on port " + std::to_string(configured) + "...");
  log("[owotrack] Server thread started.");
  const bool inRange = platform::isPortNumber(configured);
  // No address reuse: a second copy of the program must see "address in use"
  // instead of silently sharing the port and splitting the phone's packets.
  const core::UdpReceiver::Result opened =
      inRange ? receiver_.start({0, static_cast<std::uint16_t>(configured)}, kReceiveTimeoutMs, *this)
              : core::UdpReceiver::Result{core::UdpReceiver::Opened::BindFailed};
  if (opened.status == core::UdpReceiver::Opened::SocketFailed) {
    log("[owotrack] ERROR: socket() failed, WSA error=" + std::to_string(opened.errorCode));
    return false;
  }
  if (!opened.ok()) {
    std::string line = "[owotrack] ERROR: bind() failed on port " + std::to_string(configured);
    if (!inRange)
      line += platform::kPortOutOfRange;
    else if (opened.addressInUse)
      line += " (PORT ALREADY IN USE!)";
    line += ", WSA error=" + std::to_string(opened.errorCode);
    log(line);
    return false;
  }
  log("[owotrack] SUCCESSFULLY listening on UDP port " + std::to_string(port()));
  return true;
}

void owotrack_server::stop() {
  receiver_.stop();
  log("[owotrack] Server stopped.");
}

void owotrack_server::truncated(const platform::ReceiveResult& result) {
  // Longer than the buffer: the contents are incomplete, so nothing of it is used.
  log("[owotrack] recvfrom SOCKET_ERROR: " + std::to_string(result.errorCode ? result.errorCode : EMSGSIZE));
}

void owotrack_server::failed(const platform::ReceiveResult& result) {
  log("[owotrack] recvfrom SOCKET_ERROR: " + std::to_string(result.errorCode));
}

void owotrack_server::closed(const platform::ReceiveResult& result) { failed(result); }

// Packet lines waiting in the console's buffer show once the phone falls quiet.
void owotrack_server::idle() { log_.flushPackets(); }

void owotrack_server::finished() { log("[owotrack] Server thread exiting."); }

void owotrack_server::logUnknown(const owotrack::Packet& packet, std::span<const std::byte> data,
                                 const platform::Endpoint& from) {
  using Line = core::FixedLine<160>;
  log_.write(core::Logger::Line::Packet, Line()
                                             .add("[owotrack] Unknown packet type ")
                                             .add(std::uint64_t{packet.type})
                                             .add(" size ")
                                             .add(std::uint64_t{data.size()})
                                             .add(" from ")
                                             .addAddress(from.address)
                                             .view());
  Line hex;
  hex.add("[owotrack] Hex: ");
  for (std::byte b : data.first(std::min<std::size_t>(data.size(), 32))) hex.addHex(b).add(" ");
  log_.write(core::Logger::Line::Packet, hex.view());
}

STRIVO_HOT_PATH void owotrack_server::received(std::span<const std::byte> data, const platform::Endpoint& from) {
  if (data.empty()) return;
  const owotrack::Packet packet = owotrack::decode(data);
  if (packet.kind == owotrack::Packet::TooShort) return;
  if (!follows(from, packet)) return;
  // Counted once followed: the road panel shows the phone that drives walking, not a stranger.
  if (road_) road_->trackerPacket(road_->phone, from.address, from.port);
  const auto ip = [&] { return from.addressText(); };
  // The lines written per datagram are built in place and never flushed one by one.
  using Line = core::FixedLine<96>;

  switch (packet.kind) {
    case owotrack::Packet::Handshake: {
      log("[owotrack] Handshake (Type 3) from " + ip());
      const bool sent = receiver_.sendTo(owotrack::kHandshakeAnswer, from);
      const int count = sent ? static_cast<int>(owotrack::kHandshakeAnswer.size()) : -1;
      log("[owotrack] Sent handshake response to " + ip() + " (sent " + std::to_string(count) + " bytes)");
      return;
    }
    case owotrack::Packet::Ping:
      log_.write(core::Logger::Line::Packet,
                 Line().add("[owotrack] Ping (Type 10) from ").addAddress(from.address).view());
      // The header is all the app looks at; the rest is never sent back.
      receiver_.sendTo(data.first(owotrack::kHeaderSize), from);
      return;
    case owotrack::Packet::Rotation: {
      ++rotationPackets_;
      if (rotationPackets_ % 50 == 0)
        log_.write(core::Logger::Line::Packet, Line()
                                                   .add("[owotrack] Recv rotation packet ")
                                                   .add(rotationPackets_)
                                                   .add(" from ")
                                                   .addAddress(from.address)
                                                   .view());
      const auto& v = packet.values;
      if (onRotation_) onRotation_(v[0], v[1], v[2], v[3]);
      return;
    }
    case owotrack::Packet::Acceleration: {
      log_.write(core::Logger::Line::Packet,
                 Line().add("[owotrack] Accel packet from ").addAddress(from.address).view());
      const auto& v = packet.values;
      if (onAccel_) onAccel_(v[0], v[1], v[2]);
      return;
    }
    case owotrack::Packet::UserAction: {
      const int action = packet.code;
      log("[owotrack] User Action (Type 15) action=" + std::to_string(action) + " from " + ip());
      // A flood of events toggles at most once per spacing; the rest are only logged.
      if (settings_.config.snapshot()->program.slimevr_tap_toggle && action >= 1 && action <= 3 &&
          toggle_.admitNetworkToggle(ToggleSource::Phone)) {
        log("[owotrack] SlimeVR Reset (" + std::to_string(action) + ") detected, toggling tracking.");
        toggle_.toggle();
      }
      return;
    }
    case owotrack::Packet::Tap:
      log("[owotrack] Tap Detected (Type 13) sensor=" + std::to_string(int{packet.code}) + " from " + ip());
      if (settings_.config.snapshot()->program.slimevr_tap_toggle && toggle_.admitNetworkToggle(ToggleSource::Phone))
        toggle_.toggle();
      return;
    default:
      break;
  }

  logUnknown(packet, data, from);
}

}  // namespace tracking

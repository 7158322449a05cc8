#include "app/tracking/osc_server.h"

#include <algorithm>
#include <string>

#include "app/core/fixed_line.h"
#include "app/tracking/osc_decoder.h"

namespace tracking {
namespace {

bool isResetAddress(std::string_view address) {
  for (std::string_view reset : {"/user/reset", "/user/yaw_reset", "/user/mounting_reset"})
    if (address.find(reset) != std::string_view::npos) return true;
  return false;
}

}  // namespace

class osc_server::Dispatch final : public osc::PacketSink {
 public:
  explicit Dispatch(osc_server& server) : server_(server) {}
  void message(std::string_view address, std::span<const float> floats) override { server_.onMessage(address, floats); }
  void notOsc(std::span<const std::byte> packet) override { server_.onNotOsc(packet); }

 private:
  osc_server& server_;
};

osc_server::osc_server(core::Settings& settings, TrackingToggle& toggle, MonotonicSeconds now, core::Logger& log)
    : settings_(settings), toggle_(toggle), now_(std::move(now)), log_(log) {}

osc_server::~osc_server() { receiver_.stop(); }

void osc_server::set_message_callback(MessageCallback callback) { onMessage_ = std::move(callback); }

bool osc_server::start() {
  if (running()) return true;
  const int configured = settings_.config.snapshot()->tracking.osc_input_port;
  const bool validPort = configured >= 0 && configured <= 65535;
  // Other hosts may toggle tracking through it: this machine only unless the user opens it.
  const std::uint32_t address =
      settings_.config.snapshot()->tracking.osc_listen_all ? 0 : platform::Endpoint::loopback(0).address;
  // No address reuse: a second program on the same port must see "address in use".
  const core::UdpReceiver::Result opened =
      validPort ? receiver_.start({address, static_cast<std::uint16_t>(configured)}, kReceiveTimeoutMs, *this)
                : core::UdpReceiver::Result{core::UdpReceiver::Opened::BindFailed};
  if (opened.status == core::UdpReceiver::Opened::SocketFailed) return false;
  if (!opened.ok()) {
    std::string line = "[OSC] ERROR: bind() failed on port " + std::to_string(configured);
    if (!validPort)
      line += " (not a UDP port)";  // never handed to bind, where it would wrap to another port
    else if (opened.addressInUse)
      line += " (PORT ALREADY IN USE!)";
    if (validPort) line += ", WSA error=" + std::to_string(opened.errorCode);
    log_.write(core::Logger::Line::Err, line);
    return false;
  }
  write("[OSC] Server started on port " + std::to_string(port()));
  return true;
}

void osc_server::stop() {
  receiver_.stop();
  write("[OSC] Server stopped.");
}

void osc_server::received(std::span<const std::byte> datagram, const platform::Endpoint&) {
  if (!datagram.empty()) handleDatagram(datagram);
}

void osc_server::handleDatagram(std::span<const std::byte> datagram) {
  resetAddress_.reset();
  Dispatch dispatch(*this);
  osc::decodePacket(datagram, dispatch);
  // However many resets a datagram or bundle carries, it toggles at most once, and
  // only when the OSC source's spacing since its last toggle has passed.
  if (resetAddress_ && toggle_.admitNetworkToggle(ToggleSource::Osc)) {
    write("[OSC] SlimeVR Reset signal detected: " + *resetAddress_ + " - Toggling tracking.");
    toggle_.toggleAndSave();
  }
}

void osc_server::onMessage(std::string_view address, std::span<const float> floats) {
  if (!floats.empty() && onMessage_) onMessage_(address, floats);
  if (!settings_.config.snapshot()->program.slimevr_tap_toggle) return;
  if (isResetAddress(address)) {
    if (!resetAddress_) resetAddress_ = std::string(address);
    return;
  }
  const double now = now_();
  if (now - lastPacketLog_ > kPacketLogInterval) {
    write("[OSC] Packet from " + std::string(address));
    lastPacketLog_ = now;
  }
}

void osc_server::onNotOsc(std::span<const std::byte> packet) {
  // One pair of lines per datagram, built in place.
  log_.write(core::Logger::Line::Packet, core::FixedLine<128>()
                                             .add("[OSC] WARNING: Received non-OSC packet (binary?) on port ")
                                             .addSigned(settings_.config.snapshot()->tracking.osc_input_port)
                                             .add(". Size: ")
                                             .add(std::uint64_t{packet.size()})
                                             .view());
  core::FixedLine<80> hex;
  hex.add("[OSC] Hex: ");
  for (std::byte b : packet.first(std::min<std::size_t>(packet.size(), 16))) hex.addHex(b).add(" ");
  log_.write(core::Logger::Line::Packet, hex.add("...").view());
}

}  // namespace tracking

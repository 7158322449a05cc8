#include "app/tracking/osc_server.h"

#include <cstdio>
#include <future>
#include <string>

#include "app/tracking/osc_decoder.h"

namespace tracking {
namespace {

bool isResetAddress(std::string_view address) {
  for (std::string_view reset : {"/user/reset", "/user/yaw_reset", "/user/mounting_reset"})
    if (address.find(reset) != std::string_view::npos) return true;
  return false;
}

}  // namespace

struct osc_server::Startup {
  std::promise<bool> listening;
};

class osc_server::Dispatch final : public osc::PacketSink {
 public:
  explicit Dispatch(osc_server& server) : server_(server) {}
  void message(std::string_view address, std::span<const float> floats) override { server_.onMessage(address, floats); }
  void notOsc(std::span<const std::byte> packet) override { server_.onNotOsc(packet); }

 private:
  osc_server& server_;
};

osc_server::osc_server(core::Settings& settings, TrackingToggle& toggle, MonotonicSeconds now, std::ostream& out,
                       std::ostream& err)
    : settings_(settings), toggle_(toggle), now_(std::move(now)), out_(out), err_(err), buffer_(kBufferSize) {}

osc_server::~osc_server() { endThread(); }

void osc_server::set_message_callback(MessageCallback callback) { onMessage_ = std::move(callback); }

void osc_server::write(std::ostream& stream, std::string_view line) {
  std::string text(line);
  text += '\n';
  std::lock_guard lock(streamMutex_);
  stream.write(text.data(), static_cast<std::streamsize>(text.size()));
  stream.flush();
}

bool osc_server::start() {
  if (running_) return true;
  if (thread_.joinable()) thread_.join();  // a finished run (failed start)
  // Shared with the thread, so the promise outlives its own set_value on either side.
  auto startup = std::make_shared<Startup>();
  auto listening = startup->listening.get_future();
  thread_ = std::thread(&osc_server::threadMain, this, startup);
  return listening.get();
}

void osc_server::stop() {
  endThread();
  write(out_, "[OSC] Server stopped.");
}

void osc_server::endThread() {
  running_ = false;
  if (!thread_.joinable()) return;
  // An empty datagram to our own port ends the pending receive at once; the
  // receive time-out bounds the wait should it get lost.
  if (const std::uint16_t port = port_.load(); port != 0) {
    platform::UdpSocket wake;
    if (wake.open()) wake.sendTo(std::span<const std::byte>{}, platform::Endpoint::loopback(port));
  }
  thread_.join();
}

void osc_server::threadMain(std::shared_ptr<Startup> startup) {
  if (!socket_.open()) {
    startup->listening.set_value(false);
    return;
  }
  // No address reuse: a second program on the same port must see "address in use".
  socket_.setReceiveTimeout(kReceiveTimeoutMs);
  const int configured = settings_.osc_input_port.load();
  const bool validPort = configured >= 0 && configured <= 65535;
  // Other hosts may toggle tracking through it: this machine only unless the user opens it.
  const std::uint32_t address = settings_.osc_listen_all.load() ? 0 : platform::Endpoint::loopback(0).address;
  if (!validPort || !socket_.bind({address, static_cast<std::uint16_t>(configured)})) {
    std::string line = "[OSC] ERROR: bind() failed on port " + std::to_string(configured);
    if (!validPort)
      line += " (not a UDP port)";  // never handed to bind, where it would wrap to another port
    else if (socket_.lastErrorIsAddressInUse())
      line += " (PORT ALREADY IN USE!)";
    if (validPort) line += ", WSA error=" + std::to_string(socket_.lastError());
    write(err_, line);
    socket_.close();
    startup->listening.set_value(false);
    return;
  }
  platform::Endpoint local;
  port_ = socket_.localEndpoint(local) ? local.port : static_cast<std::uint16_t>(configured);
  address_ = local.address;
  running_ = true;
  write(out_, "[OSC] Server started on port " + std::to_string(port_.load()));
  startup->listening.set_value(true);

  while (running_.load(std::memory_order_relaxed)) {
    const platform::ReceiveResult result = socket_.receiveFrom(buffer_);
    if (!running_.load(std::memory_order_relaxed)) break;
    if (result.status == platform::ReceiveStatus::Closed) break;
    // Time-outs, errors and (impossible at this buffer size) cut-off datagrams are skipped.
    if (result.status != platform::ReceiveStatus::Received || result.bytes == 0) continue;
    handleDatagram(std::span<const std::byte>(buffer_.data(), std::min(result.bytes, buffer_.size())));
  }
  running_ = false;
  socket_.close();
  port_ = 0;
  address_ = 0;
}

void osc_server::handleDatagram(std::span<const std::byte> datagram) {
  resetAddress_.reset();
  Dispatch dispatch(*this);
  osc::decodePacket(datagram, dispatch);
  // However many resets a datagram or bundle carries, it toggles at most once, and
  // only when the OSC source's spacing since its last toggle has passed.
  if (resetAddress_ && toggle_.admitNetworkToggle(ToggleSource::Osc)) {
    write(out_, "[OSC] SlimeVR Reset signal detected: " + *resetAddress_ + " - Toggling tracking.");
    toggle_.toggleAndSave();
  }
}

void osc_server::onMessage(std::string_view address, std::span<const float> floats) {
  if (!floats.empty() && onMessage_) onMessage_(address, floats);
  if (!settings_.slimevr_tap_toggle.load()) return;
  if (isResetAddress(address)) {
    if (!resetAddress_) resetAddress_ = std::string(address);
    return;
  }
  const double now = now_();
  if (now - lastPacketLog_ > kPacketLogInterval) {
    write(out_, "[OSC] Packet from " + std::string(address));
    lastPacketLog_ = now;
  }
}

void osc_server::onNotOsc(std::span<const std::byte> packet) {
  write(out_, "[OSC] WARNING: Received non-OSC packet (binary?) on port " +
                  std::to_string(settings_.osc_input_port.load()) + ". Size: " + std::to_string(packet.size()));
  std::string hex = "[OSC] Hex: ";
  for (std::size_t i = 0; i < std::min<std::size_t>(packet.size(), 16); ++i) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X ", std::to_integer<unsigned>(packet[i]));
    hex += digits;
  }
  write(out_, hex + "...");
}

}  // namespace tracking

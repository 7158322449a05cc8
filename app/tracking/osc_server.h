#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/core/udp_receiver.h"
#include "app/tracking/receivers.h"
#include "app/tracking/tracking_toggle.h"
#include "platform/udp_socket.h"

namespace tracking {

// The SlimeVR OSC receiver: one UDP socket on `osc_input_port` (this machine's
// loopback address, or every local address with `osc_listen_all`) served by one thread. Each message with float
// arguments goes to the message callback; with `slimevr_tap_toggle` set, SlimeVR's reset addresses toggle tracking.
// Diagnostic lines ("[OSC] ...") go to the log, errors as error lines.
class osc_server final : public IOscReceiver, private core::UdpReceiver::Handler {
 public:
  // Bounds how long `stop` can take should its wake-up datagram be lost.
  static constexpr int kReceiveTimeoutMs = 100;
  // The largest UDP datagram fits, so a big bundle from a server with many
  // trackers is read whole instead of being cut off.
  static constexpr std::size_t kBufferSize = 65536;
  // "[OSC] Packet from" is written at most once in this many seconds.
  static constexpr double kPacketLogInterval = 1.0;

  using MonotonicSeconds = std::function<double()>;

  osc_server(core::Settings& settings, TrackingToggle& toggle, MonotonicSeconds now, core::Logger& log);
  ~osc_server() override;
  osc_server(const osc_server&) = delete;
  osc_server& operator=(const osc_server&) = delete;

  // Install before the first start; it survives restarts.
  void set_message_callback(MessageCallback callback) override;
  // Binds and starts the receive thread, waiting until it listens or has failed.
  // True when listening (also when it already was).
  bool start() override;
  // Clears the running flag, wakes the thread and joins it.
  void stop() override;

  bool running() const { return receiver_.running(); }
  // The port actually bound (differs from the setting when that is 0), 0 when stopped.
  std::uint16_t port() const { return receiver_.bound().port; }
  // The address bound (0.0.0.0 for every address), 0 when stopped.
  std::uint32_t address() const { return receiver_.bound().address; }

  // Decodes one datagram as the receive thread does (the thread's only entry); a
  // reset in it toggles after the whole datagram was handed on.
  void handleDatagram(std::span<const std::byte> datagram);

 private:
  class Dispatch;
  // The receive thread's call: time-outs, errors and (impossible at this buffer size) cut-off datagrams are skipped.
  void received(std::span<const std::byte> datagram, const platform::Endpoint& from) override;
  void onMessage(std::string_view address, std::span<const float> floats);
  void onNotOsc(std::span<const std::byte> packet);
  void write(std::string_view line) { log_.write(core::Logger::Line::Out, line); }

  core::Settings& settings_;
  TrackingToggle& toggle_;
  MonotonicSeconds now_;
  core::Logger& log_;
  MessageCallback onMessage_;

  core::UdpReceiver receiver_{kBufferSize};
  double lastPacketLog_ = 0.0;               // receive thread only
  std::optional<std::string> resetAddress_;  // the first reset of the datagram being decoded
};

}  // namespace tracking

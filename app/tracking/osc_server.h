#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/core/settings.h"
#include "app/tracking/receivers.h"
#include "app/tracking/tracking_toggle.h"
#include "platform/udp_socket.h"

namespace tracking {

// The SlimeVR OSC receiver: one UDP socket on `osc_input_port` (this machine's
// loopback address, or every local address with `osc_listen_all`) served by one thread. Each message with float
// arguments goes to the message callback; with `slimevr_tap_toggle` set, SlimeVR's reset addresses toggle tracking.
// Diagnostic lines ("[OSC] ...") go to `out`, errors to `err`.
class osc_server final : public IOscReceiver {
 public:
  // Bounds how long `stop` can take should its wake-up datagram be lost.
  static constexpr int kReceiveTimeoutMs = 100;
  // The largest UDP datagram fits, so a big bundle from a server with many
  // trackers is read whole instead of being cut off.
  static constexpr std::size_t kBufferSize = 65536;
  // "[OSC] Packet from" is written at most once in this many seconds.
  static constexpr double kPacketLogInterval = 1.0;

  using MonotonicSeconds = std::function<double()>;

  osc_server(core::Settings& settings, TrackingToggle& toggle, MonotonicSeconds now, std::ostream& out = std::cout,
             std::ostream& err = std::cerr);
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

  bool running() const { return running_.load(); }
  // The port actually bound (differs from the setting when that is 0), 0 when stopped.
  std::uint16_t port() const { return port_.load(); }
  // The address bound (0.0.0.0 for every address), 0 when stopped.
  std::uint32_t address() const { return address_.load(); }

  // Decodes one datagram as the receive thread does (the thread's only entry); a
  // reset in it toggles after the whole datagram was handed on.
  void handleDatagram(std::span<const std::byte> datagram);

 private:
  struct Startup;
  class Dispatch;
  void threadMain(std::shared_ptr<Startup> startup);
  void endThread();
  void onMessage(std::string_view address, std::span<const float> floats);
  void onNotOsc(std::span<const std::byte> packet);
  void write(std::ostream& stream, std::string_view line);

  core::Settings& settings_;
  TrackingToggle& toggle_;
  MonotonicSeconds now_;
  std::ostream& out_;
  std::ostream& err_;
  std::mutex streamMutex_;
  MessageCallback onMessage_;

  std::atomic<bool> running_{false};
  std::atomic<std::uint16_t> port_{0};
  std::atomic<std::uint32_t> address_{0};
  std::thread thread_;
  platform::UdpSocket socket_;  // used by the receive thread only
  std::vector<std::byte> buffer_;
  double lastPacketLog_ = 0.0;               // receive thread only
  std::optional<std::string> resetAddress_;  // the first reset of the datagram being decoded
};

}  // namespace tracking

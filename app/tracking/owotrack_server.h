#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/core/road_stats.h"
#include "app/core/settings.h"
#include "app/core/udp_receiver.h"
#include "app/tracking/owotrack_protocol.h"
#include "app/tracking/receivers.h"
#include "app/tracking/tracking_toggle.h"
#include "platform/udp_socket.h"

namespace tracking {

// The phone tracker server: one UDP socket on `owotrack_input_port` (every local
// address) served by one thread. It answers the app's handshake and pings, hands
// rotations and accelerations to its callbacks, and turns the app's tap and reset
// events into a tracking toggle while `slimevr_tap_toggle` is set. Its diagnostic
// lines ("[owotrack] ...") go to the log; those written per datagram are packet lines.
//
// It follows one phone: the address whose handshake it answered. Datagrams from
// any other address are ignored until that phone has sent nothing for
// kSilentSeconds; then the next handshake from another address takes over.
class owotrack_server final : public IPhoneReceiver, private core::UdpReceiver::Handler {
 public:
  static constexpr int kReceiveTimeoutMs = 500;
  static constexpr std::size_t kBufferSize = 1024;
  static constexpr double kSilentSeconds = 5.0;

  using MonotonicSeconds = std::function<double()>;

  // `road`, when given, counts every datagram and remembers its sender. `now`
  // (default: the steady clock) times the followed phone's silence.
  owotrack_server(core::Settings& settings, TrackingToggle& toggle, core::Logger& log, core::RoadStats* road = nullptr,
                  MonotonicSeconds now = {});
  ~owotrack_server() override;
  owotrack_server(const owotrack_server&) = delete;
  owotrack_server& operator=(const owotrack_server&) = delete;

  // Install before the first start; not to be changed while running.
  void set_rotation_callback(RotationCallback callback) override;
  void set_accel_callback(Vec3Callback callback) override;

  // Binds and starts the receive thread, waiting until it is listening or has failed.
  // True when listening (also when it already was).
  bool start() override;
  // Clears the running flag, wakes the thread and joins it. Returns within one
  // receive time-out at most.
  void stop() override;

  bool running() const { return receiver_.running(); }
  // The port actually bound (differs from the setting when that is 0), 0 when stopped.
  std::uint16_t port() const { return receiver_.bound().port; }
  // The address bound (0.0.0.0: every address), 0 when stopped.
  std::uint32_t address() const { return receiver_.bound().address; }
  // The followed phone's address as dotted text; empty before the first handshake.
  std::string followedPhone() const;

 private:
  // The receive thread's calls.
  void received(std::span<const std::byte> data, const platform::Endpoint& from) override;
  void truncated(const platform::ReceiveResult& result) override;
  void failed(const platform::ReceiveResult& result) override;
  void closed(const platform::ReceiveResult& result) override;
  void idle() override;
  void finished() override;
  // True when the datagram comes from the followed phone, or is a handshake that
  // may take over; notes the time it was heard.
  bool follows(const platform::Endpoint& from, const owotrack::Packet& packet);
  void log(std::string_view line);
  void logUnknown(const owotrack::Packet& packet, std::span<const std::byte> data, const platform::Endpoint& from);

  core::Settings& settings_;
  TrackingToggle& toggle_;
  core::Logger& log_;
  core::RoadStats* road_;
  RotationCallback onRotation_;
  Vec3Callback onAccel_;

  MonotonicSeconds now_;
  std::atomic<std::uint32_t> followed_{0};  // 0: no phone yet; written by the receive thread
  double lastHeard_ = 0.0;                  // receive thread only
  double lastIgnoredLog_ = -1e9;            // receive thread only
  core::UdpReceiver receiver_{kBufferSize};
  // Accepted rotation packets over the life of this server, across restarts.
  std::uint64_t rotationPackets_ = 0;
};

}  // namespace tracking

#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/core/road_stats.h"
#include "app/core/settings.h"
#include "app/tracking/owotrack_protocol.h"
#include "app/tracking/receivers.h"
#include "app/tracking/tracking_toggle.h"
#include "platform/udp_socket.h"

namespace tracking {

// The phone tracker server: one UDP socket on `owotrack_input_port` (every local
// address) served by one thread. It answers the app's handshake and pings, hands
// rotations and accelerations to its callbacks, and turns the app's tap and reset
// events into a tracking toggle while `slimevr_tap_toggle` is set. Its diagnostic
// lines ("[owotrack] ...") go to the given stream.
//
// It follows one phone: the address whose handshake it answered. Datagrams from
// any other address are ignored until that phone has sent nothing for
// kSilentSeconds; then the next handshake from another address takes over.
class owotrack_server final : public IPhoneReceiver {
 public:
  static constexpr int kReceiveTimeoutMs = 500;
  static constexpr std::size_t kBufferSize = 1024;
  static constexpr double kSilentSeconds = 5.0;

  using MonotonicSeconds = std::function<double()>;

  // `road`, when given, counts every datagram and remembers its sender. `now`
  // (default: the steady clock) times the followed phone's silence.
  owotrack_server(core::Settings& settings, TrackingToggle& toggle, std::ostream& out = std::cout,
                  core::RoadStats* road = nullptr, MonotonicSeconds now = {});
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

  bool running() const { return running_.load(); }
  // The port actually bound (differs from the setting when that is 0), 0 when stopped.
  std::uint16_t port() const { return port_.load(); }
  // The address bound (0.0.0.0: every address), 0 when stopped.
  std::uint32_t address() const { return address_.load(); }
  // The followed phone's address as dotted text; empty before the first handshake.
  std::string followedPhone() const;

 private:
  struct Startup;
  void threadMain(std::shared_ptr<Startup> startup);
  void endThread();
  void handle(const platform::ReceiveResult& result, std::span<const std::byte> data);
  // True when the datagram comes from the followed phone, or is a handshake that
  // may take over; notes the time it was heard.
  bool follows(const platform::Endpoint& from, const owotrack::Packet& packet);
  void log(std::string_view line);

  core::Settings& settings_;
  TrackingToggle& toggle_;
  std::ostream& out_;
  core::RoadStats* road_;
  std::mutex outMutex_;
  RotationCallback onRotation_;
  Vec3Callback onAccel_;

  std::atomic<bool> running_{false};
  std::atomic<std::uint16_t> port_{0};
  std::atomic<std::uint32_t> address_{0};
  MonotonicSeconds now_;
  std::atomic<std::uint32_t> followed_{0};  // 0: no phone yet; written by the receive thread
  double lastHeard_ = 0.0;                  // receive thread only
  double lastIgnoredLog_ = -1e9;            // receive thread only
  std::thread thread_;
  platform::UdpSocket socket_;  // used by the receive thread only
  std::array<std::byte, kBufferSize> buffer_{};
  // Accepted rotation packets over the life of this server, across restarts.
  std::uint64_t rotationPackets_ = 0;
};

}  // namespace tracking

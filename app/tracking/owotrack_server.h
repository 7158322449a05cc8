#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "app/core/road_stats.h"
#include "app/core/settings.h"
#include "app/tracking/receivers.h"
#include "app/tracking/tracking_toggle.h"
#include "platform/udp_socket.h"

namespace tracking {

// The phone tracker server: one UDP socket on `owotrack_input_port` (every local
// address) served by one thread. It answers the app's handshake and pings, hands
// rotations and accelerations to its callbacks, and turns the app's tap and reset
// events into a tracking toggle while `slimevr_tap_toggle` is set. Its diagnostic
// lines ("[owotrack] ...") go to the given stream.
class owotrack_server final : public IPhoneReceiver {
 public:
  static constexpr int kReceiveTimeoutMs = 500;
  static constexpr std::size_t kBufferSize = 1024;

  // `road`, when given, counts every datagram and remembers its sender.
  owotrack_server(core::Settings& settings, TrackingToggle& toggle, std::ostream& out = std::cout,
                  core::RoadStats* road = nullptr);
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

 private:
  struct Startup;
  void threadMain(std::shared_ptr<Startup> startup);
  void endThread();
  void handle(const platform::ReceiveResult& result, std::span<const std::byte> data);
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
  std::thread thread_;
  platform::UdpSocket socket_;  // used by the receive thread only
  std::array<std::byte, kBufferSize> buffer_{};
  // Accepted rotation packets over the life of this server, across restarts.
  std::uint64_t rotationPackets_ = 0;
};

}  // namespace tracking

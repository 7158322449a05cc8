#pragma once

#include <array>
#include <cstddef>

#include "common/openvr/driver_api.h"
#include "driver/interception.h"
#include "driver/relay.h"
#include "platform/udp_socket.h"

namespace gaitrelay {

// The provider SteamVR's server loads. It adds no device: it receives the main
// program's hook datagrams on the loopback address and rewrites other drivers' input.
class CServerDriver : public vr::IServerTrackedDeviceProvider {
 public:
  // Loopback only: controller input must not be accepted from other machines.
  static platform::Endpoint defaultEndpoint() { return platform::Endpoint::loopback(hook::kDriverPort); }
  // A flood must not stall the server's frame; the rest waits for the next frame.
  static constexpr int kMaxDatagramsPerFrame = 256;

  explicit CServerDriver(platform::Endpoint listen = defaultEndpoint(), TickSource ticks = &steadyTicks);
  // A library unloaded without Cleanup must not leave the server's method table
  // pointing into unmapped code.
  ~CServerDriver();

  vr::EVRInitError Init(vr::IVRDriverContext* context) override;
  void Cleanup() override;
  const char* const* GetInterfaceVersions() override;
  void RunFrame() override;
  bool ShouldBlockStandbyMode() override { return false; }
  void EnterStandby() override {}
  void LeaveStandby() override {}

  // For tests: where the socket is bound, and the relay's state.
  bool boundEndpoint(platform::Endpoint& out) const { return socket_.isOpen() && socket_.localEndpoint(out); }
  const Relay& relay() const { return relay_; }

 private:
  vr::EVRInitError initialize(vr::IVRDriverContext* context);
  void runFrame();
  void drainDatagrams();
  void answerPing(std::uint32_t counter, const platform::Endpoint& to);

  platform::Endpoint listen_;
  TickSource ticks_;
  platform::UdpSocket socket_;
  std::array<std::byte, hook::kMaxDatagram> buffer_{};
  Relay relay_;
  // Tick of the last frame in which an override reached a controller; 0: never.
  std::uint64_t lastApplied_ = 0;
};

}  // namespace gaitrelay

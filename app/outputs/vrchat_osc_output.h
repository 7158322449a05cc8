#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/outputs/backends.h"
#include "platform/udp_socket.h"

namespace outputs {

// The "VRChat OSC" output: sends the stick as "/input/Horizontal" and
// "/input/Vertical" and the jump as "/input/Jump" to `vrchat_osc_address`:
// `vrchat_osc_port`, one small OSC datagram each, on the caller's thread.
// VRChat keeps walking on the last axis values it got, so `cleanup` (and the
// destructor) send zeros before the socket closes. Calls come serialised by the
// OutputService; the class has no lock of its own.
class VRChatOscOutput final : public IOscOutputBackend {
 public:
  // Turns the address text into an IPv4 endpoint; the default is the system's
  // resolver, so a name such as "localhost" works as well as a dotted address.
  using Resolver = std::function<bool(const std::string& host, std::uint16_t port, platform::Endpoint& out)>;

  VRChatOscOutput(core::Settings& settings, core::Logger& logger, Resolver resolve = &platform::Endpoint::resolve);
  ~VRChatOscOutput() override;
  VRChatOscOutput(const VRChatOscOutput&) = delete;
  VRChatOscOutput& operator=(const VRChatOscOutput&) = delete;

  // Opens the socket and fixes the destination from the settings. Nothing happens
  // when already initialised: a new address or port takes effect after `cleanup`.
  void init() override;
  // Sends both axes: x clamped to -1..1, and y negated (VRChat's Vertical is
  // positive forward) and clamped.
  void update(float x, float y) override;
  // Sends "/input/Jump" 1 or 0 when the state changed.
  void setJump(bool pressed) override;
  // Sends zero axes and a released jump, then closes the socket.
  void cleanup() override;

  bool initialized() const { return initialized_; }
  const platform::Endpoint& destination() const { return destination_; }

 private:
  void sendFloat(std::string_view address, float value);
  void sendInt(std::string_view address, std::int32_t value);

  core::Settings& settings_;
  core::Logger& logger_;
  Resolver resolve_;
  platform::UdpSocket socket_;
  platform::Endpoint destination_;
  bool initialized_ = false;
  bool lastJump_ = false;
};

}  // namespace outputs

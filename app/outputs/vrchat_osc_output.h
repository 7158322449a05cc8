#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/outputs/output.h"
#include "platform/udp_socket.h"

namespace outputs {

// The "VRChat OSC" output: sends the stick as "/input/Horizontal" and
// "/input/Vertical" and the jump as "/input/Jump" to the configured address and
// port, one small OSC datagram each (built in a fixed buffer), on the caller's
// thread. VRChat has no crouch or second stage input. VRChat keeps walking on the
// last axis values it got, so `stop` (and the destructor) send zeros before the
// socket closes. Calls come serialised by the OutputService; the class has no lock
// of its own.
class VRChatOscOutput final : public IOutput {
 public:
  // Turns the address text into an IPv4 endpoint; the default is the system's
  // resolver, so a name such as "localhost" works as well as a dotted address.
  using Resolver = std::function<bool(const std::string& host, std::uint16_t port, platform::Endpoint& out)>;

  explicit VRChatOscOutput(core::Logger& logger, Resolver resolve = &platform::Endpoint::resolve);
  ~VRChatOscOutput() override;
  VRChatOscOutput(const VRChatOscOutput&) = delete;
  VRChatOscOutput& operator=(const VRChatOscOutput&) = delete;

  // A new address or port takes effect at the next start.
  void configure(const OutputConfig& config) override { config_ = config.osc; }
  // Opens the socket and fixes the destination. Nothing happens when already started.
  void start() override;
  // Sends zero axes and a released jump, then closes the socket.
  void stop() override;
  // Sends both axes, each clamped to -1..1.
  void stick(float x, float y) override;
  // Jump: sends "/input/Jump" 1 or 0 when the state changed.
  void press(Action action) override;
  void release(Action action) override;
  void centre() override;
  void keepAlive() override {}

  bool initialized() const { return initialized_; }
  const platform::Endpoint& destination() const { return destination_; }

 private:
  void setJump(bool pressed);
  void sendFloat(std::string_view address, float value);
  void sendInt(std::string_view address, std::int32_t value);

  core::Logger& logger_;
  OscConfig config_;
  Resolver resolve_;
  platform::UdpSocket socket_;
  platform::Endpoint destination_;
  bool initialized_ = false;
  bool lastJump_ = false;
};

}  // namespace outputs

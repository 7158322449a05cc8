#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "app/core/wait_clock.h"
#include "app/outputs/output.h"
#include "common/hook/hook_protocol.h"
#include "platform/udp_socket.h"

namespace outputs {

// What the component check knows about the SteamVR driver (its first entry).
struct DriverComponentStatus {
  bool registered = false;
  bool filesPresent = false;
};
// Refreshes the component status and returns the driver's entry.
using DriverStatusCheck = std::function<DriverComponentStatus()>;

// The output behind "SteamVR Hook": turns the stick and the presses into hook
// datagrams for the SteamVR driver, with the "Thumbstick Back" / "Thumbstick
// Forward" pseudo-buttons that hold the stick. It only sends.
//
// It remembers every press it holds (hand, button and the address it went to),
// repeats each from the engine's pass so the driver's 1 s button lapse never
// drops a held press, releases exactly what it pressed, and keeps the release
// datagrams in the crash last-stop table. The stick goes to the configured hand;
// when that changes, the old hand's stick is released first.
class SteamVRHookService final : public IOutput {
 public:
  // A held press is sent again once this long has passed since it was last sent.
  static constexpr std::chrono::milliseconds kRepeatInterval{200};

  // `driverMissing` is called at start when the driver's files exist but it is not registered.
  SteamVRHookService(core::Logger& logger, DriverStatusCheck driverStatus = {},
                     std::function<void()> driverMissing = {},
                     platform::Endpoint driver = platform::Endpoint::loopback(hook::kDriverPort),
                     std::ostream& out = std::cout, std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock());
  ~SteamVRHookService() override;

  void configure(const OutputConfig& config) override;
  void start() override;
  // Releases every held press and stick, then closes the socket.
  void stop() override;
  void stick(float x, float y) override;
  // Pressing what is already held sends it again.
  void press(Action action) override;
  void release(Action action) override;
  void centre() override;
  void keepAlive() override;

  bool initialized() const { return initialized_; }
  bool socketOpen() const { return socket_.isOpen(); }

 private:
  struct Press {
    core::Hand hand;
    std::string button;   // as configured, e.g. "Trigger" or "Thumbstick Back"
    std::string address;  // where the press went
    core::WaitClock::TimePoint lastSent;
  };
  struct StickAddress {
    core::Hand hand;
    std::string address;
  };

  const HandButton& bindingOf(Action action) const;
  const std::string& addressOf(core::Hand hand) const { return addresses_[static_cast<std::size_t>(hand)]; }
  // True when a held press of `button` on `hand` overrides that hand's stick.
  bool holdsPseudo(core::Hand hand, const char* button) const;
  void releaseLocked(Action action);
  void restStick(core::Hand hand);
  // The datagrams of one press or release of `button` at `address`.
  static std::vector<std::string> pressMessages(const std::string& address, core::Hand hand, const std::string& button,
                                                bool pressed);
  void sendAll(const std::vector<std::string>& messages);
  void noteStickAddress(core::Hand hand, const std::string& address);
  void publishLastStop();
  void send(const std::string& message);

  core::Logger& logger_;
  DriverStatusCheck driverStatus_;
  std::function<void()> driverMissing_;
  platform::Endpoint driver_;
  std::ostream& out_;
  std::shared_ptr<core::WaitClock> clock_;

  // Calls normally arrive serialised by the output service; this lock only keeps the
  // socket and flags whole if start or stop ever race a send.
  std::recursive_mutex mutex_;
  platform::UdpSocket socket_;
  bool initialized_ = false;
  HookConfig config_;
  std::array<std::string, 2> addresses_{"L", "R"};  // each hand's address under the configured serial
  std::array<std::optional<Press>, kActionCount> held_;
  std::vector<StickAddress> sticks_;     // addresses that got a stick since their last release
  std::optional<core::Hand> stickHand_;  // the hand the stick last went to
};

}  // namespace outputs

#pragma once

#include <chrono>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/core/wait_clock.h"
#include "app/outputs/backends.h"
#include "app/outputs/output_service.h"
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

// The output behind "SteamVR Hook": turns the engine's stick and buttons into hook
// datagrams for the SteamVR driver, with the second-stage (S2) button and the
// "Thumbstick Back" / "Thumbstick Forward" pseudo-buttons. It only sends.
//
// It remembers every press it holds (hand, button and the address it went to),
// repeats each from the engine's pass so the driver's 1 s button lapse never
// drops a held press, releases exactly what it pressed, and keeps the release
// datagrams in the crash last-stop table.
class SteamVRHookService : public outputs::IHookBackend {
 public:
  // A held press is sent again once this long has passed since it was last sent.
  static constexpr std::chrono::milliseconds kRepeatInterval{200};

  SteamVRHookService(core::Settings& settings, core::Logger& logger, DriverStatusCheck driverStatus = {},
                     platform::Endpoint driver = platform::Endpoint::loopback(hook::kDriverPort),
                     std::ostream& out = std::cout, std::shared_ptr<core::WaitClock> clock = core::steadyWaitClock());
  ~SteamVRHookService() override;

  void initialize() override;
  // Releases every held press and stick, then closes the socket.
  void cleanup() override;
  void sendStick(float x, float y, const std::string& hand) override;
  void buttonEvent(const std::string& button, bool pressed, const std::string& hand) override;
  void sendRelease(const std::string& text) override;
  void keepAlive() override;

  bool initialized() const { return initialized_; }
  bool socketOpen() const { return socket_.isOpen(); }

 private:
  struct HeldPress {
    std::string letter;   // "L" or "R"
    std::string button;   // as configured, e.g. "Trigger" or "Thumbstick Back"
    std::string address;  // where the press went
    core::WaitClock::TimePoint lastSent;
  };
  struct StickAddress {
    std::string letter;
    std::string address;
  };

  void buttonEventLocked(const std::string& button, bool pressed, const std::string& hand);
  // The datagrams of one press or release of `button` at `address`.
  static std::vector<std::string> pressMessages(const std::string& address, const std::string& letter,
                                                const std::string& button, bool pressed);
  void sendAll(const std::vector<std::string>& messages);
  void noteStickAddress(const std::string& letter, const std::string& address);
  void publishLastStop();
  void send(const std::string& message);
  std::string addressFor(const std::string& handLetter) const;

  core::Settings& settings_;
  core::Logger& logger_;
  DriverStatusCheck driverStatus_;
  platform::Endpoint driver_;
  std::ostream& out_;
  std::shared_ptr<core::WaitClock> clock_;

  // Calls normally arrive serialised by the engine lock; this lock only keeps the
  // socket and flags whole if initialise or clean-up ever race a send.
  std::recursive_mutex mutex_;
  platform::UdpSocket socket_;
  bool initialized_ = false;
  bool s2Pressed_ = false;
  outputs::ButtonSpec s2Spec_;  // what the second stage pressed, so its release goes there
  std::vector<HeldPress> held_;
  std::vector<StickAddress> sticks_;      // addresses that got a stick since their last release
  bool backHeld_[2] = {false, false};     // left, right
  bool forwardHeld_[2] = {false, false};  // left, right
};

}  // namespace outputs

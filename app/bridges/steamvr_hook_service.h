#pragma once

#include <functional>
#include <iostream>
#include <mutex>
#include <string>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/outputs/backends.h"
#include "app/outputs/output_service.h"
#include "common/hook/hook_protocol.h"
#include "platform/udp_socket.h"

namespace bridges {

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
class SteamVRHookService : public outputs::IHookBackend {
 public:
  SteamVRHookService(core::Settings& settings, core::Logger& logger, DriverStatusCheck driverStatus = {},
                     platform::Endpoint driver = platform::Endpoint::loopback(hook::kDriverPort),
                     std::ostream& out = std::cout);
  ~SteamVRHookService() override;

  void initialize() override;
  void cleanup() override;
  void sendStick(float x, float y, const std::string& hand) override;
  void buttonEvent(const std::string& button, bool pressed, const std::string& hand) override;
  void sendRelease(const std::string& text) override;

  bool initialized() const { return initialized_; }
  bool socketOpen() const { return socket_.isOpen(); }

 private:
  void buttonEventLocked(const std::string& button, bool pressed, const std::string& hand);
  void send(const std::string& message);
  std::string addressFor(const std::string& handLetter) const;

  core::Settings& settings_;
  core::Logger& logger_;
  DriverStatusCheck driverStatus_;
  platform::Endpoint driver_;
  std::ostream& out_;

  // Calls normally arrive serialised by the engine lock; this lock only keeps the
  // socket and flags whole if initialise or clean-up ever race a send.
  std::recursive_mutex mutex_;
  platform::UdpSocket socket_;
  bool initialized_ = false;
  bool s2Pressed_ = false;
  bool backHeld_[2] = {false, false};     // left, right
  bool forwardHeld_[2] = {false, false};  // left, right
};

}  // namespace bridges

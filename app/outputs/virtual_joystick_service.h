#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <iostream>
#include <mutex>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/outputs/output.h"
#include "app/outputs/second_controller_bridge.h"
#include "platform/virtual_pad.h"

namespace outputs {

// The virtual Xbox 360 controller: the walking stick on the left stick, jump, crouch
// and the second stage as pad buttons or stick overrides. Every change sends a full
// report, merged with the bridge's remote controller first.
class VirtualJoystickService final : public IOutput {
 public:
  // The names offered for `jump_button`, `squat_button` and `xbox_button_2`, in order.
  static constexpr std::array<const char*, 14> kButtonNames = {
      "A", "B", "X", "Y", "LB", "RB", "LTHUMB", "RTHUMB", "START", "BACK", "LS Down", "RS Down", "LS Up", "RS Up"};

  // The button bit of a table name, 0 for any other name.
  static std::uint16_t buttonBit(std::string_view name);

  // `busMissing` is called when the bus driver does not answer (the window offers its installer).
  VirtualJoystickService(core::Logger& logger, platform::VirtualPadBus& bus, IPadReportMerger& merger,
                         std::function<void()> busMissing = {}, std::ostream& out = std::cout,
                         std::ostream& err = std::cerr);
  ~VirtualJoystickService() override;
  VirtualJoystickService(const VirtualJoystickService&) = delete;
  VirtualJoystickService& operator=(const VirtualJoystickService&) = delete;

  void configure(const OutputConfig& config) override;
  // Probes the bus driver (calling `busMissing` when it does not answer) and plugs the pad in.
  void start() override;
  // Centres and releases, then unplugs the pad.
  void stop() override;
  void stick(float x, float y) override;
  void press(Action action) override;
  void release(Action action) override;
  void centre() override;
  void keepAlive() override {}
  // Sends the current report again (the engine thread keeps bridge input flowing).
  void submitReport();
  void submit() { submitReport(); }

  pad::XusbReport localReport() const;
  bool pluggedIn() const;
  std::uint32_t submitCount() const;

 private:
  void plugIn();
  // Adds the bus's own words for its last failure, where it has any.
  void explainFailure();
  const std::string& buttonOf(Action action) const;
  void stickLocked(float x, float y);
  void pressName(const std::string& name);
  void releaseName(const std::string& name);
  void releaseLocked(Action action);
  void submitLocked();

  core::Logger& logger_;
  platform::VirtualPadBus& bus_;
  IPadReportMerger& merger_;
  std::function<void()> busMissing_;
  std::ostream& out_;
  std::ostream& err_;

  // Calls come from the engine's handlers and from the engine thread's pass, which
  // runs without the engine lock; this lock keeps the report and handles whole.
  mutable std::mutex mutex_;
  platform::VirtualPadBus::Handle client_ = nullptr;
  platform::VirtualPadBus::Handle target_ = nullptr;
  pad::XusbReport report_;
  PadConfig config_;
  bool lsDown_ = false, rsDown_ = false, lsUp_ = false, rsUp_ = false;
  std::array<std::string, kActionCount> held_;  // the name each action pressed; empty when not held
  std::uint32_t submitCount_ = 0;
};

}  // namespace outputs

#pragma once

#include <array>
#include <cstdint>
#include <iostream>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/outputs/backends.h"
#include "app/outputs/second_controller_bridge.h"
#include "platform/virtual_pad.h"

namespace outputs {

// The virtual Xbox 360 controller: the walking stick on the left stick, jump, crouch
// and the second-threshold ("S2") button as pad buttons or stick overrides. Every
// change sends a full report, merged with the bridge's remote controller first.
class VirtualJoystickService final : public IVirtualPadBackend {
 public:
  // The names offered for `jump_button`, `squat_button` and `xbox_button_2`, in order.
  static constexpr std::array<const char*, 14> kButtonNames = {
      "A", "B", "X", "Y", "LB", "RB", "LTHUMB", "RTHUMB", "START", "BACK", "LS Down", "RS Down", "LS Up", "RS Up"};

  // The button bit of a table name, 0 for any other name.
  static std::uint16_t buttonBit(std::string_view name);

  VirtualJoystickService(core::Settings& settings, core::Logger& logger, platform::VirtualPadBus& bus,
                         IPadReportMerger& merger, std::ostream& out = std::cout, std::ostream& err = std::cerr);
  ~VirtualJoystickService() override;
  VirtualJoystickService(const VirtualJoystickService&) = delete;
  VirtualJoystickService& operator=(const VirtualJoystickService&) = delete;

  // Probes the bus driver (setting the prompt flag when it is missing) and plugs the pad in.
  void init() override;
  // Unplugs the pad; held overrides and the S2 state survive.
  void shutdown() override;
  // x, y in -1..+1, y negative forward.
  void update(float x, float y) override;
  void setButton(const std::string& name, bool pressed) override;
  void submitReport() override;
  void submit() { submitReport(); }

  pad::XusbReport localReport() const;
  bool pluggedIn() const;
  std::uint32_t submitCount() const;
  bool s2Held() const;

 private:
  void plugIn();
  // Adds the bus's own words for its last failure, where it has any.
  void explainFailure();
  void press(const std::string& name);
  void release(const std::string& name);
  void submitLocked();

  core::Settings& settings_;
  core::Logger& logger_;
  platform::VirtualPadBus& bus_;
  IPadReportMerger& merger_;
  std::ostream& out_;
  std::ostream& err_;

  // Calls come from the engine's handlers and from the engine thread's pass, which
  // runs without the engine lock; this lock keeps the report and handles whole.
  mutable std::mutex mutex_;
  platform::VirtualPadBus::Handle client_ = nullptr;
  platform::VirtualPadBus::Handle target_ = nullptr;
  pad::XusbReport report_;
  bool lsDown_ = false, rsDown_ = false, lsUp_ = false, rsUp_ = false;
  bool s2_ = false;
  std::string s2Button_;               // the button S2 pressed, released even if the setting changes meanwhile
  std::set<std::string> buttonsHeld_;  // names held down through setButton
  std::uint32_t submitCount_ = 0;
};

}  // namespace outputs

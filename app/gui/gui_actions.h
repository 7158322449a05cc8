#pragma once

#include <functional>
#include <string>
#include <vector>

// What the window asks of the rest of the program. The program's main fills in
// what exists; an empty action is skipped (its control then does nothing).
namespace gui {

// One SteamVR controller as the OpenVR device list reports it.
struct HookController {
  std::string name;
  std::string serial;
};

struct GuiActions {
  std::function<void()> resetOutputs;     // engine: release everything the outputs hold
  std::function<void()> setCenter;        // engine: current orientation becomes the centre (and saves)
  std::function<bool()> saveSettings;     // settings file: write now
  std::function<void()> applyOutputMode;  // output service: follow a changed `mode`
  std::function<std::vector<HookController>()> listControllers;  // SteamVR controllers
  std::function<bool()> isSteamVRRunning;
  std::function<void(const std::string&)> installComponent;  // "SteamVR", "ViGEmBus"
  std::function<void()> restartSteamVR;
  std::function<bool()> isJumping;  // the jump detector selected by `hmd_source`
  // Asks the desktop to open a web address; returns the shell's result code
  // (32 or less is a failure, as ShellExecute reports it).
  std::function<long(const std::string&)> openUrl;
  // Monotonic seconds (for the device-list cache); steady clock when empty.
  std::function<double()> now;
};

// Calls `action` when it is set.
template <class F, class... Args>
void callIfSet(const F& action, Args&&... args) {
  if (action) action(std::forward<Args>(args)...);
}

}  // namespace gui

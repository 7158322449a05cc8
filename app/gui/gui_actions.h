#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/core/live_history.h"
#include "app/gui/road_actions.h"

namespace services {
class ComponentPrompts;
class UpdatePrompt;
}  // namespace services

// What the window asks of the rest of the program. The program's main fills in
// what exists; an empty action is skipped (its control then does nothing).
namespace gui {

// One SteamVR controller as the OpenVR device list reports it.
struct HookController {
  std::string name;
  std::string serial;
  int index = -1;  // the OpenVR device index
};

// One entry of the OpenVR head thread's device list.
struct HeadDevice {
  int id = 0;
  std::string name;
};

// One port the program listens on, as the Status tab shows it.
struct PortStatus {
  std::string name;
  int port = 0;
  std::string protocol;
  bool inUse = false;
};

// One outside component, as the Status tab shows it.
struct ComponentStatus {
  std::string name;
  bool installed = false;
  bool removable = false;
};

// What the SolarXR client tells the window: the tracker names it reports and
// its status line. Empty functions read as no trackers and an empty status.
struct SolarXRView {
  std::function<std::vector<std::string>()> trackerNames;
  std::function<std::string()> statusText;
};

struct GuiActions {
  std::function<void()> resetOutputs;  // engine: release everything the outputs hold
  std::function<void()> setCenter;     // engine: current orientation becomes the centre (and saves)
  std::function<bool()> saveSettings;  // settings file: write now
  std::function<std::vector<HookController>()> listControllers;  // SteamVR controllers
  std::function<bool()> isSteamVRRunning;
  std::function<void(const std::string&)> installComponent;  // "SteamVR", "ViGEmBus"
  std::function<void()> restartSteamVR;
  std::function<bool()> isJumping;             // the jump detector selected by `hmd_source`
  std::function<void()> testOutput;            // engine: push the stick forward for 1 s, then release
  std::function<bool()> testOutputActive;      // engine: that push is under way
  std::function<void()> startCalibration;      // open the calibration wizard (the window sets it)
  const core::LiveHistory* history = nullptr;  // the engine's recent samples, for the live plots
  // Asks the desktop to open a web address; returns the shell's result code
  // (32 or less is a failure, as ShellExecute reports it).
  std::function<long(const std::string&)> openUrl;
  // Monotonic seconds (for the device-list cache); steady clock when empty.
  std::function<double()> now;

  std::function<void()> clearCenter;                     // engine: forget the centre offset
  std::function<double()> engineNow;                     // the engine clock (for the last sample's age)
  std::function<double()> lastSampleTime;                // engine: the locomotion tracker's last sample; 0: none
  std::function<std::string()> localAddress;             // this machine's IPv4 address
  std::function<std::string()> followedPhone;            // the phone server's phone; empty: none yet
  std::function<bool()> hasSession;                      // OpenVR session open
  std::function<std::vector<HeadDevice>()> headDevices;  // the head thread's device list
  std::function<void()> refreshHeadDevices;
  SolarXRView solarxr;

  // Status tab: refresh and read the port and component lists, repair them.
  std::function<void()> refreshSystemStatus;
  std::function<std::vector<PortStatus>()> ports;
  std::function<std::vector<ComponentStatus>()> components;
  std::function<void(const std::string&)> uninstallComponent;
  std::function<void(int port, const std::string& protocol)> repairFirewall;
  // The bridge and the OSC receiver bind again, following `bridge_listen_all` and `osc_listen_all`.
  std::function<void()> reopenListeners;
  std::function<void()> checkForUpdatesNow;
  std::string updateHost;  // the update server's host name, shown on the Startup tab
  RoadActions road;        // the Status tab's road panel and support report
  // The prompt cards above the tabs, owned by the services that raise them; none shows while null.
  services::ComponentPrompts* componentPrompts = nullptr;
  services::UpdatePrompt* updatePrompt = nullptr;
};

// Calls `action` when it is set.
template <class F, class... Args>
void callIfSet(const F& action, Args&&... args) {
  if (action) action(std::forward<Args>(args)...);
}

}  // namespace gui

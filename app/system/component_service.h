#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "app/core/settings.h"

namespace services {

// One outside piece the outputs need.
struct ComponentEntry {
  explicit ComponentEntry(std::string entryName = {}) : name(std::move(entryName)) {}

  std::string name;
  bool installed = false;
  bool sourceFound = false;
  std::string sourcePath;   // the driver folder or installer program, absolute; empty when not found
  std::string removerPath;  // the uninstaller, absolute; empty when there is none
  bool removable() const { return !removerPath.empty(); }
};

// One port the program listens on.
struct PortEntry {
  std::string name;
  int port = 0;
  std::string protocol;  // "UDP" or "TCP"
  bool inUse = false;
};

// What the component service looks at, so tests can point it at folders of their own.
struct ComponentEnvironment {
  std::string programFolder;     // holds the driver folder, the installers and api_layer/gait_xrlayer.json
  std::string pathRegistryFile;  // SteamVR's openvrpaths.vrpath; empty when the user's folder is unknown
  std::function<bool()> padBusPresent;
  std::function<bool(const std::string& manifestPath)> layerRegistered;
  std::function<bool(const std::string& path)> startDetached;
  std::function<std::string()> padBusSetupHint;  // lines to show when the pad bus cannot be installed from here
};

// The environment of the running program: the program's own folder, the user's SteamVR path registry, the platform's
// pad bus and layer list.
ComponentEnvironment programEnvironment(std::function<bool()> padBusPresent);

// The window's prompt cards for the components. The outputs ask for the driver and
// the pad bus when they find them missing, a driver registration asks for a SteamVR
// restart; the window reads them each frame and its buttons clear them. Any thread.
class ComponentPrompts {
 public:
  bool driverAsked() const { return driver_.load(); }
  bool padBusAsked() const { return padBus_.load(); }
  bool restartNeeded() const { return restart_.load(); }
  void askForDriver() { driver_ = true; }
  void askForPadBus() { padBus_ = true; }
  void askForRestart() { restart_ = true; }
  void dismissDriver() { driver_ = false; }
  void dismissPadBus() { padBus_ = false; }
  void dismissRestart() { restart_ = false; }

 private:
  std::atomic<bool> driver_{false};
  std::atomic<bool> padBus_{false};
  std::atomic<bool> restart_{false};
};

// Checks, installs and removes the SteamVR driver's registration, the virtual pad
// bus driver and the OpenXR layer's registration; lists the program's ports;
// restarts SteamVR after a driver change. Runs on the caller's thread.
class ComponentService {
 public:
  static constexpr const char* kSteamVrDriver = "strivo Hook (SteamVR)";
  static constexpr const char* kPadBus = "ViGEmBus (Xbox 360 Output)";
  static constexpr const char* kOpenXrLayer = "OpenXR API Layer";

  ComponentService(core::Settings& settings, core::Logger& logger, ComponentEnvironment environment);

  void refreshComponents();
  void refreshPorts();
  const std::vector<ComponentEntry>& components() const { return components_; }
  const std::vector<PortEntry>& ports() const { return ports_; }

  void installComponent(const std::string& name);
  void uninstallComponent(const ComponentEntry& entry);
  void restartSteamVR();
  ComponentPrompts& prompts() { return prompts_; }

  bool isDriverRegistered();
  bool isLayerRegistered();
  static bool isPortInUse(int port, const std::string& protocol);

 private:
  void reportDriverCheck(int level, const std::string& line);
  std::string firstExisting(const std::vector<std::string>& candidates, bool folderWithManifest) const;
  std::vector<std::string> steamVrRuntimeFolders() const;
  void installSteamVrDriver();

  core::Settings& settings_;
  core::Logger& logger_;
  ComponentEnvironment environment_;
  std::vector<ComponentEntry> components_;
  std::vector<PortEntry> ports_;
  std::string lastDriverReport_;  // the driver check's last log line
  ComponentPrompts prompts_;
};

}  // namespace services

#pragma once

#include <functional>
#include <iostream>
#include <memory>

#include "app/core/audio_service.h"
#include "app/core/clock.h"
#include "app/core/logger.h"
#include "app/core/road_stats.h"
#include "app/core/service_manager.h"
#include "app/core/settings.h"
#include "app/core/settings_file.h"
#include "app/engine/detector_hooks.h"
#include "app/engine/engine.h"
#include "app/engine/jump_detector.h"
#include "app/gui/road_actions.h"
#include "app/outputs/hook_driver_monitor.h"
#include "app/outputs/keyboard_output_service.h"
#include "app/outputs/openxr_input_writer.h"
#include "app/outputs/openxr_layer_watcher.h"
#include "app/outputs/output_service.h"
#include "app/outputs/road_counting_port.h"
#include "app/outputs/second_controller_bridge.h"
#include "app/outputs/steamvr_hook_service.h"
#include "app/outputs/virtual_joystick_service.h"
#include "app/outputs/vrchat_osc_output.h"
#include "app/system/component_service.h"
#include "app/system/firewall_repair.h"
#include "app/system/update_check.h"
#include "app/tracking/console_lines.h"
#include "app/tracking/openvr_manager.h"
#include "app/tracking/openvr_runtime.h"
#include "app/tracking/openvr_server.h"
#include "app/tracking/openxr_hmd_reader.h"
#include "app/tracking/osc_server.h"
#include "app/tracking/owotrack_server.h"
#include "app/tracking/retry_timer.h"
#include "app/tracking/settings_saver.h"
#include "app/tracking/solarxr_client.h"
#include "app/tracking/steamvr_tracker_reader.h"
#include "app/tracking/tracking_service.h"
#include "app/tracking/tracking_toggle.h"
#include "platform/audio_device.h"
#include "platform/key_injector.h"
#include "platform/virtual_pad.h"

// The composition root: one instance of each service, wired together. The GUI
// program and the headless runner each make one Application and run it.
class Application {
 public:
  struct Options {
    core::SettingsFile::FolderLookup dataFolder;  // default: the per-user data folder
    std::ostream* out = &std::cout;
    std::ostream* err = &std::cerr;
    std::shared_ptr<platform::IKeyInjector> keyInjector;  // default: the platform's (SendInput, uinput, XTest)
  };

  Application();
  explicit Application(Options options);
  ~Application();

  // Start-up, `runUserInterface` until it returns, shutdown. Returns its exit code.
  int run(const std::function<int()>& runUserInterface);

  core::Settings& settings() { return settings_; }
  core::Logger& logger() { return logger_; }
  // What passes along the road from tracker to output, for the road panel.
  core::RoadStats& roadStats() { return roadStats_; }
  core::SettingsFile& settingsFile() { return settingsFile_; }
  core::ServiceManager& serviceManager() { return serviceManager_; }
  engine::Engine& engine() { return engine_; }
  // The "SteamVR Hook" output.
  outputs::SteamVRHookService& steamVRHook() { return steamVRHook_; }
  // Asks the SteamVR driver how it is while the hook output runs.
  outputs::HookDriverMonitor& hookMonitor() { return hookMonitor_; }
  // The "OpenXR API Layer" output.
  outputs::OpenXRInputWriter& openXrWriter() { return openXrWriter_; }
  // The "OpenXR (In-Game)" head source (tracking::Receivers::openxrHmd).
  tracking::OpenXRHmdReader& openXrHmdReader() { return openXrHmd_; }
  // Sees a game with the layer rendering, whatever the head source is (runs during run()).
  outputs::OpenXRLayerWatcher& layerWatcher() { return layerWatcher_; }
  tracking::TrackingService& trackingService() { return trackingService_; }
  tracking::owotrack_server& phoneServer() { return phoneServer_; }
  tracking::osc_server& oscServer() { return oscServer_; }
  // The SlimeVR server's SolarXR feed: status, connected flag and tracker names for the UI.
  tracking::SolarXRClient& solarxrClient() { return solarxrClient_; }
  // The tracking toggles of the phone, OSC, thumbstick and START/STOP button.
  tracking::TrackingToggle& trackingToggle() { return trackingToggle_; }
  core::AudioService& audioService() { return audioService_; }
  // The shared OpenVR session, the "SteamVR (OpenVR)" head thread with its device
  // list, and the "SteamVR Tracker" reader with its controller list.
  tracking::OpenVRManager& openvrManager() { return openvrManager_; }
  tracking::openvr_server& openvrServer() { return openvrServer_; }
  tracking::SteamVrTrackerReader& steamVrTracker() { return steamVrTracker_; }
  // Jump, crouch, triple tap and watchdog, plugged into the engine.
  engine::DetectorHooks& detectors() { return detectorHooks_; }
  // What the engine drives (outputs::IOutputPort) and the main tab's applyOutputMode.
  outputs::OutputService& outputService() { return outputService_; }
  outputs::KeyboardOutputService& keyboardOutput() { return keyboardOutput_; }
  // The virtual Xbox pad output and the bridge feeding it.
  outputs::VirtualJoystickService& virtualPad() { return virtualPad_; }
  outputs::SecondControllerBridge& bridgeService() { return bridgeService_; }
  // The "VRChat OSC" output.
  outputs::VRChatOscOutput& vrchatOsc() { return vrchatOsc_; }
  // Starts update checks (at start-up when `check_for_updates` is set, and "Check Now").
  services::UpdateCheckLauncher& updateCheck() { return updateCheck_; }
  // "FIX FIREWALL": opens the firewall for a port and the program.
  services::FirewallRepair& firewall() { return firewall_; }
  // The SteamVR driver, pad bus and OpenXR layer: status, installers, ports.
  services::ComponentService& components() { return components_; }

  // The Status tab's road panel: the counters, the driver's answer, the layer's frames
  // and the support report.
  gui::RoadActions roadActions();
  // Writes the support report beside the settings file, with `roadLines` as the road's
  // figures. Returns the file written; empty (and a log line) on failure.
  std::string saveSupportReport(const std::vector<std::string>& roadLines);

 private:
  bool padBusPresent();
  outputs::OutputSet outputSet();
  outputs::SecondControllerBridge::Options bridgeOptions();

  Options options_;
  core::Settings settings_;
  core::Logger logger_;
  core::RoadStats roadStats_;
  core::SettingsFile settingsFile_;
  // The writes that toggles, the centre and configuration changes ask for, off their
  // threads and coalesced; whatever is pending is written when the engine stops.
  tracking::SettingsSaver settingsSaver_;
  // Every published change of the configuration is written, through the saver.
  core::ConfigStore::Subscription saveOnChange_;
  core::ServiceManager serviceManager_;
  services::UpdateCheckLauncher updateCheck_;
  services::FirewallRepair firewall_;
  services::ComponentService components_;
  outputs::SteamVRHookService steamVRHook_;
  outputs::HookDriverMonitor hookMonitor_;
  outputs::MonitoredHookOutput monitoredHook_;
  outputs::OpenXRInputWriter openXrWriter_;
  tracking::OpenXRHmdReader openXrHmd_;
  outputs::OpenXRLayerWatcher layerWatcher_;
  core::SteadyClock engineClock_;
  // Services before the engine: the engine drives them and is stopped first.
  std::shared_ptr<platform::IKeyInjector> keyInjector_;
  outputs::KeyboardOutputService keyboardOutput_;
  std::unique_ptr<platform::VirtualPadBus> padBus_;
  outputs::SecondControllerBridge bridgeService_;
  outputs::VirtualJoystickService virtualPad_;
  outputs::VRChatOscOutput vrchatOsc_;
  outputs::OutputConfigReader outputConfig_;  // asked under the output service's lock
  outputs::OutputService outputService_;
  outputs::RoadCountingPort roadPort_;
  std::unique_ptr<platform::IAudioDevice> audioDevice_;
  core::AudioService audioService_;
  engine::SystemWallClock wallClock_;
  tracking::TrackingToggle trackingToggle_;
  tracking::owotrack_server phoneServer_;
  tracking::osc_server oscServer_;
  tracking::SteadyRetryTimer solarxrRetryTimer_;
  tracking::SolarXRClient solarxrClient_;
  tracking::ConsoleLines openvrConsole_;
  tracking::OpenVrRuntime openvrRuntime_;
  tracking::OpenVRManager openvrManager_;
  tracking::openvr_server openvrServer_;
  tracking::SteamVrTrackerReader steamVrTracker_;
  tracking::TrackingService trackingService_;
  engine::Engine engine_;
  engine::DetectorHooks detectorHooks_;
  core::ConfigStore::Subscription outputNotices_;  // ends before the services it calls
};

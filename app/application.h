#pragma once

#include <functional>
#include <iostream>
#include <memory>

#include "app/bridges/steamvr_hook_service.h"
#include "app/core/audio_service.h"
#include "app/core/logger.h"
#include "app/core/service_manager.h"
#include "app/core/settings.h"
#include "app/core/settings_file.h"
#include "app/engine/detector_hooks.h"
#include "app/engine/engine.h"
#include "app/engine/engine_clock.h"
#include "app/engine/jump_detector.h"
#include "app/outputs/bridge_service.h"
#include "app/outputs/keyboard_output_service.h"
#include "app/outputs/output_service.h"
#include "app/outputs/virtual_joystick_service.h"
#include "app/tracking/owotrack_server.h"
#include "app/tracking/retry_timer.h"
#include "app/tracking/solarxr_client.h"
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
  core::SettingsFile& settingsFile() { return settingsFile_; }
  core::ServiceManager& serviceManager() { return serviceManager_; }
  engine::Engine& engine() { return engine_; }
  // The "SteamVR Hook" output backend (outputs::Backends::hook).
  bridges::SteamVRHookService& steamVRHook() { return steamVRHook_; }
  tracking::TrackingService& trackingService() { return trackingService_; }
  tracking::owotrack_server& phoneServer() { return phoneServer_; }
  // The SlimeVR server's SolarXR feed: status, connected flag and tracker names for the UI.
  tracking::SolarXRClient& solarxrClient() { return solarxrClient_; }
  // The tracking toggles of the phone, OSC, thumbstick and START/STOP button.
  tracking::TrackingToggle& trackingToggle() { return trackingToggle_; }
  core::AudioService& audioService() { return audioService_; }
  // Jump, crouch, triple tap and watchdog, plugged into the engine.
  engine::DetectorHooks& detectors() { return detectorHooks_; }
  // What the engine drives (outputs::IOutputPort) and the main tab's applyOutputMode.
  outputs::OutputService& outputService() { return outputService_; }
  outputs::KeyboardOutputService& keyboardOutput() { return keyboardOutput_; }
  // The virtual Xbox pad backend and the bridge feeding it.
  outputs::VirtualJoystickService& virtualPad() { return virtualPad_; }
  outputs::BridgeService& bridgeService() { return bridgeService_; }

 private:
  Options options_;
  core::Settings settings_;
  core::Logger logger_;
  core::SettingsFile settingsFile_;
  core::ServiceManager serviceManager_;
  bridges::SteamVRHookService steamVRHook_;
  engine::SteadyClock engineClock_;
  // Services before the engine: the engine drives them and is stopped first.
  std::shared_ptr<platform::IKeyInjector> keyInjector_;
  outputs::KeyboardOutputService keyboardOutput_;
  std::unique_ptr<platform::VirtualPadBus> padBus_;
  outputs::BridgeService bridgeService_;
  outputs::VirtualJoystickService virtualPad_;
  outputs::OutputService outputService_;
  std::unique_ptr<platform::IAudioDevice> audioDevice_;
  core::AudioService audioService_;
  services::SystemWallClock wallClock_;
  tracking::TrackingToggle trackingToggle_;
  tracking::owotrack_server phoneServer_;
  tracking::SteadyRetryTimer solarxrRetryTimer_;
  tracking::SolarXRClient solarxrClient_;
  tracking::TrackingService trackingService_;
  engine::Engine engine_;
  engine::DetectorHooks detectorHooks_;
};

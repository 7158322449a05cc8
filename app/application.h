#pragma once

#include <functional>
#include <iostream>

#include "app/core/feedback_sounds.h"
#include "app/core/logger.h"
#include "app/core/service_manager.h"
#include "app/core/settings.h"
#include "app/core/settings_file.h"
#include "app/engine/engine.h"
#include "app/engine/engine_clock.h"
#include "app/tracking/owotrack_server.h"
#include "app/tracking/tracking_service.h"
#include "app/tracking/tracking_toggle.h"

// The composition root: one instance of each service, wired together. The GUI
// program and the headless runner each make one Application and run it.
class Application {
 public:
  struct Options {
    core::SettingsFile::FolderLookup dataFolder;  // default: the per-user data folder
    std::ostream* out = &std::cout;
    std::ostream* err = &std::cerr;
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
  tracking::TrackingService& trackingService() { return trackingService_; }
  tracking::owotrack_server& phoneServer() { return phoneServer_; }

 private:
  Options options_;
  core::Settings settings_;
  core::Logger logger_;
  core::SettingsFile settingsFile_;
  core::ServiceManager serviceManager_;
  // Tracking sources; declared before the engine so they outlive it.
  core::SilentFeedbackSounds silentSounds_;  // until the audio service is wired in
  tracking::TrackingToggle trackingToggle_;
  tracking::owotrack_server phoneServer_;
  tracking::TrackingService trackingService_;
  engine::SteadyClock engineClock_;
  engine::Engine engine_;
};

#pragma once

#include <functional>
#include <iostream>

#include "app/core/logger.h"
#include "app/core/service_manager.h"
#include "app/core/settings.h"
#include "app/core/settings_file.h"
#include "app/engine/engine.h"
#include "app/engine/engine_clock.h"
#include "app/tracking/tracking_callbacks.h"

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
  // The engine's handlers as installed at engine start (held here until the
  // tracking service takes them).
  const tracking::TrackingCallbacks& trackingCallbacks() const { return trackingCallbacks_; }

 private:
  Options options_;
  core::Settings settings_;
  core::Logger logger_;
  core::SettingsFile settingsFile_;
  core::ServiceManager serviceManager_;
  engine::SteadyClock engineClock_;
  tracking::TrackingCallbacks trackingCallbacks_;
  engine::Engine engine_;
};

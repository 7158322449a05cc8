#pragma once

#include <functional>
#include <vector>

#include "app/core/logger.h"
#include "app/core/service.h"
#include "app/core/settings.h"

namespace core {

// Initialises and cleans up the program's services, in the order they were
// registered (tracking, output, bridge), and starts the update check. It creates
// none of them: the program's composition root owns every service.
class ServiceManager {
 public:
  using UpdateCheckLauncher = std::function<void()>;

  ServiceManager(Settings& settings, Logger& logger);

  // Registration happens while wiring the program, before initializeAll.
  void addService(IService& service);
  // Called by initializeAll when `check_for_updates` is set; it must start the check
  // on its own detached thread and return at once.
  void setUpdateCheckLauncher(UpdateCheckLauncher launcher);

  void initializeAll();
  void cleanupAll();

  Logger& logger() { return logger_; }
  Settings& settings() { return settings_; }

 private:
  Settings& settings_;
  Logger& logger_;
  std::vector<IService*> services_;
  UpdateCheckLauncher updateCheck_;
};

}  // namespace core

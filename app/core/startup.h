#pragma once

#include <functional>
#include <iostream>

#include "app/core/settings.h"
#include "app/core/settings_file.h"

namespace core {

// What the start-up routine drives but does not own.
struct StartupSteps {
  std::function<void()> startEngine;      // runs initializeAll and starts the engine thread
  std::function<void()> stopEngine;       // stops and joins the engine thread, then cleanupAll
  std::function<int()> runUserInterface;  // returns the exit code (the window, or a wait for Ctrl-C)
  std::function<std::string()> localAddress;
};

// The program's spine: single-instance notice, networking, settings (loaded, or
// written with the defaults when that fails), engine start, the user interface
// until it ends, then engine stop. Returns the user interface's exit code.
int runStartup(Settings& settings, SettingsFile& settingsFile, const StartupSteps& steps, std::ostream& out = std::cout,
               std::ostream& err = std::cerr);

}  // namespace core

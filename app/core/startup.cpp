#include "app/core/startup.h"

#include <optional>

#include "platform/network.h"
#include "platform/single_instance.h"

namespace core {

int runStartup(Settings& settings, SettingsFile& settingsFile, const StartupSteps& steps, std::ostream& out,
               std::ostream& err) {
  std::optional<platform::SingleInstanceMarker> marker(std::in_place, "Strivo_Running_Mutex");
  switch (marker->status()) {
    case platform::SingleInstanceMarker::Status::Failed:
      err << "[Main] ERROR: Failed to create Mutex: " << marker->errorCode() << std::endl;
      marker.reset();
      break;
    case platform::SingleInstanceMarker::Status::AlreadyRunning:
      out << "[Main] Strivo is already running. Proceeding anyway." << std::endl;
      break;
    case platform::SingleInstanceMarker::Status::Created:
      break;
  }

  if (const int code = platform::startNetworking(); code != 0)
    err << "[Main] ERROR: WSAStartup failed: " << code << std::endl;
  else
    out << "[Main] Winsock initialized." << std::endl;

  out << "[Main] StrivoVR is starting..." << std::endl;
  out << "[Main] Local IP: " << steps.localAddress() << std::endl;
  out << "[Main] Loading settings..." << std::endl;
  out << "[Main] Initial Tracker Source (from Code): ["
      << core::choiceText(settings.config.snapshot()->tracking.tracker_source) << "]" << std::endl;

  if (!settingsFile.load(settings)) {
    out << "[Main] No settings found, saving defaults." << std::endl;
    settingsFile.save(settings);
  } else {
    out << "[Main] Settings loaded successfully." << std::endl;
  }

  // Tracking runs from the start unless the user chose to start stopped.
  settings.tracking_active = settings.config.snapshot()->program.start_on_launch;
  out << "[Main] Initializing Logic..." << std::endl;
  steps.startEngine();
  out << "[Main] Logic initialized." << std::endl;

  const int exitCode = steps.runUserInterface();

  steps.stopEngine();
  marker.reset();
  return exitCode;
}

}  // namespace core

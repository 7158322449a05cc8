#include "app/application.h"

#include "app/core/startup.h"
#include "platform/local_address.h"
#include "platform/paths.h"

namespace {

Application::Options withDefaults(Application::Options options) {
  if (!options.dataFolder) options.dataFolder = [] { return platform::userDataFolder("StrivoVR"); };
  return options;
}

}  // namespace

Application::Application() : Application(Options{}) {}

Application::Application(Options options)
    : options_(withDefaults(std::move(options))),
      logger_(options_.out),
      settingsFile_(options_.dataFolder, "settings.json", *options_.out, *options_.err),
      serviceManager_(settings_, logger_),
      trackingToggle_(settings_, silentSounds_, /*resetOutputs: the engine's, once it provides one*/ nullptr,
                      [this] { settingsFile_.save(settings_); }),
      phoneServer_(settings_, trackingToggle_, *options_.out),
      trackingService_(settings_, logger_, tracking::Receivers{.phone = &phoneServer_}),
      engine_(settings_, logger_, serviceManager_, engineClock_) {
  // Tracking first: its receivers must run before the outputs and the bridge start.
  serviceManager_.addService(trackingService_);
}

Application::~Application() { engine_.stop(); }

int Application::run(const std::function<int()>& runUserInterface) {
  core::StartupSteps steps;
  steps.startEngine = [this] { engine_.start(); };
  steps.stopEngine = [this] { engine_.stop(); };
  steps.runUserInterface = runUserInterface;
  steps.localAddress = [] { return platform::localIPv4Address(); };
  return core::runStartup(settings_, settingsFile_, steps, *options_.out, *options_.err);
}

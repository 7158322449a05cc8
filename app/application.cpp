#include "app/application.h"

#include "app/core/startup.h"
#include "platform/local_address.h"
#include "platform/paths.h"

namespace {

// Stands in for the output service until it is wired here: takes the engine's
// stick, jump and crouch and drives nothing.
class TemporaryNullOutputPort final : public outputs::IOutputPort {
 public:
  void updateStick(float, float) override {}
  void setJump(bool) override {}
  void setCrouch(bool) override {}
  void centerAll() override {}
};

outputs::IOutputPort& temporaryNullOutputPort() {
  static TemporaryNullOutputPort port;
  return port;
}

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
      padBus_(platform::createVirtualPadBus()),
      bridgeService_(logger_),
      virtualPad_(settings_, logger_, *padBus_, bridgeService_, *options_.out, *options_.err),
      audioDevice_(platform::makeAudioDevice()),
      audioService_(settings_, *audioDevice_, *options_.err),
      engine_(
          settings_, logger_, serviceManager_, engineClock_, temporaryNullOutputPort(),
          [this](tracking::TrackingCallbacks callbacks) { trackingCallbacks_ = std::move(callbacks); },
          [this] { settingsFile_.save(settings_); }, [this] { virtualPad_.submitReport(); }),
      detectorHooks_(engine_, logger_, temporaryNullOutputPort(), audioService_, wallClock_),
      trackingToggle_(
          settings_, audioService_, [this] { engine_.resetOutputs(); }, [this] { settingsFile_.save(settings_); }) {
  engine_.setHooks(detectorHooks_);
  // Registration order is initialisation and clean-up order: tracking, output, bridge.
  serviceManager_.addService(bridgeService_);
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

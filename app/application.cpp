#include "app/application.h"

#include "app/core/one_time_notice.h"
#include "app/core/startup.h"
#include "platform/local_address.h"
#include "platform/paths.h"
#include "platform/virtual_input_access.h"

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
      settingsSaver_([this] { settingsFile_.save(settings_); }),
      serviceManager_(settings_, logger_),
      updateCheck_(settings_, services::defaultUpdateServer()),
      firewall_(logger_, platform::executablePath()),
      components_(settings_, logger_, services::programEnvironment([this] { return padBusPresent(); })),
      steamVRHook_(
          settings_, logger_,
          [this] {
            components_.refreshComponents();
            const services::ComponentEntry& driver = components_.components().front();
            return bridges::DriverComponentStatus{driver.installed, driver.sourceFound};
          },
          platform::Endpoint::loopback(hook::kDriverPort), *options_.out),
      openXrWriter_(*options_.out, *options_.err),
      openXrHmd_(*options_.out, *options_.err),
      keyInjector_(options_.keyInjector ? options_.keyInjector
                                        : std::shared_ptr(platform::createKeyInjector(*options_.out, *options_.err))),
      keyboardOutput_(settings_, logger_, *keyInjector_, *options_.out),
      padBus_(platform::createVirtualPadBus()),
      bridgeService_(logger_),
      virtualPad_(settings_, logger_, *padBus_, bridgeService_, *options_.out, *options_.err),
      vrchatOsc_(settings_, logger_),
      outputService_(settings_, logger_,
                     outputs::Backends{.keyboard = &keyboardOutput_,
                                       .pad = &virtualPad_,
                                       .osc = &vrchatOsc_,
                                       .hook = &steamVRHook_,
                                       .openxr = &openXrWriter_}),
      audioDevice_(platform::makeAudioDevice()),
      audioService_(settings_, *audioDevice_, *options_.err),
      trackingToggle_(
          settings_, audioService_, [this] { engine_.resetOutputs(); }, [this] { settingsSaver_.request(); },
          [this] { return engineClock_.now(); }),
      phoneServer_(settings_, trackingToggle_, *options_.out),
      oscServer_(
          settings_, trackingToggle_, [this] { return engineClock_.now(); }, *options_.out, *options_.err),
      solarxrClient_(solarxrRetryTimer_),
      openvrConsole_(*options_.out, *options_.err),
      openvrRuntime_(tracking::OpenVrRuntime::defaultLocations()),
      openvrManager_(openvrRuntime_, openvrConsole_),
      openvrServer_(settings_, openvrManager_, trackingToggle_, engineClock_, openvrConsole_),
      steamVrTracker_(openvrManager_, engineClock_, openvrConsole_),
      trackingService_(settings_, logger_,
                       tracking::Receivers{.osc = &oscServer_,
                                           .phone = &phoneServer_,
                                           .openvrHmd = &openvrServer_,
                                           .openxrHmd = &openXrHmd_,
                                           .solarxr = &solarxrClient_,
                                           .steamvrTracker = &steamVrTracker_}),
      engine_(
          settings_, logger_, serviceManager_, engineClock_, outputService_,
          [this](tracking::TrackingCallbacks callbacks) { trackingService_.setCallbacks(std::move(callbacks)); },
          [this] { settingsSaver_.request(); }, [this] { virtualPad_.submitReport(); }),
      detectorHooks_(engine_, logger_, outputService_, audioService_, wallClock_) {
  engine_.setHooks(detectorHooks_);
  // Registration order is initialisation and clean-up order: tracking, output, bridge.
  serviceManager_.addService(trackingService_);
  serviceManager_.addService(outputService_);
  serviceManager_.addService(bridgeService_);
  serviceManager_.setUpdateCheckLauncher([this] { updateCheck_.startUpdateCheck(); });
}

Application::~Application() {
  engine_.stop();
  // Its thread calls into the tracking service, which is destroyed first.
  solarxrClient_.disconnect();
}

// The bus driver is present when a client can connect to it.
bool Application::padBusPresent() {
  platform::VirtualPadBus::Handle client = padBus_->alloc();
  if (!client) return false;
  const bool connected = padBus_->connect(client) == platform::VirtualPadBus::kErrorNone;
  if (connected) padBus_->disconnect(client);
  padBus_->free(client);
  return connected;
}

int Application::run(const std::function<int()>& runUserInterface) {
  core::showOnce(options_.dataFolder(), "virtual-input-hint-shown", platform::virtualInputAccessHint(), *options_.err);
  core::StartupSteps steps;
  steps.startEngine = [this] { engine_.start(); };
  steps.stopEngine = [this] {
    engine_.stop();
    settingsSaver_.stop();
  };
  steps.runUserInterface = runUserInterface;
  steps.localAddress = [] { return platform::localIPv4Address(); };
  return core::runStartup(settings_, settingsFile_, steps, *options_.out, *options_.err);
}

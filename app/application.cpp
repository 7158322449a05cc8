#include "app/application.h"

#include "app/core/one_time_notice.h"
#include "app/core/startup.h"
#include "app/system/support_report.h"
#include "app/system/update_check.h"
#include "platform/local_address.h"
#include "platform/os_info.h"
#include "platform/paths.h"
#include "platform/virtual_input_access.h"

namespace {

Application::Options withDefaults(Application::Options options) {
  if (!options.dataFolder) options.dataFolder = [] { return platform::userDataFolder("StrivoVR"); };
  return options;
}

// The engine's handlers, counting each value for the road panel. The phone's datagrams
// are counted where they arrive; other trackers' values here, on their receiver thread.
core::SampleSink countedOnTheRoad(core::SampleSink slots, core::RoadStats& road) {
  auto note = [&road](std::string_view source) {
    road.engineSample();
    core::TrackerStage* stage = road.stageOf(source);
    if (stage && stage != &road.phone) road.trackerPacket(*stage);
  };
  core::SampleSink counted;
  counted.on_rotation = [note, next = std::move(slots.on_rotation)](std::string_view source, float a, float b,
                                                                    float c) {
    note(source);
    if (next) next(source, a, b, c);
  };
  counted.on_quaternion = [note, next = std::move(slots.on_quaternion)](std::string_view source, float x, float y,
                                                                        float z, float w) {
    note(source);
    if (next) next(source, x, y, z, w);
  };
  counted.on_position = [note, next = std::move(slots.on_position)](std::string_view source, float x, float y,
                                                                    float z) {
    note(source);
    if (next) next(source, x, y, z);
  };
  counted.on_acceleration = [note, next = std::move(slots.on_acceleration)](std::string_view source, float x, float y,
                                                                            float z) {
    note(source);
    if (next) next(source, x, y, z);
  };
  return counted;
}

}  // namespace

Application::Application() : Application(Options{}) {}

Application::Application(Options options)
    : options_(withDefaults(std::move(options))),
      logger_(options_.out, std::chrono::system_clock::now, options_.err),
      settingsFile_(options_.dataFolder, "settings.json", logger_.out(), logger_.err()),
      settingsSaver_([this] { settingsFile_.save(settings_); }),
      serviceManager_(settings_, logger_),
      updateCheck_(services::defaultUpdateServer()),
      firewall_(logger_, platform::executablePath()),
      components_(settings_, logger_, services::programEnvironment([this] { return padBusPresent(); })),
      steamVRHook_(
          logger_,
          [this] {
            components_.refreshComponents();
            const services::ComponentEntry& driver = components_.components().front();
            return outputs::DriverComponentStatus{driver.installed, driver.sourceFound};
          },
          [this] { components_.prompts().askForDriver(); }, platform::Endpoint::loopback(hook::kDriverPort),
          logger_.out()),
      hookMonitor_(logger_, core::steadyWaitClock(), platform::Endpoint::loopback(hook::kDriverPort),
                   [this] {
                     return outputs::usesOutput(outputs::readOutputConfig(settings_.config.snapshot()->outputs),
                                                core::OutputMode::SteamVrHook);
                   }),
      monitoredHook_(steamVRHook_, hookMonitor_),
      openXrWriter_(logger_.out(), logger_.err()),
      openXrHmd_(logger_),
      layerWatcher_(logger_),
      keyInjector_(options_.keyInjector ? options_.keyInjector
                                        : std::shared_ptr(platform::createKeyInjector(logger_.out(), logger_.err()))),
      keyboardOutput_(logger_, *keyInjector_, logger_.out()),
      padBus_(platform::createVirtualPadBus()),
      bridgeService_(logger_, bridgeOptions()),
      virtualPad_(
          logger_, *padBus_, bridgeService_, [this] { components_.prompts().askForPadBus(); }, logger_.out(),
          logger_.err()),
      vrchatOsc_(logger_),
      outputConfig_(settings_.config),
      outputService_(logger_, outputSet(), [this] { return outputConfig_.changed(); }),
      roadPort_(outputService_, roadStats_),
      audioDevice_(platform::makeAudioDevice()),
      audioService_(settings_, *audioDevice_, logger_.err(), platform::executableFolder()),
      trackingToggle_(
          settings_, audioService_, [this] { engine_.resetOutputs(); }, [this] { settingsSaver_.request(); },
          [this] { return engineClock_.now(); }),
      phoneServer_(settings_, trackingToggle_, logger_, &roadStats_, [this] { return engineClock_.now(); }),
      oscServer_(
          settings_, trackingToggle_, [this] { return engineClock_.now(); }, logger_),
      solarxrClient_(solarxrRetryTimer_),
      openvrConsole_(logger_),
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
          settings_, logger_, serviceManager_, engineClock_, roadPort_,
          [this](core::SampleSink callbacks) {
            trackingService_.setCallbacks(countedOnTheRoad(std::move(callbacks), roadStats_));
          },
          [this] { settingsSaver_.request(); }, [this] { virtualPad_.submitReport(); }),
      detectorHooks_(engine_, logger_, outputService_, audioService_, wallClock_) {
  engine_.setHooks(detectorHooks_);
  saveOnChange_ =
      settings_.config.subscribe(core::kAllSections, [this](const core::Config&) { settingsSaver_.request(); });
  // A changed output section is followed at once, samples or not: a mode change
  // centres and releases the old output before the new one starts.
  outputNotices_ = settings_.config.subscribe(core::kOutputsSection,
                                              [this](const core::Config&) { outputService_.applyOutputMode(); });
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

outputs::SecondControllerBridge::Options Application::bridgeOptions() {
  outputs::SecondControllerBridge::Options options;
  options.listenAll = [this] { return settings_.config.snapshot()->outputs.bridge_listen_all; };
  return options;
}

outputs::OutputSet Application::outputSet() {
  outputs::OutputSet set{};
  set[outputs::slotOf(core::OutputMode::Pad)] = &virtualPad_;
  set[outputs::slotOf(core::OutputMode::Keyboard)] = &keyboardOutput_;
  set[outputs::slotOf(core::OutputMode::SteamVrHook)] = &monitoredHook_;
  set[outputs::slotOf(core::OutputMode::VrchatOsc)] = &vrchatOsc_;
  set[outputs::slotOf(core::OutputMode::OpenXrLayer)] = &openXrWriter_;
  return set;
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
  core::showOnce(options_.dataFolder(), "virtual-input-hint-shown", platform::virtualInputAccessHint(), logger_.err());
  core::StartupSteps steps;
  steps.startEngine = [this] { engine_.start(); };
  steps.stopEngine = [this] {
    engine_.stop();
    settings_.config.flush();  // a change made just before closing still reaches the saver
    settingsSaver_.stop();
  };
  steps.runUserInterface = runUserInterface;
  steps.localAddress = [] { return platform::localIPv4Address(); };
  layerWatcher_.start();
  const int code = core::runStartup(settings_, settingsFile_, steps, logger_.out(), logger_.err());
  layerWatcher_.stop();
  return code;
}

gui::RoadActions Application::roadActions() {
  gui::RoadActions road;
  road.stats = &roadStats_;
  road.driverAnswer = [this] {
    const outputs::HookDriverMonitor::View view = hookMonitor_.view();
    return gui::DriverAnswer{view.answering, view.controllers, view.overrideAgeMs};
  };
  road.layerRunning = [this] { return layerWatcher_.gameRunning(); };
  road.layerFrames = [this] { return layerWatcher_.frames(); };
  road.steamVrDriverRegistered = [this] {
    const auto& entries = components_.components();
    return !entries.empty() && entries.front().installed;
  };
  road.saveSupportReport = [this](const std::vector<std::string>& lines) { return saveSupportReport(lines); };
  return road;
}

std::string Application::saveSupportReport(const std::vector<std::string>& roadLines) {
  services::SupportReportInputs inputs;
  inputs.version = services::kCurrentVersion;
  inputs.build = services::buildDescription();
  inputs.os = platform::osDescription();
  inputs.settingsPath = settingsFile_.path();
  components_.refreshComponents();
  components_.refreshPorts();
  for (const services::ComponentEntry& entry : components_.components())
    inputs.components.push_back(entry.name + ": " + (entry.installed ? "REGISTERED" : "MISSING / NOT FOUND"));
  for (const services::PortEntry& entry : components_.ports())
    inputs.ports.push_back(entry.name + " (Port " + std::to_string(entry.port) + ", " + entry.protocol +
                           "): " + (entry.inUse ? "in use" : "free"));
  inputs.road = roadLines;
  inputs.logLines = logger_.lines();
  std::string error;
  const std::string written = services::writeSupportReport(
      options_.dataFolder(), services::composeSupportReport(inputs), std::chrono::system_clock::now(), error);
  if (written.empty())
    logger_.error("Support report: could not write it: " + error);
  else
    logger_.info("Support report written to " + written);
  return written;
}

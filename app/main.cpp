// StrivoVR: the program with its window. Start-up, services and engine come from
// the composition root; the window is the user interface it runs.
#include "app/application.h"
#include "app/gui/window.h"
#include "app/tracking/steamvr_process.h"
#include "platform/last_stop.h"
#include "platform/local_address.h"
#include "platform/open_url.h"

namespace {

// Connects the window's actions to the services of the composition root.
gui::GuiActions windowActions(Application& application) {
  gui::GuiActions actions;
  actions.saveSettings = [&] { return application.settingsFile().save(application.settings()); };
  actions.isJumping = [&] { return application.detectors().isJumping(); };
  actions.openUrl = platform::openUrl;
  actions.resetOutputs = [&] { application.engine().resetOutputs(); };
  actions.setCenter = [&] { application.engine().setCenter(); };
  actions.testOutput = [&] { application.engine().startTestPush(1.0); };
  actions.testOutputActive = [&] { return application.engine().testPushActive(); };
  actions.history = &application.engine().history();
  actions.clearCenter = [&] { application.engine().clearCenter(); };
  actions.engineNow = [&] { return application.engine().clock().now(); };
  actions.lastSampleTime = [&] { return application.engine().activity().lastSampleTime.load(); };
  actions.localAddress = [] { return platform::localIPv4Address(); };
  actions.followedPhone = [&] { return application.phoneServer().followedPhone(); };
  actions.reopenListeners = [&] {
    application.bridgeService().stop();
    application.bridgeService().start();
    application.oscServer().stop();
    application.trackingService().refresh_sources();  // starts the OSC receiver again where a source needs it
  };
  actions.hasSession = [&] { return application.openvrManager().has_session(); };
  actions.listControllers = [&] {
    std::vector<gui::HookController> controllers;
    for (const auto& entry : application.steamVrTracker().list_controllers())
      controllers.push_back({entry.name, entry.serial, static_cast<int>(entry.index)});
    return controllers;
  };
  actions.headDevices = [&] {
    std::vector<gui::HeadDevice> devices;
    for (const auto& entry : application.openvrServer().get_device_list())
      devices.push_back({static_cast<int>(entry.index), entry.name});
    return devices;
  };
  actions.refreshHeadDevices = [&] { application.openvrServer().refresh_device_list(); };
  actions.installComponent = [&](const std::string& name) { application.components().installComponent(name); };
  actions.uninstallComponent = [&](const std::string& name) {
    for (const auto& entry : application.components().components())
      if (entry.name == name) return application.components().uninstallComponent(entry);
  };
  actions.restartSteamVR = [&] { application.components().restartSteamVR(); };
  actions.refreshSystemStatus = [&] {
    application.components().refreshPorts();
    application.components().refreshComponents();
  };
  actions.ports = [&] {
    std::vector<gui::PortStatus> ports;
    for (const auto& entry : application.components().ports())
      ports.push_back({entry.name, entry.port, entry.protocol, entry.inUse});
    return ports;
  };
  actions.components = [&] {
    std::vector<gui::ComponentStatus> components;
    for (const auto& entry : application.components().components())
      components.push_back({entry.name, entry.installed, entry.removable()});
    return components;
  };
  actions.repairFirewall = [&](int port, const std::string& protocol) {
    application.firewall().repairFirewall(port, protocol);
  };
  actions.checkForUpdatesNow = [&] { application.updateCheck().startUpdateCheck(); };
  actions.updateHost = services::defaultUpdateServer().host;
  actions.isSteamVRRunning = [] { return tracking::is_steamvr_running(); };
  actions.solarxr.trackerNames = [&] { return application.solarxrClient().get_tracker_names(); };
  actions.solarxr.statusText = [&] { return application.solarxrClient().status(); };
  actions.road = application.roadActions();
  actions.componentPrompts = &application.components().prompts();
  actions.updatePrompt = &application.updateCheck().prompt();
  return actions;
}

}  // namespace

int main() {
  platform::installLastStopHandler();
  Application application;
  const gui::GuiActions actions = windowActions(application);
  const engine::LiveView& live = application.engine().live();
  return application.run([&] { return gui::runWindow(application.settings(), live, application.logger(), actions); });
}

#include "app/system/component_service.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "common/hook/hook_protocol.h"
#include "platform/layer_registry.h"
#include "platform/paths.h"
#include "platform/port_probe.h"
#include "platform/steamvr_files.h"
#include "platform/steamvr_setup.h"
#include "platform/virtual_input_access.h"

namespace services {
namespace {

namespace fs = std::filesystem;

// The path registry is a small JSON file; anything bigger is not SteamVR's.
constexpr std::uintmax_t kMaxPathRegistryBytes = 16u << 20;

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

ComponentEnvironment programEnvironment(std::function<bool()> padBusPresent) {
  ComponentEnvironment environment;
  environment.programFolder = platform::executableFolder();
  environment.pathRegistryFile = platform::openvrPathRegistryFile();
  environment.padBusPresent = std::move(padBusPresent);
  environment.layerRegistered = platform::isImplicitLayerRegistered;
  environment.startDetached = platform::startDetached;
  environment.padBusSetupHint = [] { return platform::virtualInputAccessHint(); };
  return environment;
}

ComponentService::ComponentService(core::Settings& settings, core::Logger& logger, ComponentEnvironment environment)
    : settings_(settings), logger_(logger), environment_(std::move(environment)) {}

// Candidates are looked for only in the program's own folder: an installed program
// is started from any working folder, and a folder there is not the program's.
std::string ComponentService::firstExisting(const std::vector<std::string>& candidates, bool folderWithManifest) const {
  for (const std::string& candidate : candidates) {
    const fs::path path = (platform::utf8Path(environment_.programFolder) / fs::path(candidate)).lexically_normal();
    std::error_code error;
    const bool found = folderWithManifest ? fs::is_directory(path, error) &&
                                                fs::is_regular_file(path / "driver.vrdrivermanifest", error)
                                          : fs::is_regular_file(path, error);
    if (found) return platform::utf8Text(fs::path(path).make_preferred());
  }
  return {};
}

void ComponentService::refreshComponents() {
  ComponentEntry driver(kSteamVrDriver);
  driver.installed = isDriverRegistered();
  // The folder this build stages first, then the places older layouts kept it; all
  // inside the program's own folder, never the working folder or a folder above.
  driver.sourcePath = firstExisting({"drivers/gaitrelay", "drivers/strivovr", "strivo_hook/deployment"}, true);
  driver.sourceFound = !driver.sourcePath.empty();

  ComponentEntry bus(kPadBus);
  bus.installed = environment_.padBusPresent && environment_.padBusPresent();
  bus.sourcePath = firstExisting(
      {"drivers/vgem/ViGEmBus_1.22.0_x64_x86_arm64.exe", "tools/platform-tools/vgem/ViGEmBus_1.22.0_x64_x86_arm64.exe"},
      false);
  bus.sourceFound = !bus.sourcePath.empty();

  ComponentEntry layer(kOpenXrLayer);
  layer.installed = isLayerRegistered();
  layer.sourcePath = firstExisting({platform::executableFileName("LayerSetup")}, false);
  layer.sourceFound = !layer.sourcePath.empty();
  layer.removerPath = firstExisting({platform::executableFileName("LayerRemover")}, false);

  components_ = {driver, bus, layer};
}

void ComponentService::refreshPorts() {
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  ports_ = {{"Phone (owoTrack)", config->tracking.owotrack_input_port, "UDP"},
            {"SlimeVR (OSC)", config->tracking.osc_input_port, "UDP"},
            {"SlimeVR (SolarXR)", config->tracking.solarxr_port, "TCP"},
            {"SteamVR Hook", hook::kDriverPort, "UDP"}};
  for (PortEntry& entry : ports_) entry.inUse = isPortInUse(entry.port, entry.protocol);
}

void ComponentService::reportDriverCheck(int level, const std::string& line) {
  // The Status tab checks every second: an unchanged outcome is logged once.
  if (line == lastDriverReport_) return;
  lastDriverReport_ = line;
  logger_.log(level, line);
}

bool ComponentService::isDriverRegistered() {
  const std::string& path = environment_.pathRegistryFile;
  if (path.empty()) {
    reportDriverCheck(core::Logger::Error, "Failed to get LOCALAPPDATA environment variable.");
    return false;
  }
  std::error_code error;
  const fs::path file = platform::utf8Path(path);
  if (!fs::exists(file, error)) {
    reportDriverCheck(core::Logger::Warning, "openvrpaths.vrpath does not exist at: " + path);
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in.is_open() || fs::file_size(file, error) > kMaxPathRegistryBytes) {
    reportDriverCheck(core::Logger::Error, "Could not open openvrpaths.vrpath for reading: " + path);
    return false;
  }
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string text = buffer.str();
  // Any mention counts: the file is not parsed, so a comment or another key does too.
  if (contains(text, "strivo") || contains(text, "Strivo")) {
    reportDriverCheck(core::Logger::Info, "SteamVR Driver found in openvrpaths.vrpath");
    return true;
  }
  const size_t block = text.find("\"external_drivers\"");
  if (block != std::string::npos)
    reportDriverCheck(core::Logger::Warning,
                      "SteamVR Driver NOT found. External Drivers block: " + text.substr(block, 500));
  else
    reportDriverCheck(core::Logger::Warning, "SteamVR Driver NOT found. File content: " + text.substr(0, 100) + "...");
  return false;
}

bool ComponentService::isLayerRegistered() {
  const fs::path manifest = platform::utf8Path(environment_.programFolder) / "api_layer" / "gait_xrlayer.json";
  return environment_.layerRegistered &&
         environment_.layerRegistered(platform::utf8Text(fs::path(manifest).make_preferred()));
}

bool ComponentService::isPortInUse(int port, const std::string& protocol) {
  return platform::isPortInUse(port, protocol == "UDP" ? platform::PortProtocol::Udp : platform::PortProtocol::Tcp);
}

// SteamVR's runtime folders as its path registry lists them; none when unreadable.
std::vector<std::string> ComponentService::steamVrRuntimeFolders() const {
  std::vector<std::string> folders;
  std::error_code error;
  if (environment_.pathRegistryFile.empty()) return folders;
  const fs::path path = platform::utf8Path(environment_.pathRegistryFile);
  if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > kMaxPathRegistryBytes) return folders;
  try {
    const nlohmann::json registry = nlohmann::json::parse(std::ifstream(path, std::ios::binary));
    if (registry.is_object() && registry.contains("runtime") && registry["runtime"].is_array())
      for (const auto& folder : registry["runtime"])
        if (folder.is_string()) folders.push_back(folder.get<std::string>());
  } catch (const nlohmann::json::exception&) {
  }
  return folders;
}

void ComponentService::installComponent(const std::string& name) {
  if (contains(name, "OpenXR")) {
    logger_.info("Attempting to install OpenXR API Layer...");
    refreshComponents();
    const ComponentEntry& layer = components_[2];
    if (layer.sourceFound && !layer.sourcePath.empty()) {
      logger_.info("Running OpenXR installer: " + layer.sourcePath);
      environment_.startDetached(layer.sourcePath);
    } else {
      logger_.error("OpenXR API Layer installer not found!");
    }
    return;
  }
  if (contains(name, "ViGEmBus")) {
    logger_.info("Attempting to install ViGEmBus driver...");
    refreshComponents();
    const ComponentEntry& bus = components_[1];
    if (bus.sourceFound && !bus.sourcePath.empty()) {
      logger_.info("Running installer: " + bus.sourcePath);
      environment_.startDetached(bus.sourcePath);
      return;
    }
    logger_.error("ViGEmBus installer not found!");
    // Where the bus is a system setting rather than an installer (uinput on Linux), say what to set.
    const std::string hint = environment_.padBusSetupHint ? environment_.padBusSetupHint() : "";
    std::istringstream lines(hint);
    for (std::string line; std::getline(lines, line);) logger_.info(line);
    return;
  }
  installSteamVrDriver();
}

void ComponentService::installSteamVrDriver() {
  logger_.info("Attempting to fix SteamVR driver...");
  refreshComponents();
  const ComponentEntry& driver = components_[0];
  if (!driver.sourceFound) {
    logger_.error("SteamVR Driver source files not found!");
    return;
  }
  logger_.info("Found driver folder: " + driver.sourcePath);
  std::vector<platform::SetupLogLine> search;
  const std::string tool = platform::findDriverRegistrationTool(steamVrRuntimeFolders(), search);
  for (const auto& line : search) logger_.log(line.level, line.text);
  if (tool.empty()) return;
  logger_.info("Executing registration command: " + platform::driverRegistrationCommand(tool, driver.sourcePath));
  if (platform::registerDriverFolder(tool, driver.sourcePath) == 0) {
    logger_.info("Success! Driver registered correctly.");
    prompts_.askForRestart();
  } else {
    logger_.info(platform::manualRegistrationHint());
  }
}

void ComponentService::uninstallComponent(const ComponentEntry& entry) {
  if (!contains(entry.name, "OpenXR")) return;
  logger_.info("Attempting to uninstall OpenXR API Layer...");
  refreshComponents();
  const ComponentEntry& layer = components_[2];
  if (!layer.removerPath.empty()) {
    logger_.info("Running OpenXR uninstaller: " + layer.removerPath);
    environment_.startDetached(layer.removerPath);
  } else {
    logger_.error("OpenXR API Layer uninstaller not found!");
  }
}

void ComponentService::restartSteamVR() {
  logger_.info("Restarting SteamVR...");
  platform::endSteamVr();
  const std::string monitor = platform::findSteamVrMonitor(steamVrRuntimeFolders());
  if (monitor.empty()) {
    logger_.error("Could not find vrmonitor.exe to restart SteamVR automatically.");
    logger_.info("Please start SteamVR manually from Steam.");
    return;
  }
  logger_.info("Starting SteamVR: " + monitor);
  environment_.startDetached(monitor);
  prompts_.dismissRestart();
}

}  // namespace services

#include "app/system/component_service.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "platform/paths.h"
#include "testing/support/free_port.h"

namespace services {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> messages(const core::Logger& logger) {
  std::vector<std::string> result;
  for (const std::string& line : logger.lines()) result.push_back(line.substr(line.find("] ") + 2));
  return result;
}

struct ComponentFixture : ::testing::Test {
  // One folder per test process: ctest runs the tests of this file side by side.
  fs::path root = fs::temp_directory_path() / ("strivo components " + std::to_string(std::random_device{}()));
  fs::path working = root / "program folder";
  core::Settings settings;
  core::Logger logger{nullptr};
  std::vector<std::string> started;
  std::vector<std::string> askedLayers;

  void SetUp() override {
    fs::remove_all(root);
    fs::create_directories(working);
  }
  void TearDown() override { fs::remove_all(root); }

  ComponentEnvironment environment() {
    ComponentEnvironment e;
    e.programFolder = working.string();
    e.pathRegistryFile = (root / "openvr" / "openvrpaths.vrpath").string();
    e.padBusPresent = [] { return false; };
    e.layerRegistered = [this](const std::string& manifest) {
      askedLayers.push_back(manifest);
      return false;
    };
    e.startDetached = [this](const std::string& path) {
      started.push_back(path);
      return true;
    };
    e.padBusSetupHint = [] { return std::string("set up line one\nset up line two\n"); };
    return e;
  }
};

TEST_F(ComponentFixture, DriverRegistrationIsReadFromThePathRegistryText) {
  // 500 characters of the block are shown: the file holds more after the key.
  const std::string otherDrivers =
      R"({"config": [], "external_drivers": ["C:\\other\\driver)" + std::string(600, 'x') + "\"]}";
  struct Case {
    const char* label;
    std::optional<std::string> file;  // nullopt: no file
    bool registered;
    std::string line;
  } cases[] = {
      {"missing", std::nullopt, false, "openvrpaths.vrpath does not exist at: "},
      {"in a driver path", R"({"external_drivers": ["C:\\StrivoVR\\drivers\\gaitrelay"]})", true,
       "SteamVR Driver found in openvrpaths.vrpath"},
      {"in another key", R"({"comment": "strivo was here", "external_drivers": []})", true,
       "SteamVR Driver found in openvrpaths.vrpath"},
      {"other drivers", otherDrivers, false,
       "SteamVR Driver NOT found. External Drivers block: " +
           otherDrivers.substr(otherDrivers.find("\"external"), 500)},
      {"no driver list", R"({"runtime": ["C:\\SteamVR"], "config": ["C:\\Steam\\config"], "log": ["C:\\logs"]})", false,
       std::string("SteamVR Driver NOT found. File content: ") +
           std::string(R"({"runtime": ["C:\\SteamVR"], "config": ["C:\\Steam\\config"], "log": ["C:\\logs"]})")
               .substr(0, 100) +
           "..."},
  };
  for (const Case& c : cases) {
    fs::remove_all(root / "openvr");
    if (c.file) writeFile(root / "openvr" / "openvrpaths.vrpath", *c.file);
    core::Logger log(nullptr);
    ComponentService service(settings, log, environment());
    EXPECT_EQ(service.isDriverRegistered(), c.registered) << c.label;
    EXPECT_EQ(service.isDriverRegistered(), c.registered) << c.label;
    ASSERT_EQ(messages(log).size(), 1u) << c.label << ": a repeated outcome is logged once";
    EXPECT_EQ(messages(log)[0].rfind(c.line, 0), 0u) << c.label << ": " << messages(log)[0];
    if (c.line.size() > 60) {
      EXPECT_EQ(messages(log)[0], c.line) << c.label;
    }
  }

  ComponentEnvironment noHome = environment();
  noHome.pathRegistryFile.clear();
  core::Logger log(nullptr);
  EXPECT_FALSE(ComponentService(settings, log, noHome).isDriverRegistered());
  EXPECT_EQ(messages(log), std::vector<std::string>{"Failed to get LOCALAPPDATA environment variable."});

  // A changed outcome is logged again.
  fs::remove_all(root / "openvr");
  core::Logger changes(nullptr);
  ComponentService service(settings, changes, environment());
  service.isDriverRegistered();
  writeFile(root / "openvr" / "openvrpaths.vrpath", R"({"external_drivers": ["C:\\StrivoVR"]})");
  service.isDriverRegistered();
  fs::remove_all(root / "openvr");
  service.isDriverRegistered();
  ASSERT_EQ(messages(changes).size(), 3u);
  EXPECT_EQ(messages(changes)[1], "SteamVR Driver found in openvrpaths.vrpath");
  EXPECT_EQ(messages(changes)[0].rfind("openvrpaths.vrpath does not exist at: ", 0), 0u);
  EXPECT_EQ(messages(changes)[2], messages(changes)[0]);
}

TEST_F(ComponentFixture, SourcesAreTheFirstCandidatesThatHoldWhatTheyNeed) {
  fs::create_directories(working / "strivo_hook" / "deployment");  // no manifest: skipped
  writeFile(working / "drivers" / "strivovr" / "driver.vrdrivermanifest", "{}");
  writeFile(working / "LayerSetup" / "not a program.txt", "");  // a folder by the installer's name: skipped
  // Beside the program folder, or in the working folder: not the program's, never run.
  writeFile(root / platform::executableFileName("LayerSetup"), "");
  writeFile(root / "tools" / "platform-tools" / "vgem" / "ViGEmBus_1.22.0_x64_x86_arm64.exe", "");
  writeFile(root / "strivo_hook" / "deployment" / "driver.vrdrivermanifest", "{}");
  const fs::path previous = fs::current_path();
  fs::current_path(root);
  writeFile(working / platform::executableFileName("LayerRemover"), "");
  ComponentService service(settings, logger, environment());
  service.refreshComponents();
  const auto& list = service.components();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "strivo Hook (SteamVR)");
  EXPECT_EQ(list[1].name, "ViGEmBus (Xbox 360 Output)");
  EXPECT_EQ(list[2].name, "OpenXR API Layer");
  EXPECT_TRUE(list[0].sourceFound);
  EXPECT_EQ(fs::path(list[0].sourcePath), (working / "drivers" / "strivovr").make_preferred());
  EXPECT_FALSE(list[1].sourceFound || list[1].installed || list[1].removable());
  EXPECT_FALSE(list[2].sourceFound);
  EXPECT_TRUE(list[2].sourcePath.empty());
  EXPECT_EQ(fs::path(list[2].removerPath), (working / platform::executableFileName("LayerRemover")).make_preferred());
  EXPECT_TRUE(list[2].removable());
  EXPECT_EQ(askedLayers,
            std::vector<std::string>{(working / "api_layer" / "gait_xrlayer.json").make_preferred().string()});

  // The folder this build stages wins over the older places.
  writeFile(working / "drivers" / "gaitrelay" / "driver.vrdrivermanifest", "{}");
  service.refreshComponents();
  EXPECT_EQ(fs::path(service.components()[0].sourcePath), (working / "drivers" / "gaitrelay").make_preferred());

  // A program started through a menu entry runs in another working folder: its own folder comes first.
  const fs::path installed = root / "lib" / "strivovr";
  writeFile(installed / "drivers" / "gaitrelay" / "driver.vrdrivermanifest", "{}");
  writeFile(installed / platform::executableFileName("LayerSetup"), "");
  ComponentEnvironment menuEntry = environment();
  menuEntry.programFolder = installed.string();
  ComponentService fromMenu(settings, logger, menuEntry);
  fromMenu.refreshComponents();
  EXPECT_EQ(fs::path(fromMenu.components()[0].sourcePath), (installed / "drivers" / "gaitrelay").make_preferred());
  EXPECT_EQ(fs::path(fromMenu.components()[2].sourcePath),
            (installed / platform::executableFileName("LayerSetup")).make_preferred());
  // The remover in another folder is not the program's.
  EXPECT_TRUE(fromMenu.components()[2].removerPath.empty());
  fs::current_path(previous);
}

TEST_F(ComponentFixture, InstallersAndTheRemoverAreStartedOrTheirAbsenceIsLogged) {
  ComponentService service(settings, logger, environment());
  service.installComponent("OpenXR");
  service.installComponent("ViGEmBus");
  service.uninstallComponent(ComponentEntry("OpenXR API Layer"));
  EXPECT_TRUE(started.empty());
  std::vector<std::string> log;
  for (const auto& line : messages(logger))
    if (line.rfind("SteamVR Driver", 0) != 0 && line.rfind("openvrpaths", 0) != 0) log.push_back(line);
  const std::vector<std::string> expected = {"Attempting to install OpenXR API Layer...",
                                             "OpenXR API Layer installer not found!",
                                             "Attempting to install ViGEmBus driver...",
                                             "ViGEmBus installer not found!",
                                             "set up line one",
                                             "set up line two",
                                             "Attempting to uninstall OpenXR API Layer...",
                                             "OpenXR API Layer uninstaller not found!"};
  EXPECT_EQ(log, expected);

  writeFile(working / platform::executableFileName("LayerSetup"), "");
  writeFile(working / platform::executableFileName("LayerRemover"), "");
  writeFile(working / "drivers" / "vgem" / "ViGEmBus_1.22.0_x64_x86_arm64.exe", "");
  service.installComponent("OpenXR API Layer");
  service.installComponent("ViGEmBus (Xbox 360 Output)");
  service.uninstallComponent(service.components()[2]);
  const std::vector<std::string> paths = {
      (working / platform::executableFileName("LayerSetup")).make_preferred().string(),
      (working / "drivers" / "vgem" / "ViGEmBus_1.22.0_x64_x86_arm64.exe").make_preferred().string(),
      (working / platform::executableFileName("LayerRemover")).make_preferred().string()};
  EXPECT_EQ(started, paths);
}

TEST_F(ComponentFixture, PortsComeFromTheSettingsAndAHeldPortShowsInUse) {
  platform::UdpSocket held;
  ASSERT_TRUE(held.open() && held.bind({0, 0}));
  platform::Endpoint local;
  ASSERT_TRUE(held.localEndpoint(local));
  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = local.port; });
  settings.config.edit([&](core::Config& c) { c.tracking.osc_input_port = testsupport::freeUdpPort(); });
  settings.config.edit([&](core::Config& c) { c.tracking.solarxr_port = 21110; });
  ComponentService service(settings, logger, environment());
  service.refreshPorts();
  const auto& ports = service.ports();
  ASSERT_EQ(ports.size(), 4u);
  EXPECT_EQ(ports[0].name, "Phone (owoTrack)");
  EXPECT_EQ(ports[0].port, local.port);
  EXPECT_TRUE(ports[0].inUse);
  EXPECT_EQ(ports[1].name, "SlimeVR (OSC)");
  EXPECT_FALSE(ports[1].inUse);
  EXPECT_EQ(ports[2].name, "SlimeVR (SolarXR)");
  EXPECT_EQ(ports[2].protocol, "TCP");
  EXPECT_EQ(ports[3].name, "SteamVR Hook");
  EXPECT_EQ(ports[3].port, 4445);
  EXPECT_EQ(ports[3].protocol, "UDP");
}

}  // namespace
}  // namespace services

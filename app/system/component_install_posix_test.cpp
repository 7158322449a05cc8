// Registering the SteamVR driver and restarting SteamVR against a fake SteamVR
// folder: its vrpathreg.sh and vrmonitor.sh are copies of a program that records
// the arguments it got and exits with a chosen code.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/system/component_service.h"

namespace services {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> messages(const core::Logger& logger) {
  std::vector<std::string> result;
  for (const std::string& line : logger.lines()) result.push_back(line.substr(line.find("] ") + 2));
  return result;
}

bool logged(const core::Logger& logger, const std::string& message) {
  const auto all = messages(logger);
  return std::find(all.begin(), all.end(), message) != all.end();
}

struct SteamVrFixture : ::testing::Test {
  // One folder per test process: ctest runs the tests of this file side by side.
  fs::path root = fs::temp_directory_path() / ("strivo steamvr setup " + std::to_string(::getpid()));
  fs::path working = root / "program";
  // Spaces, quotes and shell characters: none may break the command or run anything.
  fs::path runtime = root / "Steam VR's \"odd\" $(touch pwned) folder";
  fs::path tool = runtime / "bin" / "vrpathreg.sh";
  core::Settings settings;
  core::Logger logger{nullptr};
  std::vector<std::string> started;
  std::string savedHome;

  void SetUp() override {
    fs::remove_all(root);
    writeFile(working / "drivers" / "gaitrelay" / "driver.vrdrivermanifest", "{}");
    writeFile(root / "openvr" / "openvrpaths.vrpath",
              "{\"runtime\": [\"" + std::string(root / "Steam VR's \\\"odd\\\" $(touch pwned) folder") + "\"]}");
    if (const char* home = std::getenv("HOME")) savedHome = home;
    ::setenv("HOME", root.c_str(), 1);  // no default Steam library here
  }
  void TearDown() override {
    ::setenv("HOME", savedHome.c_str(), 1);
    fs::remove_all(root);
  }

  void installFake(const fs::path& path, int exitCode) {
    fs::create_directories(path.parent_path());
    fs::copy_file(STRIVO_RECORD_ARGS_PROGRAM, path, fs::copy_options::overwrite_existing);
    writeFile(path.string() + ".exit", std::to_string(exitCode));
  }

  ComponentService service() {
    ComponentEnvironment e;
    e.programFolder = working.string();
    e.pathRegistryFile = (root / "openvr" / "openvrpaths.vrpath").string();
    e.padBusPresent = [] { return false; };
    e.layerRegistered = [](const std::string&) { return false; };
    e.startDetached = [this](const std::string& path) {
      started.push_back(path);
      return true;
    };
    return ComponentService(settings, logger, e);
  }
};

TEST_F(SteamVrFixture, TheDriverFolderIsRegisteredWithTheRuntimesToolAndARestartIsAskedFor) {
  installFake(tool, 0);
  ComponentService components = service();
  components.installComponent("SteamVR");
  const std::string folder = (working / "drivers" / "gaitrelay").string();
  EXPECT_EQ(readFile(tool.string() + ".args"), "adddriver\n" + folder + "\n");
  EXPECT_FALSE(fs::exists(working / "pwned") || fs::exists("pwned"));
  EXPECT_TRUE(components.prompts().restartNeeded());
  EXPECT_TRUE(logged(logger, "Found driver folder: " + folder));
  EXPECT_TRUE(logged(logger, "Success! found vrpathreg at: " + tool.string()));
  EXPECT_TRUE(logged(logger, "Executing registration command: '" + root.string() +
                                 "/Steam VR'\\''s \"odd\" $(touch pwned) folder/bin/vrpathreg.sh' adddriver '" +
                                 folder + "'"));
  EXPECT_EQ(messages(logger).back(), "Success! Driver registered correctly.");
}

TEST_F(SteamVrFixture, AFailedRegistrationLeavesTheRestartFlagClearAndSaysHowToRepeatIt) {
  installFake(tool, 1);
  ComponentService components = service();
  components.installComponent("strivo Hook (SteamVR)");
  EXPECT_FALSE(components.prompts().restartNeeded());
  EXPECT_EQ(messages(logger).back(),
            "Manual fix: copy-paste the 'Executing registration command' line above into a terminal.");
}

TEST_F(SteamVrFixture, WithoutTheToolOrTheDriverFolderNothingRuns) {
  ComponentService components = service();
  components.installComponent("SteamVR");
  EXPECT_TRUE(logged(logger, "vrpathreg.sh not found at expected path: " + tool.string()));
  EXPECT_EQ(messages(logger).back(), "Could not find vrpathreg.sh anywhere! SteamVR might not be installed correctly.");
  EXPECT_FALSE(components.prompts().restartNeeded());

  fs::remove_all(working / "drivers");
  installFake(tool, 0);
  logger.clear();
  service().installComponent("SteamVR");
  EXPECT_EQ(messages(logger).back(), "SteamVR Driver source files not found!");
  EXPECT_FALSE(fs::exists(tool.string() + ".args"));
}

TEST_F(SteamVrFixture, RestartStartsTheRuntimesMonitorAndClearsTheFlagOnlyWhenFound) {
  installFake(tool, 0);
  ComponentService components = service();
  components.installComponent("SteamVR");  // a registration asks for the restart
  ASSERT_TRUE(components.prompts().restartNeeded());
  components.restartSteamVR();
  EXPECT_TRUE(started.empty());
  EXPECT_TRUE(components.prompts().restartNeeded());
  const std::vector<std::string> log = messages(logger);
  const std::vector<std::string> tail(log.end() - 2, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Could not find vrmonitor.exe to restart SteamVR automatically.",
                                            "Please start SteamVR manually from Steam."}));

  installFake(runtime / "bin" / "vrmonitor.sh", 0);
  components.restartSteamVR();
  EXPECT_EQ(started, std::vector<std::string>{(runtime / "bin" / "vrmonitor.sh").string()});
  EXPECT_FALSE(components.prompts().restartNeeded());
  EXPECT_EQ(messages(logger).back(), "Starting SteamVR: " + (runtime / "bin" / "vrmonitor.sh").string());
}

}  // namespace
}  // namespace services

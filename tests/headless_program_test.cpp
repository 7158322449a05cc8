// Runs the built strivovr-headless as a user would and checks its start-up and shutdown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "app/core/settings.h"
#include "app/core/settings_file.h"
#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::TempFolder;

struct HeadlessProgram {
  TempFolder home{"headless"};
  std::string settingsPath() const { return home.file("config/StrivoVR/usersettings.json"); }
  std::unique_ptr<ChildProcess> start() {
    std::filesystem::create_directories(home.path() / "config");
    return std::make_unique<ChildProcess>(testsupport::distFolder() + "/strivovr-headless", std::vector<std::string>{},
                                          std::map<std::string, std::string>{{"XDG_CONFIG_HOME", home.file("config")},
                                                                             {"XDG_RUNTIME_DIR", home.path().string()}},
                                          home.path().string());
  }
};

TEST(HeadlessProgram, FirstStartWritesTheDefaultsAndStopsCleanlyOnSigterm) {
  HeadlessProgram program;
  auto child = program.start();
  ASSERT_TRUE(child->started());
  ASSERT_TRUE(child->waitForOutput("[Main] Logic initialized.", 10s)) << child->output() << child->errors();

  const std::string out = child->output();
  EXPECT_NE(out.find("[Main] Winsock initialized."), std::string::npos);
  EXPECT_NE(out.find("[Main] Local IP: "), std::string::npos);
  EXPECT_NE(out.find("[Main] No settings found, saving defaults."), std::string::npos);
  EXPECT_NE(out.find("[INFO ] ServiceManager: Initializing all services..."), std::string::npos);
  EXPECT_NE(out.find("[INFO ] Engine: Logic initialized."), std::string::npos);
  EXPECT_NE(out.find("[INFO ] BridgeService: Initialized on port 55666"), std::string::npos);

  core::Settings defaults;
  EXPECT_EQ(testsupport::readFile(program.settingsPath()), core::serializeSettings(defaults));
  // Without access to /dev/uinput the first start says what to do (the module, the udev rule).
  const bool uinputWritable = ::access("/dev/uinput", W_OK) == 0;
  EXPECT_EQ(child->errors().find("[uinput]   load the module: sudo modprobe uinput") != std::string::npos,
            !uinputWritable)
      << child->errors();

  child->signal(SIGTERM);
  EXPECT_EQ(child->waitForExit(5s), 0) << child->errors();
  EXPECT_NE(child->output().find("[INFO ] ServiceManager: Cleaning up all services..."), std::string::npos);
}

TEST(HeadlessProgram, CorruptSettingsAreReportedAndRepairedOnStart) {
  HeadlessProgram program;
  std::filesystem::create_directories(std::filesystem::path(program.settingsPath()).parent_path());
  testsupport::writeFile(program.settingsPath(), R"({"owotrack_input_port": 7001, "deadzone": "x"})");
  auto child = program.start();
  ASSERT_TRUE(child->waitForOutput("[Main] Logic initialized.", 10s)) << child->output() << child->errors();
  EXPECT_NE(child->errors().find("[Settings] Load error: "), std::string::npos);
  child->signal(SIGINT);
  EXPECT_EQ(child->waitForExit(5s), 0);

  core::Settings loaded;
  core::SettingsFile file([&] { return std::filesystem::path(program.settingsPath()).parent_path().string(); },
                          "settings.json", std::cout, std::cerr);
  ASSERT_TRUE(file.load(loaded));
  EXPECT_EQ(loaded.owotrack_input_port, 7001);
  EXPECT_EQ(loaded.deadzone, 3.0f);
}

TEST(HeadlessProgram, SecondCopyPrintsTheNoticeAndRunsAnyway) {
  HeadlessProgram program;
  auto first = program.start();
  ASSERT_TRUE(first->waitForOutput("[Main] Logic initialized.", 10s));
  auto second = program.start();
  ASSERT_TRUE(second->waitForOutput("[Main] Logic initialized.", 10s)) << second->output();
  EXPECT_NE(second->output().find("[Main] Strivo is already running. Proceeding anyway."), std::string::npos);
  EXPECT_EQ(second->errors().find("[uinput]"), std::string::npos) << "the access hint is shown only once";
  second->signal(SIGTERM);
  first->signal(SIGTERM);
  EXPECT_EQ(second->waitForExit(5s), 0);
  EXPECT_EQ(first->waitForExit(5s), 0);
}

}  // namespace

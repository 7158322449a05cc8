// Runs the built strivovr-headless as a user would and checks its start-up and shutdown.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>

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
  EXPECT_NE(out.find("[INFO ] SecondControllerBridge: Initialized on port 55666"), std::string::npos);

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

// The copy a start names in its log ("... kept as <path>"), or "" when it names none.
std::string keptCopyIn(const std::string& log) {
  const std::string marker = "[Settings] The damaged file was kept as ";
  const std::size_t at = log.find(marker);
  if (at == std::string::npos) return "";
  const std::size_t from = at + marker.size();
  return log.substr(from, log.find('\n', from) - from);
}

std::string randomBytes(std::size_t count) {
  std::mt19937 generator(18);
  std::string bytes(count, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator() & 0xFF);
  return bytes;
}

// A settings file that does not load is kept byte for byte before the program
// writes its own, and a second damaged start keeps a second copy beside the first.
TEST(HeadlessProgram, DamagedSettingsAreKeptAndTheProgramStartsWithWhatCouldBeRead) {
  core::Settings partial;
  partial.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = 7001; });
  const std::string defaults = core::serializeSettings(core::Settings{});
  const struct {
    const char* name;
    std::string bytes;
    std::string expected;  // the file the program writes
  } cases[] = {
      {"trailing comma", R"({"deadzone": 7.5, "mode": "Keyboard", "key_fwd": "i",})", defaults},
      {"not UTF-8", "{\"deadzone\": 7.5, \"key_fwd\": \"\xE9\xFF\"}", defaults},
      {"empty", "", defaults},
      {"5 MB of random bytes", randomBytes(5 << 20), defaults},
      {"wrong type after a good member", R"({"owotrack_input_port": 7001, "deadzone": "x"})",
       core::serializeSettings(partial)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HeadlessProgram program;
    std::filesystem::create_directories(std::filesystem::path(program.settingsPath()).parent_path());
    std::vector<std::string> copies;
    for (int start = 0; start < 2; ++start) {
      testsupport::writeFile(program.settingsPath(), c.bytes);
      auto child = program.start();
      ASSERT_TRUE(child->waitForOutput("[Main] Logic initialized.", 20s)) << child->output() << child->errors();
      EXPECT_NE(child->errors().find("[Settings] Load error: "), std::string::npos);
      const std::string copy = keptCopyIn(child->output());
      ASSERT_FALSE(copy.empty()) << child->output();
      copies.push_back(copy);
      child->signal(SIGTERM);
      EXPECT_EQ(child->waitForExit(5s), 0) << child->errors();
      EXPECT_EQ(testsupport::readFile(program.settingsPath()), c.expected);
    }
    EXPECT_EQ(copies[0], program.settingsPath() + ".broken");
    EXPECT_EQ(copies[1].rfind(program.settingsPath() + ".broken-", 0), 0u) << copies[1];
    for (const auto& copy : copies) EXPECT_TRUE(testsupport::readFile(copy) == c.bytes) << copy;
  }
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

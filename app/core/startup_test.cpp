#include "app/core/startup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/single_instance.h"
#include "testing/support/temp_folder.h"

namespace core {
namespace {

using testsupport::TempFolder;

struct StartupTest : ::testing::Test {
  TempFolder folder{"startup"};
  std::ostringstream out, err;
  Settings settings;
  SettingsFile file{[this] { return folder.path().string(); }, folder.file("settings.json"), out, err};
  std::vector<std::string> calls;

  StartupSteps steps(int exitCode) {
    StartupSteps s;
    s.startEngine = [this] { calls.push_back("start"); };
    s.stopEngine = [this] { calls.push_back("stop"); };
    s.runUserInterface = [this, exitCode] {
      calls.push_back("ui");
      return exitCode;
    };
    s.localAddress = [] { return std::string("192.0.2.7"); };
    return s;
  }
};

TEST_F(StartupTest, FirstStartWritesTheDefaultsBeforeTheEngineStarts) {
  std::string fileAtEngineStart;
  StartupSteps s = steps(0);
  s.startEngine = [&] {
    fileAtEngineStart = testsupport::readFile(file.path());
    calls.push_back("start");
  };
  EXPECT_EQ(runStartup(settings, file, s, out, err), 0);
  const std::string printed = out.str();

  Settings defaults, loaded;
  ASSERT_TRUE(file.load(loaded));
  EXPECT_EQ(serializeSettings(loaded), serializeSettings(defaults));
  EXPECT_FALSE(fileAtEngineStart.empty());
  EXPECT_EQ(calls, (std::vector<std::string>{"start", "ui", "stop"}));
  const std::string expected =
      "[Main] Winsock initialized.\n"
      "[Main] StrivoVR is starting...\n"
      "[Main] Local IP: 192.0.2.7\n"
      "[Main] Loading settings...\n"
      "[Main] Initial Tracker Source (from Code): [Phone]\n"
      "[Settings] No settings file found, using defaults.\n"
      "[Main] No settings found, saving defaults.\n"
      "[Settings] Saved to " +
      file.path() +
      "\n"
      "[Main] Initializing Logic...\n"
      "[Main] Logic initialized.\n";
  EXPECT_EQ(printed.substr(printed.find("[Main] Winsock")), expected);
}

TEST_F(StartupTest, LoadedSettingsAreKeptAndTheExitCodeIsTheUserInterfaces) {
  settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  ASSERT_TRUE(file.save(settings));
  Settings fresh;
  out.str("");
  EXPECT_EQ(runStartup(fresh, file, steps(1), out, err), 1);
  EXPECT_EQ(fresh.config.snapshot()->outputs.mode, core::OutputMode::Keyboard);
  EXPECT_NE(out.str().find("[Main] Settings loaded successfully.\n"), std::string::npos);
  EXPECT_EQ(out.str().find("saving defaults"), std::string::npos);
}

TEST_F(StartupTest, CorruptSettingsAreReportedRewrittenAndStartUpGoesOn) {
  const std::string damaged = R"({"owotrack_input_port": 7001, "deadzone": [})";
  testsupport::writeFile(file.path(), damaged);
  EXPECT_EQ(runStartup(settings, file, steps(0), out, err), 0);
  EXPECT_NE(err.str().find("[Settings] Load error: "), std::string::npos);
  EXPECT_NE(out.str().find("[Main] No settings found, saving defaults.\n[Settings] The damaged file was kept as " +
                           file.path() + ".broken\n[Settings] Saved to "),
            std::string::npos)
      << out.str();
  EXPECT_EQ(testsupport::readFile(file.path() + ".broken"), damaged);
  EXPECT_EQ(calls, (std::vector<std::string>{"start", "ui", "stop"}));
  Settings loaded;
  ASSERT_TRUE(file.load(loaded));  // rewritten whole
}

TEST_F(StartupTest, AnotherRunningCopyIsOnlyANotice) {
  platform::SingleInstanceMarker other("Strivo_Running_Mutex");
  EXPECT_EQ(runStartup(settings, file, steps(0), out, err), 0);
  if (other.status() == platform::SingleInstanceMarker::Status::Created) {
    EXPECT_EQ(out.str().rfind("[Main] Strivo is already running. Proceeding anyway.\n", 0), 0u) << out.str();
  }
  EXPECT_EQ(calls, (std::vector<std::string>{"start", "ui", "stop"}));
}

}  // namespace
}  // namespace core

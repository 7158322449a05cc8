// Runs strivovr-headless-keylog (the headless program printing its key events) and
// checks that the keyboard output is wired in: shutting down lifts the modifiers.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

TEST(HeadlessKeylog, ShutdownInKeyboardModeReleasesTheModifiersAndPressesNothing) {
  testsupport::TempFolder home{"keylog"};
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"), R"({"mode": "Keyboard"})");
  testsupport::ChildProcess child(STRIVO_KEYLOG_PROGRAM, {},
                                  {{"XDG_CONFIG_HOME", home.file("config")}, {"XDG_RUNTIME_DIR", home.path().string()}},
                                  home.path().string());
  ASSERT_TRUE(child.waitForOutput("[Main] Logic initialized.", 10s)) << child.output() << child.errors();
  EXPECT_NE(child.output().find("[INFO ] OutputService: Initializing sub-output services..."), std::string::npos);
  EXPECT_NE(child.output().find("[INFO ] KeyboardOutputService: Backend is ready."), std::string::npos);

  child.signal(SIGTERM);
  ASSERT_EQ(child.waitForExit(5s), 0) << child.errors();
  const std::string out = child.output();
  const std::string lifted =
      "[KeyInjector] up shift\n[KeyInjector] up ctrl\n[KeyInjector] up alt\n[KeyInjector] up win\n"
      "[Keyboard] Reset modifier keys.\n";
  EXPECT_NE(out.find(lifted), std::string::npos) << out;
  EXPECT_EQ(out.find("[KeyInjector] down"), std::string::npos) << out;
}

}  // namespace

// The "SteamVR (OpenVR)" head source through the whole program: the headless program
// (printing its key events) finds the fake OpenVR client library through SteamVR's
// path registry, reads a scripted head that rises 20 cm in 100 ms, and jumps.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

TEST(OpenVrProgram, HeadRisingTwentyCentimetresInATenthOfASecondPressesJump) {
  testsupport::TempFolder home{"openvr_program"};
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  std::filesystem::create_directories(home.path() / "config/openvr");
  std::filesystem::create_directories(home.path() / "SteamVR/bin/linux64");
  std::filesystem::create_symlink(STRIVO_FAKE_OPENVR_API, home.path() / "SteamVR/bin/linux64/libopenvr_api.so");
  testsupport::writeFile(home.file("config/openvr/openvrpaths.vrpath"),
                         "{\"jsonid\": \"vrpathreg\", \"runtime\": [\"" + home.file("SteamVR") +
                             "\"], \"external_drivers\": null, \"version\": 1}");
  // The headset stands still at 1.70 m, rises to 1.90 m between 1.5 s and 1.6 s, and stays.
  testsupport::writeFile(home.file("script.txt"),
                         "device 0 1 0 Visor-9 V9-001\n"
                         "position 0 0 0 1.70 0\n"
                         "position 0 1.5 0 1.70 0\n"
                         "position 0 1.6 0 1.90 0\n");
  testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                         R"json({"mode": "Keyboard", "tracker_source": "None", "hmd_source": "SteamVR (OpenVR)",
                                 "jump_threshold": 15, "jump_window": 150, "jump_key": "space"})json");

  testsupport::ChildProcess program(STRIVO_KEYLOG_PROGRAM, {},
                                    {{"XDG_CONFIG_HOME", home.file("config")},
                                     {"XDG_RUNTIME_DIR", home.path().string()},
                                     {"FAKE_OPENVR_SCRIPT", home.file("script.txt")}},
                                    home.path().string());
  ASSERT_TRUE(program.waitForOutput("[Main] Logic initialized.", 10s)) << program.output() << program.errors();
  ASSERT_TRUE(program.waitForOutput("[KeyInjector] up space", 6s)) << program.output() << program.errors();
  program.signal(SIGTERM);
  ASSERT_EQ(program.waitForExit(5s), 0) << program.errors();

  const std::string out = program.output();
  const auto session = out.find("[OpenVRManager] Session initialized (Ref: 1)\n");
  const auto polling = out.find("[OpenVR] Session acquired. Polling HMD pose...\n");
  const auto jump = out.find("Engine: Jump detected (Height)!");
  const auto down = out.find("[KeyInjector] down space");
  ASSERT_NE(session, std::string::npos) << out;
  ASSERT_NE(polling, std::string::npos) << out;
  ASSERT_NE(jump, std::string::npos) << out;
  EXPECT_LT(polling, jump);
  EXPECT_LT(jump, down);
  EXPECT_LT(down, out.find("[KeyInjector] up space"));
  // One rise, one jump: standing at the new height is not another.
  EXPECT_EQ(out.find("Engine: Jump detected", jump + 1), std::string::npos) << out;
  // Shut down in order: the thread, the session's last user, closes it and ends.
  const auto released = out.find("[OpenVRManager] Session released, shutting down.\n");
  ASSERT_NE(released, std::string::npos) << out;
  EXPECT_NE(out.find("[OpenVR] Worker thread finished.\n", released), std::string::npos) << out;
  EXPECT_EQ(program.errors().find("[OpenVR"), std::string::npos) << program.errors();
}

}  // namespace

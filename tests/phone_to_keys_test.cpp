// The first road end to end: a phone leaning forward holds W down in a game.
// strivovr-headless (or its key-printing twin) runs with "Phone" and "Keyboard";
// phone_sim leans forward and back; the keys are observed as a game would see them.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "app/tracking/osc_test_bytes.h"
#include "platform/udp_socket.h"
#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"
#include "testing/support/xvfb_server.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

struct PhoneToKeys : ::testing::Test {
  testsupport::TempFolder home{"phone_to_keys"};
  int port = testsupport::freeUdpPort();

  void SetUp() override {
    ASSERT_NE(port, 0);
    std::filesystem::create_directories(home.path() / "config/StrivoVR");
    testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                           R"({"mode": "Keyboard", "tracker_source": "Phone", "check_for_updates": false, )"
                           R"("owotrack_input_port": )" +
                               std::to_string(port) + "}");
  }

  std::unique_ptr<ChildProcess> startProgram(const std::string& program, const std::string& display) {
    std::map<std::string, std::string> env{
        {"XDG_CONFIG_HOME", home.file("config")}, {"XDG_RUNTIME_DIR", home.path().string()}, {"DISPLAY", display}};
    auto child = std::make_unique<ChildProcess>(program, std::vector<std::string>{}, env, home.path().string());
    EXPECT_TRUE(child->waitForOutput("[owotrack] SUCCESSFULLY listening", 10s)) << child->output() << child->errors();
    return child;
  }

  std::unique_ptr<ChildProcess> lean(const std::string& script, const std::string& seconds) {
    return std::make_unique<ChildProcess>(testsupport::distFolder() + "/phone_sim",
                                          std::vector<std::string>{"--port", std::to_string(port), "--rate", "100",
                                                                   "--seconds", seconds, "--lean", script, "--quiet"},
                                          std::map<std::string, std::string>{}, home.path().string());
  }
};

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Started tracking, the lean walks; started stopped ("start_on_launch": false),
// the same lean presses nothing.
TEST_F(PhoneToKeys, RecordedKeysFollowTheLeanAndNothingStaysDown) {
  for (const bool startTracking : {true, false}) {
    SCOPED_TRACE(startTracking ? "tracking at start" : "stopped at start");
    testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                           R"({"mode": "Keyboard", "tracker_source": "Phone", "check_for_updates": false, )"
                           R"("start_on_launch": )" +
                               std::string(startTracking ? "true" : "false") + R"(, "owotrack_input_port": )" +
                               std::to_string(port) + "}");
    auto program = startProgram(STRIVO_KEYLOG_PROGRAM, "");
    // Lean 35 degrees forward (beyond the first stage, short of the second), hold, stand up.
    auto phone = lean("0:0,0.4:25,1.4:25,1.8:0", "2.5");
    ASSERT_EQ(phone->waitForExit(20s), 0) << phone->output() << phone->errors();
    if (!startTracking) {
      program->signal(SIGTERM);
      EXPECT_EQ(program->waitForExit(5s), 0);
      EXPECT_EQ(program->output().find("[KeyInjector] down"), std::string::npos) << program->output();
      continue;
    }
    ASSERT_TRUE(program->waitForOutput("[KeyInjector] up W", 5s)) << program->output();
    const std::string whileRunning = program->output();
    const auto down = whileRunning.find("[KeyInjector] down W");
    ASSERT_NE(down, std::string::npos) << whileRunning;
    EXPECT_LT(down, whileRunning.find("[KeyInjector] up W"));
    // Standing up released W before the program stopped: every W that went down came up.
    EXPECT_EQ(count(whileRunning, "[KeyInjector] down W"), count(whileRunning, "[KeyInjector] up W"));
    EXPECT_EQ(whileRunning.find("down S"), std::string::npos);

    program->signal(SIGTERM);
    EXPECT_EQ(program->waitForExit(5s), 0);
  }
}

TEST_F(PhoneToKeys, StoppingTheProgramWhileLeaningReleasesTheKeys) {
  auto program = startProgram(STRIVO_KEYLOG_PROGRAM, "");
  auto phone = lean("0:0,0.3:45", "1.5");  // a strong lean: shift+W
  ASSERT_EQ(phone->waitForExit(20s), 0);
  ASSERT_TRUE(program->waitForOutput("[KeyInjector] down shift", 5s)) << program->output();
  program->signal(SIGTERM);
  ASSERT_EQ(program->waitForExit(5s), 0);
  const std::string out = program->output();
  EXPECT_EQ(count(out, "[KeyInjector] down W"), count(out, "[KeyInjector] up W")) << out;
  EXPECT_GE(count(out, "[KeyInjector] up shift"), count(out, "[KeyInjector] down shift")) << out;
}

TEST_F(PhoneToKeys, RealXKeyGoesDownWithTheLeanAndUpWhenItEnds) {
  testsupport::XvfbServer xvfb;
  if (!xvfb.running()) GTEST_SKIP() << "no X server for the XTest path: " << xvfb.problem();
  if (access("/dev/uinput", W_OK) == 0) GTEST_SKIP() << "/dev/uinput is writable, so keys go through uinput, not XTest";
  auto program = startProgram(testsupport::distFolder() + "/strivovr-headless", xvfb.display());
  testsupport::XKeyboardObserver keyboard(xvfb.display());
  ASSERT_TRUE(keyboard.connected());
  ASSERT_FALSE(keyboard.isDown(XK_w));

  auto phone = lean("0:0,0.3:25,2.3:25,2.6:0", "3.5");
  bool sawDown = false;
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (std::chrono::steady_clock::now() < deadline && !sawDown) {
    sawDown = keyboard.isDown(XK_w);
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_TRUE(sawDown) << program->output() << program->errors();
  ASSERT_EQ(phone->waitForExit(20s), 0);
  EXPECT_FALSE(keyboard.isDown(XK_w));  // the lean ended before phone_sim stopped
  EXPECT_EQ(keyboard.keysDown(), 0);

  // Lean again and stop the program mid-lean: nothing may stay down.
  auto again = lean("0:0,0.3:25", "1.5");
  ASSERT_EQ(again->waitForExit(20s), 0);
  EXPECT_TRUE(keyboard.isDown(XK_w));
  program->signal(SIGTERM);
  EXPECT_EQ(program->waitForExit(5s), 0);
  EXPECT_EQ(keyboard.keysDown(), 0);
}

TEST_F(PhoneToKeys, FloodsOfTapsAndResetsToggleRarelySaveAtMostThriceAndTheLeanStillWalks) {
  const int oscPort = testsupport::freeUdpPort();
  ASSERT_NE(oscPort, 0);
  const std::string settingsPath = home.file("config/StrivoVR/usersettings.json");
  testsupport::writeFile(settingsPath,
                         R"({"mode": "Keyboard", "tracker_source": "Phone", "check_for_updates": false, )"
                         R"j("hmd_source": "SlimeVR (OSC)", "slimevr_tap_toggle": true, "osc_input_port": )j" +
                             std::to_string(oscPort) + R"(, "owotrack_input_port": )" + std::to_string(port) + "}");
  auto program = startProgram(STRIVO_KEYLOG_PROGRAM, "");
  ASSERT_TRUE(program->waitForOutput("[OSC] Server started on port", 5s)) << program->output();
  // 300 taps in three seconds while swaying forward; halfway, a bundle of 200 resets.
  ChildProcess phone(testsupport::distFolder() + "/phone_sim",
                     {"--port", std::to_string(port), "--seconds", "3", "--rate", "50", "--tap", "300", "--lean",
                      "0:20,0.5:30,1:20,1.5:30,2:20,2.5:30,3:20", "--quiet"},
                     {}, home.path().string());
  namespace osc = tracking::osc::testbytes;
  std::vector<std::byte> bundle = osc::bundle({});
  const std::vector<std::byte> reset = osc::element(osc::msg("/user/reset", ","));
  for (int i = 0; i < 200; ++i) bundle.insert(bundle.end(), reset.begin(), reset.end());
  std::this_thread::sleep_for(1500ms);
  platform::UdpSocket slimevr;
  ASSERT_TRUE(slimevr.open());
  ASSERT_TRUE(slimevr.sendTo(bundle, platform::Endpoint::loopback(static_cast<std::uint16_t>(oscPort))));
  const std::size_t mark = program->output().size();
  ASSERT_EQ(phone.waitForExit(20s), 0) << phone.output() << phone.errors();
  std::this_thread::sleep_for(1500ms);  // the last coalesced save is due by now

  program->signal(SIGTERM);
  EXPECT_EQ(program->waitForExit(1s), 0) << program->errors();
  const std::string out = program->output();
  EXPECT_NE(out.find("[KeyInjector] down W", mark), std::string::npos) << "no walking after the bundle: " << out;
  EXPECT_EQ(count(out, "[OSC] SlimeVR Reset signal detected: /user/reset - Toggling tracking."), 1u) << out;
  // Each toggle off centres the outputs: seven toggles at most, and the watchdog once.
  const std::size_t centred = count(out, "OutputService: Centering all outputs...");
  EXPECT_GE(centred, 2u) << out;
  EXPECT_LE(centred, 5u) << out;
  const std::size_t saves = count(out, "[Settings] Saved to " + settingsPath + "\n");
  EXPECT_GE(saves, 1u) << out;
  EXPECT_LE(saves, 3u) << out;
}

}  // namespace

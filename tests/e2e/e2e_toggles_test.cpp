// Switching walking off and on from the body, through the packaged program with the
// phone walking in VRChat: three taps on the tracker, the phone app's tap and reset
// messages, a long press on SteamVR's thumbstick; and the watchdog when the phone
// falls silent. Sounds go to SDL's disk driver, so the test hears what the user hears.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "testing/support/free_port.h"
#include "testing/support/sound_stretches.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {
namespace {

// A phone swaying between 20 and 35 degrees forward at 50 Hz: it walks, and every
// sample differs enough from the last that the watchdog never calls it frozen.
std::vector<std::string> swaying(double seconds, std::vector<std::string> more = {}) {
  std::string lean = "0:20";
  for (int t = 1; t <= seconds + 1; ++t) lean += "," + std::to_string(t) + (t % 2 ? ":35" : ":20");
  more.insert(more.end(), {"--seconds", std::to_string(seconds), "--rate", "50", "--lean", lean});
  return more;
}

const auto walking = [](const OscValue& m) { return m.address == "/input/Vertical" && m.value > 0.3; };
const auto atRest = [](double v) { return v == 0; };

using testsupport::soundStretches;

// The phone walking in VRChat, the program started with extra settings members.
struct ToggleRoad {
  void start(const std::string& members, std::map<std::string, std::string> environment = {}) {
    ASSERT_TRUE(vrchat.listening());
    ASSERT_NE(phonePort, 0);
    home.writeSettings(R"j("mode": "VRChat OSC", "tracker_source": "Phone", "hmd_source": "Disabled", )j"
                       R"j("audio_volume": 1.0, "owotrack_input_port": )j" +
                       std::to_string(phonePort) + R"(, "vrchat_osc_port": )" + std::to_string(vrchat.port()) +
                       (members.empty() ? "" : ", " + members));
    environment.insert({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", home.file("sound.raw")}});
    program = std::make_unique<PackagedProgram>(home, environment);
    ASSERT_TRUE(program->started()) << program->log();
  }

  std::size_t saves() { return countOf(program->output(), "[Settings] Saved to " + home.settingsPath() + "\n"); }

  // Walking was switched off: VRChat is at rest, the settings file was saved (whole,
  // not just what the test wrote); returns where VRChat's messages stand.
  std::size_t expectStopped() {
    EXPECT_TRUE(eventually([&] { return saves() == 1; }, 8s)) << program->log();
    EXPECT_TRUE(vrchat.waitForLast("/input/Vertical", atRest)) << program->log();
    EXPECT_EQ(vrchat.last("/input/Horizontal"), 0);
    EXPECT_NE(program->output().find("OutputService: Centering all outputs..."), std::string::npos);
    EXPECT_NE(testsupport::readFile(home.settingsPath()).find("\"deadzone\""), std::string::npos);
    return vrchat.received().size();
  }

  // Stopped, then on again: two saves, two sounds (stop, then start) well apart.
  void expectSavedTwiceAndBothSounds() {
    EXPECT_EQ(program->stop(), 0) << program->log();
    EXPECT_EQ(saves(), 2u) << program->log();
    EXPECT_EQ(program->log().find("[AudioService]"), std::string::npos) << program->log();
    const auto stretches = soundStretches(testsupport::readFile(home.file("sound.raw")));
    ASSERT_EQ(stretches.size(), 2u);
    for (const auto& [from, to] : stretches) EXPECT_GT(to - from, 0.2);
    EXPECT_GT(stretches[1].first - stretches[0].second, 0.5);
  }

  VrchatListener vrchat;
  UserHome home;
  const int phonePort = testsupport::freeUdpPort();
  std::unique_ptr<PackagedProgram> program;
};

TEST(EndToEnd, ThreeTapsOnTheTrackerStopWalkingAndThreeMoreResumeIt) {
  ToggleRoad road;
  // Taps on the phone's Y axis: the simulator's 0.1 s spikes of 20 m/s².
  ASSERT_NO_FATAL_FAILURE(
      road.start(R"("slimevr_tap_toggle": true, "slimevr_tap_axis": 1, "slimevr_tap_sensitivity": 15)"));
  // Leaning on for half a second after the third tap: the game stays at rest.
  EXPECT_EQ(runPhone(road.phonePort, swaying(1.6, {"--jump", "0.3,0.7,1.1"})), 0);
  EXPECT_TRUE(road.vrchat.waitFor(walking, 1s)) << road.program->log();
  const std::size_t mark = road.expectStopped();
  // Past the lock-out after a toggle, three more taps: walking again.
  EXPECT_EQ(runPhone(road.phonePort, swaying(2.6, {"--jump", "1.0,1.4,1.8"})), 0);
  EXPECT_TRUE(road.vrchat.waitFor(walking, 8s, mark)) << road.program->log();
  EXPECT_EQ(countOf(road.program->output(), "Engine: Triple-Tap detected! Toggling..."), 2u) << road.program->log();
  road.expectSavedTwiceAndBothSounds();
}

TEST(EndToEnd, ThePhoneAppsTapStopsWalkingAndItsResetResumesIt) {
  ToggleRoad road;
  ASSERT_NO_FATAL_FAILURE(road.start(R"("slimevr_tap_toggle": true)"));
  EXPECT_EQ(runPhone(road.phonePort, swaying(3, {"--tap", "1"})), 0);  // the tap halfway
  EXPECT_TRUE(road.vrchat.waitFor(walking, 1s)) << road.program->log();
  EXPECT_NE(road.program->output().find("[owotrack] Tap Detected (Type 13)"), std::string::npos);
  const std::size_t mark = road.expectStopped();
  EXPECT_EQ(runPhone(road.phonePort, swaying(3, {"--reset", "1"})), 0);
  EXPECT_TRUE(road.vrchat.waitFor(walking, 8s, mark)) << road.program->log();
  EXPECT_NE(road.program->output().find("[owotrack] SlimeVR Reset (2) detected, toggling tracking."),
            std::string::npos);
  road.expectSavedTwiceAndBothSounds();
}

TEST(EndToEnd, HoldingTheLeftThumbstickTwoSecondsStopsWalkingAndHoldingAgainResumesIt) {
  ToggleRoad road;
  // SteamVR with a left controller whose thumbstick is clicked from 2 to 4.5 s and
  // from 5.5 to 8 s after the program opened its session.
  const std::string click = std::to_string(1ull << 32);
  const std::string script =
      installSteamVr(road.home, "device 1 2 1 Wand-L W-001\nbuttons 1 2 " + click +
                                    "\nbuttons 1 4.5 0\nbuttons 1 5.5 " + click + "\nbuttons 1 8 0\n");
  ASSERT_NO_FATAL_FAILURE(
      road.start(R"("bind_steamvr_toggle": true, "steamvr_toggle_hand": 0)", {{"FAKE_OPENVR_SCRIPT", script}}));
  auto phone = startPhone(road.phonePort, swaying(10));
  EXPECT_TRUE(road.vrchat.waitFor(walking)) << road.program->log();
  const std::size_t mark = road.expectStopped();
  EXPECT_TRUE(road.vrchat.waitFor(walking, 8s, mark)) << road.program->log();
  // Saves are coalesced: the second is written a second after its toggle.
  EXPECT_TRUE(eventually([&] { return road.saves() == 2; }, 3s)) << road.program->log();
  EXPECT_EQ(phone->waitForExit(15s), 0);
  EXPECT_NE(road.program->output().find("[OpenVRManager] Session initialized (Ref: 1)"), std::string::npos);
  road.expectSavedTwiceAndBothSounds();
}

TEST(EndToEnd, WatchdogStopsTheGameWhenThePhoneFallsSilentAndMovingAgainWalks) {
  ToggleRoad road;
  ASSERT_NO_FATAL_FAILURE(road.start(""));
  PackagedProgram& program = *road.program;
  EXPECT_EQ(runPhone(road.phonePort, swaying(1)), 0);
  EXPECT_TRUE(road.vrchat.waitFor(walking, 1s)) << program.log();
  // Silent while leaning: the game comes to rest two seconds later, with a warning.
  const std::string warning = "[WARN ] Watchdog: Tracker timeout detected (idle: ";
  ASSERT_TRUE(program.waitFor(warning, 5s)) << program.log();
  EXPECT_TRUE(road.vrchat.waitForLast("/input/Vertical", atRest)) << program.log();
  const std::string log = program.output();
  const double idle = std::atof(log.c_str() + log.find(warning) + warning.size());
  EXPECT_GE(idle, 2.0);
  EXPECT_LT(idle, 3.0);
  EXPECT_NE(log.find("s). Resetting outputs.\n", log.find(warning)), std::string::npos) << log;
  // The phone moves again: walking resumes at once, no second warning.
  const std::size_t mark = road.vrchat.received().size();
  auto phone = startPhone(road.phonePort, swaying(1.5));
  EXPECT_TRUE(road.vrchat.waitFor(walking, 8s, mark)) << program.log();
  EXPECT_EQ(countOf(program.output(), "Watchdog: "), 1u) << program.log();
  EXPECT_EQ(phone->waitForExit(10s), 0);
  EXPECT_EQ(program.stop(), 0) << program.log();
  EXPECT_EQ(road.saves(), 0u) << "the watchdog changes no setting";
}

}  // namespace
}  // namespace e2e

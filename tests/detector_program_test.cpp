// Jump, toggle and watchdog behaviour through the whole program: the headless
// program (printing its key events instead of sending them) in Keyboard mode, fed by
// phone_sim over loopback. Sounds go to SDL's disk driver, so the test can hear them.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/sound_stretches.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

using testsupport::soundStretches;

class DetectorProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = testsupport::freeUdpPort();
    ASSERT_NE(port_, 0);
    std::filesystem::create_directories(home_.path() / "config/StrivoVR");
  }

  // Starts the program with these settings (JSON members) from the program folder,
  // where it finds its sounds.
  void startProgram(const std::string& members) {
    testsupport::writeFile(settingsPath(),
                           "{\"mode\": \"Keyboard\", \"hmd_source\": \"Disabled\", "
                           "\"owotrack_input_port\": " +
                               std::to_string(port_) + ", " + members + "}");
    program_ = std::make_unique<ChildProcess>(STRIVO_KEYLOG_PROGRAM, std::vector<std::string>{},
                                              std::map<std::string, std::string>{
                                                  {"XDG_CONFIG_HOME", home_.file("config")},
                                                  {"XDG_RUNTIME_DIR", home_.path().string()},
                                                  {"SDL_AUDIODRIVER", "disk"},
                                                  {"SDL_DISKAUDIOFILE", home_.file("sound.raw")},
                                              },
                                              testsupport::distFolder());
    ASSERT_TRUE(program_->waitForOutput("[Main] Logic initialized.", 10s)) << program_->output() << program_->errors();
  }

  // Runs phone_sim to its end with these arguments.
  void phone(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--port", std::to_string(port_), "--quiet"});
    ChildProcess sim(testsupport::distFolder() + "/phone_sim", arguments, {}, home_.path().string());
    ASSERT_EQ(sim.waitForExit(20s), 0) << sim.output() << sim.errors();
  }

  std::string stopProgram() {
    program_->signal(SIGTERM);
    EXPECT_EQ(program_->waitForExit(5s), 0) << program_->errors();
    return program_->output();
  }

  std::string settingsPath() const { return home_.file("config/StrivoVR/usersettings.json"); }

  testsupport::TempFolder home_{"detector_program"};
  int port_ = 0;
  std::unique_ptr<ChildProcess> program_;
};

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(DetectorProgram, ThreeTapsToggleTrackingOffAndOnWithSoundsAndSaves) {
  // Taps on the phone's Y axis; the simulator's 0.1 s spikes of 20 m/s² are the taps.
  startProgram(
      "\"slimevr_tap_toggle\": true, \"slimevr_tap_axis\": 1, \"slimevr_tap_sensitivity\": 15, "
      "\"audio_volume\": 1.0");
  phone({"--seconds", "1.6", "--lean", "0:20", "--jump", "0.3,0.7,1.1"});
  ASSERT_TRUE(program_->waitForOutput("[Settings] Saved to", 5s)) << program_->output();
  std::string out = program_->output();
  const auto toggled = out.find("[INFO ] Engine: Triple-Tap detected! Toggling...");
  ASSERT_NE(toggled, std::string::npos) << out;
  // Leaning forward had pressed W; the toggle let go of it.
  EXPECT_LT(out.find("[KeyInjector] down W"), toggled) << out;
  EXPECT_NE(out.find("[KeyInjector] up W", toggled), std::string::npos) << out;
  EXPECT_NE(out.find("OutputService: Centering all outputs...", toggled), std::string::npos) << out;
  // Saved: the whole record is written, not just the members the test wrote.
  EXPECT_NE(testsupport::readFile(settingsPath()).find("\"deadzone\""), std::string::npos);

  std::this_thread::sleep_for(1s);  // past the lock-out after a toggle
  phone({"--seconds", "1.6", "--lean", "0:25", "--jump", "0.3,0.7,1.1"});
  ASSERT_TRUE(program_->waitForOutput("Toggling...", 2s));
  out = stopProgram();
  EXPECT_EQ(countOf(out, "[INFO ] Engine: Triple-Tap detected! Toggling..."), 2u) << out;
  EXPECT_EQ(countOf(out, "[Settings] Saved to"), 2u) << out;
  // While stopped, the lean pressed nothing; on again, it walks again.
  const auto toggledOn = out.find("Toggling...", toggled + 1);
  const std::string stopped = out.substr(toggled, toggledOn - toggled);
  EXPECT_EQ(stopped.find("[KeyInjector] down"), std::string::npos) << stopped;
  EXPECT_NE(out.find("[KeyInjector] down W", toggledOn), std::string::npos) << out;
  EXPECT_EQ(program_->errors().find("[AudioService]"), std::string::npos) << program_->errors();

  // Two sounds, stop then start, each about a third of a second, well apart.
  const auto stretches = soundStretches(testsupport::readFile(home_.file("sound.raw")));
  ASSERT_EQ(stretches.size(), 2u);
  for (const auto& [start, end] : stretches) {
    EXPECT_GT(end - start, 0.2);
    EXPECT_LT(end - start, 0.5);
  }
  EXPECT_GT(stretches[1].first - stretches[0].second, 1.0);
}

TEST_F(DetectorProgram, PhoneGoingSilentWhileLeaningTimesOutAndReleasesEveryKey) {
  startProgram("\"audio_volume\": 0.5");
  // A lean that moves by more than the change limit on every sample (0.15 degrees at
  // 100 Hz), as a live phone does, so the silence is the only thing the watchdog sees.
  phone({"--seconds", "1", "--lean", "0:15,1:30"});
  ASSERT_TRUE(program_->waitForOutput("Watchdog: Tracker timeout detected", 4s)) << program_->output();
  const std::string out = stopProgram();
  const auto warning = out.find("[WARN ] Watchdog: Tracker timeout detected (idle: ");
  ASSERT_NE(warning, std::string::npos) << out;
  EXPECT_LT(out.find("[KeyInjector] down W"), warning);
  // Fired on the first engine pass after two seconds of silence.
  const double idle =
      std::atof(out.c_str() + warning + std::strlen("[WARN ] Watchdog: Tracker timeout detected (idle: "));
  EXPECT_GT(idle, 2.0);
  EXPECT_LT(idle, 2.1);
  const std::string after = out.substr(warning);
  EXPECT_NE(after.find("s). Resetting outputs.\n"), std::string::npos) << after;
  EXPECT_NE(after.find("[KeyInjector] up W"), std::string::npos) << after;
  EXPECT_NE(after.find("[KeyInjector] up shift"), std::string::npos) << after;
  EXPECT_EQ(after.find("[KeyInjector] down"), std::string::npos) << after;
  EXPECT_EQ(countOf(out, "Watchdog: "), 1u) << out;  // quiet once the output is at rest
}

TEST_F(DetectorProgram, FrozenPoseIsCalledFrozenAndStaysStopped) {
  startProgram("\"audio_volume\": 0.5");
  phone({"--seconds", "3.5", "--lean", "0:20"});
  const std::string out = stopProgram();
  const auto warning = out.find("[WARN ] Watchdog: Tracker frozen detected (idle: 0.0");
  ASSERT_NE(warning, std::string::npos) << out;
  EXPECT_NE(out.find("s, frozen: 2.0", warning), std::string::npos) << out;
  const std::string after = out.substr(warning);
  EXPECT_NE(after.find("[KeyInjector] up W"), std::string::npos) << after;
  // The same pose keeps coming for 1.5 s more: walking stays stopped.
  EXPECT_EQ(after.find("[KeyInjector] down"), std::string::npos) << after;
}

}  // namespace

// The detectors plugged into a real engine, driven through its handlers and its
// thread pass with set clocks.
#include "app/engine/detector_hooks.h"

#include <gtest/gtest.h>

#include "app/engine/fake_output_port.h"

namespace engine {
namespace {

using Calls = std::vector<std::string>;

struct FakeWallClock : engine::WallClock {
  long long ms = 1'765'000'000'000LL;
  double nowSeconds() const override { return ms / 1000.0; }
};

struct RecordingSounds : core::IFeedbackSounds {
  Calls& events;
  explicit RecordingSounds(Calls& events) : events(events) {}
  void playStartSound() override { events.push_back("start sound"); }
  void playStopSound() override { events.push_back("stop sound"); }
};

struct HookedEngine : ::testing::Test {
  core::Settings settings;
  core::Logger logger{nullptr};
  core::ServiceManager services{settings, logger};
  ManualClock clock;
  FakeWallClock wall;
  RecordingOutputPort output;
  Calls events;
  RecordingSounds sounds{events};
  Engine engine{settings, logger, services, clock, output, nullptr, [this] { events.push_back("save"); }, nullptr};
  DetectorHooks hooks{engine, logger, output, sounds, wall};

  HookedEngine() { engine.setHooks(hooks); }

  // Advances both clocks and runs one engine pass.
  void pass(double seconds = 0.02) {
    clock.t += seconds;
    wall.ms += static_cast<long long>(seconds * 1000 + 0.5);
    engine.runPass(clock.t);
  }
  bool logged(const std::string& message) const {
    for (const auto& line : logger.lines())
      if (line.ends_with(message)) return true;
    return false;
  }
};

TEST_F(HookedEngine, TripleTapTogglesOffWithResetStopSoundAndSaveThenOnAgain) {
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  engine.onRotation("Phone", 20, 0, 0);
  ASSERT_NE(output.y, 0.0f);
  for (int tap = 0; tap < 3; ++tap) {
    engine.onAcceleration("Phone", 0, 0, 35);
    pass(0.3);
  }
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_EQ(output.calls.back(), "center");
  EXPECT_EQ(engine.live().stick[1], 0.0f);
  EXPECT_EQ(events, (Calls{"stop sound", "save"}));
  EXPECT_TRUE(logged("[INFO ] Engine: Triple-Tap detected! Toggling..."));

  // While stopped, tracker values are ignored, but taps still count.
  engine.onRotation("Phone", 25, 0, 0);
  EXPECT_EQ(output.calls.back(), "center");
  pass(1.0);  // past the lock-out
  for (int tap = 0; tap < 3; ++tap) {
    engine.onAcceleration("Phone", 0, 0, -35);
    pass(0.3);
  }
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_EQ(events, (Calls{"stop sound", "save", "start sound", "save"}));
}

TEST_F(HookedEngine, HeightJumpIsPressedAndReleasedByThePass) {
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  engine.onPosition("SteamVR (OpenVR)", 0, 1.60f, 0);
  pass();
  engine.onPosition("SteamVR (OpenVR)", 0, 1.80f, 0);
  EXPECT_TRUE(output.jump);
  EXPECT_TRUE(logged("[INFO ] Engine: Jump detected (Height)!"));
  EXPECT_TRUE(hooks.isJumping());
  pass(0.14);
  EXPECT_TRUE(output.jump);
  pass(0.02);
  EXPECT_FALSE(output.jump);
  EXPECT_EQ(output.calls, (Calls{"jump down", "jump up"}));
}

TEST_F(HookedEngine, AccelerationJumpFromThePhone) {
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::PhoneAcceleration; });
  engine.onAcceleration("Phone", 0, 20, 0);
  EXPECT_TRUE(output.jump);
  EXPECT_TRUE(logged("[INFO ] Engine: Jump detected (Accel)!"));
}

TEST_F(HookedEngine, CrouchTriggerPressesAreReleasedByThePass) {
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenXr; });
  engine.onPosition("OpenXR (In-Game)", 0, 1.05f, 0);
  EXPECT_TRUE(output.crouch);
  pass(0.14);
  EXPECT_TRUE(output.crouch);
  pass(0.02);
  EXPECT_FALSE(output.crouch);
  engine.onPosition("OpenXR (In-Game)", 0, 1.45f, 0);
  pass(0.2);
  EXPECT_EQ(output.calls, (Calls{"crouch down", "crouch up", "crouch down", "crouch up"}));
}

TEST_F(HookedEngine, SwitchingCrouchDetectionOffLetsGoOfAHeldCrouch) {
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenVr; });
  settings.config.edit([&](core::Config& c) { c.crouch.squat_is_hold = true; });
  engine.onPosition("SteamVR (OpenVR)", 0, 1.0f, 0);
  pass();
  EXPECT_TRUE(output.crouch);
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::Disabled; });
  pass();
  EXPECT_FALSE(output.crouch);
  EXPECT_FALSE(engine.live().crouching);
  pass();
  EXPECT_EQ(output.calls, (Calls{"crouch down", "crouch up"}));
}

TEST_F(HookedEngine, WatchdogStopsASilentTrackerAndWalkingResumesWhenItMoves) {
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  engine.onRotation("Phone", 20, 0, 0);
  for (int i = 0; i < 99; ++i) pass();  // 1.98 s
  EXPECT_NE(engine.live().stick[1], 0.0f);
  pass();
  pass();  // 2.02 s
  EXPECT_EQ(engine.live().stick[1], 0.0f);
  EXPECT_EQ(output.calls.back(), "center");
  EXPECT_TRUE(engine.activity().stalled);
  const auto lines = logger.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().find("[WARN ] Watchdog: Tracker timeout detected (idle: 2.0"), std::string::npos)
      << lines.back();

  engine.onRotation("Phone", 20, 0, 0);  // back, but the same pose
  EXPECT_EQ(output.y, 0.0f);
  engine.onRotation("Phone", 20.2f, 0, 0);
  EXPECT_LT(output.y, 0.0f);
  EXPECT_FALSE(engine.activity().stalled);
}

TEST_F(HookedEngine, AfterAPauseTheWatchdogCountsFromTheResume) {
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  engine.onRotation("Phone", 20, 0, 0);
  pass();
  settings.tracking_active = false;
  engine.resetOutputs();
  pass(5.0);  // a long pause; the tracker keeps still
  settings.tracking_active = true;
  pass();
  engine.onRotation("Phone", 20, 0, 0);  // the same pose as before the pause
  for (int i = 0; i < 99; ++i) {
    pass();
    engine.onRotation("Phone", 20, 0, 0);
  }
  EXPECT_FALSE(engine.activity().stalled);  // 1.98 s after the resume: not frozen yet
  EXPECT_LT(output.y, 0.0f);
  pass();
  pass();
  EXPECT_TRUE(engine.activity().stalled);
  const std::string line = logger.lines().back();
  EXPECT_NE(line.find("Watchdog: Tracker frozen detected (idle: 0.0"), std::string::npos) << line;
  EXPECT_NE(line.find("s, frozen: 2.0"), std::string::npos) << line;
}

}  // namespace
}  // namespace engine

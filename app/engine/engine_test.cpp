#include "app/engine/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>
#include <thread>
#include <utility>
#include <vector>

namespace engine {
namespace {

struct ManualClock : core::Clock {
  std::atomic<double> time{100.0};
  double now() const override { return time; }
};

// Records what the engine drives. The engine thread and the test thread both call it.
struct RecordingPort : outputs::IOutputPort {
  mutable std::mutex mutex;
  std::vector<Stick> sticks;
  std::vector<bool> jumps, crouches;
  int centers = 0;
  int keepAlives = 0;

  void updateStick(float x, float y) override {
    std::lock_guard lock(mutex);
    sticks.push_back({x, y});
  }
  void setJump(bool pressed) override {
    std::lock_guard lock(mutex);
    jumps.push_back(pressed);
  }
  void setCrouch(bool pressed) override {
    std::lock_guard lock(mutex);
    crouches.push_back(pressed);
  }
  void centerAll() override {
    std::lock_guard lock(mutex);
    ++centers;
  }
  void keepAlive() override {
    std::lock_guard lock(mutex);
    ++keepAlives;
  }
  Stick lastStick() const {
    std::lock_guard lock(mutex);
    return sticks.empty() ? Stick{NAN, NAN} : sticks.back();
  }
  std::size_t stickCount() const {
    std::lock_guard lock(mutex);
    return sticks.size();
  }
  std::vector<bool> jumpCalls() const {
    std::lock_guard lock(mutex);
    return jumps;
  }
};

// Detector stand-ins: report what the test asks for and count what they are given.
struct ScriptedHooks : EngineHooks {
  bool heightJump = false, accelJump = false;
  TapToggle tap = TapToggle::None;
  int heightCalls = 0, accelCalls = 0, crouchCalls = 0, tapChecks = 0, orientationCalls = 0;
  std::vector<double> watchdogTimes;
  std::vector<std::string> afterToggle;  // "sound on/off", with whether the lock was free
  Engine* engine = nullptr;

  TapToggle checkTap(std::string_view, float, float, float) override {
    ++tapChecks;
    return tap;
  }
  void tapToggled(bool nowActive) override {
    const bool lockFree = std::async(std::launch::async, [this] {
                            std::unique_lock lock(engine->lock(), std::try_to_lock);
                            return lock.owns_lock();
                          }).get();
    afterToggle.push_back(std::string(nowActive ? "sound on" : "sound off") + (lockFree ? "" : " LOCKED"));
  }
  void setJumpOrientation(float, float, float) override { ++orientationCalls; }
  bool detectHeightJump(float) override {
    ++heightCalls;
    return heightJump;
  }
  bool detectAccelerationJump(float, float, float) override {
    ++accelCalls;
    return accelJump;
  }
  void updateCrouch(float) override { ++crouchCalls; }
  bool crouchDue = false;  // the next pass finds a timed crouch press at its end
  bool takeDueCrouchRelease(double) override { return std::exchange(crouchDue, false); }
  void watchdog(double now) override { watchdogTimes.push_back(now); }
};

bool hasLine(const core::Logger& logger, const std::string& text) {
  const auto lines = logger.lines();
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.ends_with(text); });
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    hooks.engine = &engine;
    engine.setHooks(hooks);
  }

  Angles mapped() const { return engine.live().mapped_orientation.get(); }
  Angles centred() const { return engine.live().centered_orientation.get(); }

  core::Settings settings;
  core::Logger logger{nullptr};
  core::ServiceManager services{settings, logger};
  ManualClock clock;
  RecordingPort port;
  ScriptedHooks hooks;
  std::vector<std::string> events;
  core::SampleSink installed;
  int saves = 0, padReports = 0;
  std::vector<bool> lockFreeDuringSave;
  Engine engine{settings,
                logger,
                services,
                clock,
                port,
                [this](core::SampleSink c) {
                  events.push_back("install");
                  installed = std::move(c);
                },
                [this] {
                  ++saves;
                  lockFreeDuringSave.push_back(std::async(std::launch::async, [this] {
                                                 std::unique_lock lock(engine.lock(), std::try_to_lock);
                                                 return lock.owns_lock();
                                               }).get());
                },
                [this] { ++padReports; }};
};

struct RecordingService : core::IService {
  std::vector<std::string>& calls;
  explicit RecordingService(std::vector<std::string>& calls) : calls(calls) {}
  void initialize() override { calls.push_back("initialize"); }
  void cleanup() override { calls.push_back("cleanup"); }
};

TEST_F(EngineTest, StartInitialisesInstallsHandlersRunsPassesAndStopJoinsBeforeCleanup) {
  RecordingService service(events);
  services.addService(service);

  engine.start();
  EXPECT_TRUE(engine.running());
  EXPECT_EQ(events, (std::vector<std::string>{"initialize", "install"}));
  EXPECT_TRUE(hasLine(logger, "[INFO ] Engine: Logic initialized."));
  // The installed slots are the engine's handlers.
  ASSERT_TRUE(installed.on_rotation && installed.on_quaternion && installed.on_position && installed.on_acceleration);
  installed.on_rotation("Phone", 30, 0, 0);
  EXPECT_EQ(port.stickCount(), 1u);

  // A jump whose time is up is released by the thread on its own, at the clock's time.
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  hooks.heightJump = true;
  installed.on_position("SteamVR (OpenVR)", 0, 1.7f, 0);
  clock.time = clock.now() + 1.0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while ((engine.passes() < 3 || engine.jumpReleaseTime() != 0.0) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_GE(engine.passes(), 3);
  EXPECT_EQ(port.jumpCalls(), (std::vector<bool>{true, false}));

  const auto stopStarted = std::chrono::steady_clock::now();
  engine.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - stopStarted, std::chrono::seconds(1));
  const long passesAtStop = engine.passes();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(engine.passes(), passesAtStop);
  EXPECT_EQ(events, (std::vector<std::string>{"initialize", "install", "cleanup"}));
  engine.stop();  // a second stop does nothing
  EXPECT_EQ(events.size(), 3u);
}

TEST_F(EngineTest, RotationSampleFlowsToTheOutputWithLiveFields) {
  engine.onRotation("Phone", 2, 1, 0);  // inside the dead zone: output is still called
  ASSERT_EQ(port.stickCount(), 1u);
  EXPECT_EQ(port.lastStick().y, 0.0f);

  engine.onRotation("Phone", 30, 5, 0);
  EXPECT_EQ(port.lastStick().y, -0.19999999f);
  EXPECT_EQ(engine.live().stick[1].load(), -0.19999999f);
  EXPECT_EQ(engine.live().raw_orientation.get(), (Angles{30, 5, 0}));
  EXPECT_EQ(mapped(), (Angles{30, 5, 0}));
  EXPECT_EQ(engine.activity().lastSampleTime.load(), 100.0);
  for (int i = 0; i < 30; ++i) engine.onRotation("Phone", 30, 5, 0);
  EXPECT_NEAR(port.lastStick().y, -1.0f, 0.01f);
}

TEST_F(EngineTest, UnselectedSourcesAndStoppedTrackingChangeNothing) {
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SteamVrTracker; });
  engine.onRotation("Phone", 30, 0, 0);
  engine.onQuaternion("Phone", 0.2f, 0, 0, 0.98f);
  EXPECT_EQ(port.stickCount(), 0u);
  EXPECT_EQ(engine.activity().lastSampleTime.load(), 0.0);
  EXPECT_EQ(mapped(), (Angles{0, 0, 0}));

  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::Phone; });
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenVr; });
  settings.tracking_active = false;
  engine.onRotation("Phone", 30, 0, 0);
  engine.onQuaternion("Phone", 0.2f, 0, 0, 0.98f);
  engine.onPosition("SteamVR (OpenVR)", 0, 1.7f, 0);
  engine.onAcceleration("Phone", 0, 30, 0);
  EXPECT_EQ(port.stickCount(), 0u);
  EXPECT_EQ(engine.live().head_position.get(), (Angles{0, 0, 0}));
  EXPECT_EQ(engine.live().last_acceleration.get(), (Angles{0, 0, 0}));
  EXPECT_EQ(hooks.heightCalls + hooks.crouchCalls + hooks.accelCalls, 0);
  EXPECT_EQ(hooks.tapChecks, 1);  // taps still count while stopped, so they can switch tracking on
}

TEST_F(EngineTest, OscAndSolarXRSourcesAreMatchedByAddressAndName) {
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_id = 3; });
  engine.onQuaternion("/tracking/trackers/2/rotation", 0.2f, 0, 0, 0.98f);
  EXPECT_EQ(port.stickCount(), 0u);
  engine.onQuaternion("/tracking/trackers/3/rotation", 0.2f, 0, 0, 0.98f);
  EXPECT_EQ(port.stickCount(), 1u);

  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeSolarXr; });
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "Waist"; });
  engine.onQuaternion("Chest", 0.2f, 0, 0, 0.98f);
  EXPECT_EQ(port.stickCount(), 1u);
  engine.onQuaternion("Waist", 0.2f, 0, 0, 0.98f);
  EXPECT_EQ(port.stickCount(), 2u);
}

TEST_F(EngineTest, MountingDecidesBetweenKeptAnglesAndTheQuaternionPath) {
  engine.onRotation("Phone", 20, 0, 0);
  EXPECT_EQ(mapped(), (Angles{20, 0, 0}));

  settings.config.edit([&](core::Config& c) { c.locomotion.orientation = core::Mounting::LandscapeLeft; });
  engine.onRotation("Phone", 20, 0, 0);
  EXPECT_NEAR(mapped()[0], 20.0f, 1e-3f);
  EXPECT_NEAR(mapped()[1], 0.0f, 1e-3f);
  EXPECT_NEAR(mapped()[2], -90.00021f, 1e-3f);

  // SolarXR uses its own mounting texts.
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeSolarXr; });
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "Waist"; });
  engine.onRotation("Waist", 20, 0, 0);
  EXPECT_EQ(mapped(), (Angles{20, 0, 0}));
  settings.config.edit([&](core::Config& c) { c.locomotion.slime_facing = core::Facing::Inward; });
  engine.onRotation("Waist", 20, 0, 0);
  EXPECT_NEAR(mapped()[1], 160.0f, 1e-3f);
}

TEST_F(EngineTest, QuaternionHandlerCorrectsOnlyTheLocomotionTracker) {
  const float s = std::sin(10 * 0.017453292f), c = std::cos(10 * 0.017453292f);  // 20 degrees about X
  engine.onQuaternion("Phone", s, 0, 0, c);
  EXPECT_NEAR(engine.live().raw_orientation.get()[0], 20.0f, 1e-3f);
  EXPECT_NEAR(mapped()[0], 0.0f, 1e-3f);
  EXPECT_NEAR(mapped()[1], 20.0f, 1e-3f);  // the swing order puts the X rotation second

  // The same value as the jump tracker only: no correction, no locomotion output.
  settings.config.edit([&](core::Config& c) { c.locomotion.orientation = core::Mounting::LandscapeLeft; });
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  engine.onQuaternion("SteamVR (OpenVR)", s, 0, 0, c);
  EXPECT_NEAR(engine.live().jump_tracker_orientation[1], 20.0f, 1e-3f);
  EXPECT_NEAR(engine.live().jump_tracker_orientation[2], 0.0f, 1e-3f);
  EXPECT_EQ(hooks.orientationCalls, 1);
  EXPECT_EQ(port.stickCount(), 1u);
}

TEST_F(EngineTest, CentringSubtractsTheOffsetAndWrapsWhenAsked) {
  settings.config.edit([&](core::Config& c) { c.locomotion.center_offset = {-10, 0, 0}; });
  engine.onRotation("Phone", 180, 0, 0);
  EXPECT_EQ(centred()[0], 190.0f);

  settings.config.edit([&](core::Config& c) { c.locomotion.fix_angle_discontinuity = true; });
  engine.onRotation("Phone", 180, 0, 0);
  EXPECT_EQ(centred()[0], -170.0f);
  settings.config.edit([&](core::Config& c) { c.locomotion.center_offset = {0, 0, 0}; });
  engine.onRotation("Phone", -200, -180, 725);  // the half turn itself stays
  EXPECT_EQ(centred(), (Angles{160, -180, 5}));
  engine.onRotation("Phone", 180, -180.5f, 180.5f);  // just past it wraps, either way
  EXPECT_EQ(centred(), (Angles{180, 179.5f, -179.5f}));
  // A huge angle is wrapped in one step instead of looping for ever.
  engine.onRotation("Phone", 3.0e30f, 0, 0);
  EXPECT_LE(std::fabs(centred()[0]), 180.0f);

  // A non-locomotion source name keeps the mapped orientation uncentred.
  settings.config.edit([&](core::Config& c) { c.locomotion.fix_angle_discontinuity = false; });
  settings.config.edit([&](core::Config& c) { c.locomotion.center_offset = {5, 5, 5}; });
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::OpenVr; });
  engine.onRotation("SteamVR (OpenVR)", 1, 2, 3);
  EXPECT_EQ(centred(), (Angles{1, 2, 3}));
}

TEST_F(EngineTest, StalledSendsZeroUntilTheTrackerMoves) {
  engine.onRotation("Phone", 30, 0, 0);
  EXPECT_EQ(engine.activity().lastChangeTime.load(), 100.0);
  engine.activity().stalled = true;  // as the watchdog leaves it

  clock.time = 101.0;
  engine.onRotation("Phone", 30.098f, 0, 0);  // within 0.1 degrees: no change
  EXPECT_EQ(port.lastStick().x, 0.0f);
  EXPECT_EQ(port.lastStick().y, 0.0f);
  EXPECT_EQ(centred(), (Angles{0, 0, 0}));
  EXPECT_EQ(engine.activity().lastChangeTime.load(), 100.0);
  EXPECT_EQ(engine.activity().lastSampleTime.load(), 101.0);
  EXPECT_TRUE(engine.activity().stalled);

  clock.time = 102.0;
  engine.onRotation("Phone", 30, -0.102f, 0);  // just over 0.1, in another angle and direction
  EXPECT_FALSE(engine.activity().stalled);
  EXPECT_EQ(engine.activity().lastChangeTime.load(), 102.0);
  EXPECT_LT(port.lastStick().y, 0.0f);

  // Quaternion samples compare with 0.001 per component.
  engine.activity().stalled = true;
  engine.onQuaternion("Phone", 0.2f, 0, 0, 0.98f);
  EXPECT_FALSE(engine.activity().stalled);  // differs from the stored (30, -0.102, 0, 0)
  engine.activity().stalled = true;
  engine.onQuaternion("Phone", 0.20098f, 0, 0, 0.98f);
  EXPECT_TRUE(engine.activity().stalled);
  engine.onQuaternion("Phone", 0.2f, 0, 0, 0.97898f);
  EXPECT_FALSE(engine.activity().stalled);
}

TEST_F(EngineTest, NonFiniteSamplesAreDropped) {
  engine.onRotation("Phone", 30, 0, 0);
  const float before = port.lastStick().y;
  engine.onRotation("Phone", NAN, 0, 0);
  engine.onQuaternion("Phone", 0, INFINITY, 0, 1);
  EXPECT_EQ(port.stickCount(), 1u);
  engine.onRotation("Phone", 30, 0, 0);
  EXPECT_LT(port.lastStick().y, before);  // the filter kept going from a finite state
}

TEST_F(EngineTest, ResetOutputsZeroesAndCentresEvenWhileTheLockIsHeld) {
  for (int i = 0; i < 5; ++i) engine.onRotation("Phone", 30, 0, -20);
  engine.activity().stalled = true;
  {
    std::lock_guard held(engine.lock());  // as the triple-tap toggle calls it
    engine.resetOutputs();
  }
  EXPECT_EQ(engine.live().stick[0].load(), 0.0f);
  EXPECT_EQ(engine.live().stick[1].load(), 0.0f);
  EXPECT_EQ(mapped(), (Angles{0, 0, 0}));
  EXPECT_EQ(centred(), (Angles{0, 0, 0}));
  EXPECT_FALSE(engine.activity().stalled);
  EXPECT_EQ(port.centers, 1);
}

TEST_F(EngineTest, SetCenterStoresTheMappedOrientationAndSavesAfterUnlocking) {
  engine.onRotation("Phone", 12, 3, -4);
  engine.setCenter();
  EXPECT_EQ(settings.config.snapshot()->locomotion.center_offset, (Angles{12, 3, -4}));
  EXPECT_EQ(saves, 1);
  engine.onRotation("Phone", 12, 3, -4);
  EXPECT_EQ(centred(), (Angles{0, 0, 0}));

  engine.clearCenter();
  EXPECT_EQ(settings.config.snapshot()->locomotion.center_offset, (Angles{0, 0, 0}));
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(lockFreeDuringSave, (std::vector<bool>{true, true}));
}

TEST_F(EngineTest, HeightJumpPressesAndThePassReleasesAtTheEngineTime) {
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  hooks.heightJump = true;
  engine.onPosition("SteamVR (OpenVR)", 0, 1.7f, 0);
  EXPECT_EQ(engine.live().head_position[1], 1.7f);
  EXPECT_EQ(port.jumpCalls(), std::vector<bool>{true});
  EXPECT_TRUE(hasLine(logger, "[INFO ] Engine: Jump detected (Height)!"));
  const double release = engine.jumpReleaseTime();
  EXPECT_DOUBLE_EQ(release, 100.0 + 0.15f);

  engine.runPass(release - 0.001);
  EXPECT_EQ(port.jumpCalls(), std::vector<bool>{true});
  engine.runPass(release);
  EXPECT_EQ(port.jumpCalls(), (std::vector<bool>{true, false}));
  EXPECT_EQ(engine.jumpReleaseTime(), 0.0);
  engine.runPass(release + 1);
  EXPECT_EQ(port.jumpCalls().size(), 2u);

  // Crouch is let go on the pass that finds the detector's press at its end; the
  // watchdog runs on every pass at the pass's time.
  engine.runPass(199.0);
  EXPECT_TRUE(port.crouches.empty());
  hooks.crouchDue = true;
  engine.runPass(200.0);
  EXPECT_EQ(port.crouches, std::vector<bool>{false});
  EXPECT_EQ(hooks.watchdogTimes.back(), 200.0);
  EXPECT_EQ(hooks.watchdogTimes.size(), 5u);
  EXPECT_EQ(port.keepAlives, 5);  // every pass keeps held outputs live
}

TEST_F(EngineTest, PositionFeedsDetectorsOnlyFromTheirSources) {
  engine.onPosition("Phone (Acceleration)", 0, 1.7f, 0);  // the default hmd_source is not a height source
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenXr; });
  engine.onPosition("SteamVR (OpenVR)", 0, 1.7f, 0);
  EXPECT_EQ(hooks.heightCalls, 0);
  engine.onPosition("OpenXR (In-Game)", 0, 1.7f, 0);
  EXPECT_EQ(hooks.heightCalls, 1);
  EXPECT_TRUE(port.jumpCalls().empty());

  EXPECT_EQ(hooks.crouchCalls, 0);  // squat_source "Disabled"
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenVr; });
  engine.onPosition("OpenXR (In-Game)", 0, 1.0f, 0);
  engine.onPosition("SteamVR (OpenVR)", 0, 1.0f, 0);
  EXPECT_EQ(hooks.crouchCalls, 1);
}

TEST_F(EngineTest, AccelerationPassesTheSourceAndNameGates) {
  engine.onAcceleration("Phone", 1, 2, 3);  // defaults: "Phone (Acceleration)"
  EXPECT_EQ(engine.live().last_acceleration.get(), (Angles{1, 2, 3}));
  engine.onAcceleration("Chest", 1, 2, 3);
  EXPECT_EQ(hooks.accelCalls, 1);

  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::SlimeSolarXr; });
  engine.onAcceleration("Chest", 1, 2, 3);  // "None" accepts every SolarXR tracker
  settings.config.edit([&](core::Config& c) { c.tracking.slime_jump_tracker_name = ""; });
  engine.onAcceleration("Hip", 1, 2, 3);
  settings.config.edit([&](core::Config& c) { c.tracking.slime_jump_tracker_name = "Head"; });
  engine.onAcceleration("Chest", 1, 2, 3);
  engine.onAcceleration("Head", 1, 2, 3);
  EXPECT_EQ(hooks.accelCalls, 4);

  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  engine.onAcceleration("Phone", 1, 2, 3);
  EXPECT_EQ(hooks.accelCalls, 4);
  settings.config.edit([&](core::Config& c) {
    c.tracking.tracker_source = core::Source::SlimeSolarXr;
  });  // either source on SolarXR opens the gate
  engine.onAcceleration("Head", 1, 2, 3);
  EXPECT_EQ(hooks.accelCalls, 5);

  hooks.accelJump = true;
  engine.onAcceleration("Phone", 0, 25, 0);
  EXPECT_EQ(port.jumpCalls(), std::vector<bool>{true});
  EXPECT_TRUE(hasLine(logger, "[INFO ] Engine: Jump detected (Accel)!"));
  EXPECT_GT(engine.jumpReleaseTime(), 0.0);
}

TEST_F(EngineTest, TapToggleSoundAndSaveFollowTheUnlockedHandler) {
  hooks.tap = TapToggle::TurnedOff;
  engine.onAcceleration("Phone", 0, 0, 30);
  EXPECT_EQ(hooks.afterToggle, std::vector<std::string>{"sound off"});
  EXPECT_EQ(saves, 1);
  hooks.tap = TapToggle::None;
  engine.onAcceleration("Phone", 0, 0, 30);
  EXPECT_EQ(saves, 1);
}

TEST_F(EngineTest, PadReportIsSubmittedOnlyInPadMode) {
  engine.runPass(1.0);
  EXPECT_EQ(padReports, 0);
  settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Pad; });
  engine.runPass(1.02);
  engine.runPass(1.04);
  EXPECT_EQ(padReports, 2);
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// TEST OUTPUT: forward for one second through the output, tracker samples do not
// move the output meanwhile, then exactly one release; STOP during a push is the release.
TEST_F(EngineTest, TestPushHoldsForwardOneSecondThenReleasesOnce) {
  auto releases = [&] {
    std::lock_guard lock(port.mutex);
    return std::count_if(port.sticks.begin(), port.sticks.end(), [](Stick s) { return s.x == 0 && s.y == 0; });
  };
  engine.startTestPush(1.0);
  EXPECT_TRUE(engine.testPushActive());
  EXPECT_EQ(port.lastStick().y, -1.0f);
  engine.onRotation("Phone", 0, 0, 0);  // a level tracker would centre the stick
  EXPECT_EQ(port.lastStick().y, -1.0f);
  for (double t : {100.5, 100.99}) engine.runPass(clock.time = t);
  EXPECT_EQ(port.lastStick().y, -1.0f);
  EXPECT_EQ(releases(), 0);
  for (double t : {101.0, 101.02, 101.04}) engine.runPass(clock.time = t);
  EXPECT_FALSE(engine.testPushActive());
  EXPECT_EQ(releases(), 1);
  EXPECT_EQ(port.lastStick().y, 0.0f);

  engine.startTestPush(1.0);
  engine.resetOutputs();
  engine.runPass(clock.time = 103.0);
  EXPECT_EQ(port.centers, 1);
  EXPECT_EQ(releases(), 1);  // the centring released it; no second release follows
}

// The plots' history: lean in degrees on both stick axes and the output stick per
// locomotion sample; jump input with a marker where one fired; head height with
// the crouch state.
TEST_F(EngineTest, SamplesFillTheLiveHistory) {
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenVr; });
  engine.onRotation("Phone", 12, 0, -5);  // default map: first angle forward, third to the side
  hooks.heightJump = true;
  engine.live().jump_rise = 0.2f;
  engine.onPosition("SteamVR (OpenVR)", 0, 1.5f, 0);
  engine.live().crouching = true;
  engine.onPosition("SteamVR (OpenVR)", 0, 1.0f, 0);

  core::LeanSample lean[4];
  ASSERT_EQ(engine.history().lean.copyLatest(lean, 4), 1u);
  EXPECT_EQ(lean[0].leanForward, 12.0f);
  EXPECT_EQ(lean[0].leanSide, 5.0f);
  EXPECT_EQ(lean[0].stickY, port.lastStick().y);
  core::JumpSample jump[4];
  ASSERT_EQ(engine.history().jump.copyLatest(jump, 4), 2u);
  EXPECT_FLOAT_EQ(jump[0].signal, 20.0f);
  EXPECT_EQ(jump[0].flags, core::JumpSample::Fired);
  core::CrouchSample crouch[4];
  ASSERT_EQ(engine.history().crouch.copyLatest(crouch, 4), 2u);
  EXPECT_FLOAT_EQ(crouch[1].heightCm, 100.0f);
  EXPECT_TRUE(crouch[1].crouching);
}

}  // namespace
}  // namespace engine

namespace engine {
namespace {

// A reader copying while the writer laps the ring gets only whole, consecutive samples.
TEST(SampleRing, ReaderNeverSeesATornOrOverwrittenSample) {
  struct Pair {
    double a;
    std::uint64_t b;
  };
  auto ring = std::make_unique<core::SampleRing<Pair, 64>>();
  constexpr std::uint64_t kPushes = 200000;
  std::thread writer([&] {
    for (std::uint64_t i = 1; i <= kPushes; ++i) ring->push({static_cast<double>(i), i * 3});
  });
  std::vector<Pair> out(100);
  std::size_t copies = 0, bad = 0;
  while (ring->written() < kPushes) {
    const std::size_t n = ring->copyLatest(out.data(), out.size());
    ASSERT_LE(n, 64u);
    for (std::size_t k = 0; k < n; ++k) {
      if (out[k].b != static_cast<std::uint64_t>(out[k].a) * 3) ++bad;
      if (k > 0 && out[k].b != out[k - 1].b + 3) ++bad;
    }
    ++copies;
  }
  writer.join();
  EXPECT_EQ(bad, 0u) << "in " << copies << " copies";
  ASSERT_EQ(ring->copyLatest(out.data(), 10), 10u);
  EXPECT_EQ(out[9].b, kPushes * 3);
}

}  // namespace
}  // namespace engine

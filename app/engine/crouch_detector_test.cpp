#include "app/engine/crouch_detector.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/engine/fake_output_port.h"

namespace engine {
namespace {

using Calls = std::vector<std::string>;

struct CrouchFixture : ::testing::Test {
  core::Settings settings;
  LiveView live;
  core::Logger logger{nullptr};
  RecordingOutputPort output;
  ManualClock clock;
  CrouchDetector detector{settings, live, logger, output, clock};

  // Feeds one height, then lets `passMs` of engine time go by.
  void feed(float y, int passMs = 0) {
    detector.update(y);
    clock.t += passMs / 1000.0;
  }
  std::vector<std::string> infoLines() const {
    std::vector<std::string> out;
    for (const auto& line : logger.lines()) out.push_back(line.substr(line.find("] ") + 2));
    return out;
  }
};

TEST_F(CrouchFixture, TriggerModeGivesOneShortPressOnEachCrossing) {
  feed(1.50f, 200);
  EXPECT_TRUE(output.calls.empty());
  EXPECT_FLOAT_EQ(live.head_height, 150.0f);

  feed(1.05f);
  EXPECT_EQ(output.calls, Calls{"crouch down"});
  EXPECT_TRUE(live.crouching);
  EXPECT_DOUBLE_EQ(detector.releaseTime(), 100.2 + 0.15);  // the engine thread lets go then
  // Due at that time, not a moment before, and once.
  EXPECT_FALSE(detector.takeDueRelease(100.2 + 0.149));
  EXPECT_TRUE(detector.takeDueRelease(100.2 + 0.15));
  EXPECT_FALSE(detector.takeDueRelease(100.2 + 0.15));
  feed(1.20f, 200);  // between the thresholds: no change
  EXPECT_EQ(output.calls, Calls{"crouch down"});
  EXPECT_TRUE(live.crouching);
  EXPECT_EQ(detector.releaseTime(), 0.0);

  feed(1.45f);
  EXPECT_EQ(output.calls, (Calls{"crouch down", "crouch down"}));
  EXPECT_DOUBLE_EQ(detector.releaseTime(), 100.4 + 0.15);
  EXPECT_FALSE(live.crouching);
  EXPECT_EQ(infoLines(), (std::vector<std::string>{"Engine: Crouching detected!", "Engine: Standing up detected!"}));
}

TEST_F(CrouchFixture, HoldModeHoldsWhileCrouchedAndTheThresholdsAreStrict) {
  settings.config.edit([&](core::Config& c) { c.crouch.squat_is_hold = true; });
  feed(1.10f);  // exactly the lower threshold: not below
  EXPECT_FALSE(live.crouching);
  feed(1.0999f, 1000);
  EXPECT_TRUE(live.crouching);
  EXPECT_TRUE(output.crouch);
  EXPECT_EQ(detector.releaseTime(), 0.0);
  feed(1.40f);  // exactly the upper threshold: not above
  EXPECT_TRUE(live.crouching);
  feed(1.4001f);
  EXPECT_FALSE(live.crouching);
  EXPECT_EQ(output.calls, (Calls{"crouch down", "crouch up"}));
}

TEST_F(CrouchFixture, SwappedThresholdsFlipOnEveryCrossingSample) {
  settings.config.edit([&](core::Config& c) { c.crouch.squat_is_hold = true; });
  settings.config.edit([&](core::Config& c) { c.crouch.squat_lower_threshold = 150; });
  settings.config.edit([&](core::Config& c) { c.crouch.squat_upper_threshold = 120; });
  feed(1.30f);
  EXPECT_TRUE(live.crouching);
  feed(1.30f);
  EXPECT_FALSE(live.crouching);
  feed(1.30f);
  EXPECT_TRUE(live.crouching);
}

TEST_F(CrouchFixture, DisablingReleasesAHeldCrouch) {
  settings.config.edit([&](core::Config& c) { c.crouch.squat_is_hold = true; });
  feed(1.0f);
  ASSERT_TRUE(output.crouch);
  detector.disable();
  EXPECT_FALSE(output.crouch);
  EXPECT_FALSE(live.crouching);
  EXPECT_FALSE(detector.crouching());
  detector.disable();  // nothing more to release
  EXPECT_EQ(output.calls, (Calls{"crouch down", "crouch up"}));
  feed(1.5f);  // standing up afterwards changes nothing
  EXPECT_EQ(output.calls.size(), 2u);
}

TEST_F(CrouchFixture, DisablingInTriggerModeLeavesThePendingReleaseToTheTimer) {
  feed(1.0f);
  detector.disable();
  EXPECT_EQ(output.calls, Calls{"crouch down"});
  EXPECT_FALSE(live.crouching);
  EXPECT_DOUBLE_EQ(detector.releaseTime(), 100.15);  // still pending
}

TEST_F(CrouchFixture, NonFiniteHeightChangesNothing) {
  feed(1.5f);
  feed(std::numeric_limits<float>::quiet_NaN());
  EXPECT_FLOAT_EQ(live.head_height, 150.0f);
  EXPECT_TRUE(output.calls.empty());
}

}  // namespace
}  // namespace engine

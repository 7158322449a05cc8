#include "app/engine/jump_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace engine {
namespace {

// Wall-clock milliseconds around a realistic epoch value, so the tests see the
// same rounding as the program does.
struct FakeWallClock : WallClock {
  long long ms = 1'765'000'000'000LL;
  double nowSeconds() const override { return static_cast<double>(ms) / 1000.0; }
  void advance(long long by) { ms += by; }
};

struct HeightFixture : ::testing::Test {
  core::Settings settings;
  LiveView live;
  FakeWallClock clock;
  HeightJumpDetector detector{settings, live, clock};

  bool at(long long advanceMs, float height) {
    clock.advance(advanceMs);
    return detector.processHeight(height);
  }
};

TEST_F(HeightFixture, QuickRiseWithDefaultsReportsOnceAndBlocksForTheDuration) {
  EXPECT_FALSE(at(0, 1.60f));
  EXPECT_FALSE(at(40, 1.62f));
  EXPECT_FALSE(at(40, 1.747f));  // rise 0.147: just under the 15 cm threshold
  EXPECT_NEAR(live.jump_rise, 0.147f, 1e-5);
  EXPECT_TRUE(at(40, 1.753f));  // rise 0.153: just over
  EXPECT_TRUE(detector.isJumping());
  EXPECT_TRUE(live.jumping);

  // Land and jump again at once: still within 0.15 s of the last jump.
  EXPECT_FALSE(at(40, 1.55f));
  EXPECT_FALSE(at(40, 1.75f));  // 80 ms after the jump, rise 0.20
  EXPECT_TRUE(detector.isJumping());
  EXPECT_FALSE(at(70, 1.60f));  // 150 ms: not more than the duration yet
  EXPECT_TRUE(detector.isJumping());
  EXPECT_FALSE(at(1, 1.60f));  // 151 ms: back to idle
  EXPECT_FALSE(detector.isJumping());
  EXPECT_TRUE(at(40, 1.80f));  // a new jump: 0.20 above the 1.60 samples
}

TEST_F(HeightFixture, LowPointLeavesTheWindowAtItsEdge) {
  // A low point exactly 150 ms old still counts; 151 ms old it has left the window.
  EXPECT_FALSE(at(0, 1.40f));
  EXPECT_FALSE(at(75, 1.50f));
  EXPECT_TRUE(at(75, 1.60f));  // 150 ms after the low point: rise 0.20

  HeightJumpDetector second(settings, live, clock);
  clock.advance(1000);
  EXPECT_FALSE(second.processHeight(1.40f));
  clock.advance(75);
  EXPECT_FALSE(second.processHeight(1.50f));
  clock.advance(76);
  EXPECT_FALSE(second.processHeight(1.60f));  // low point 151 ms old: rise 0.10 from 1.50
  EXPECT_NEAR(live.jump_rise, 0.10f, 1e-5);
}

TEST_F(HeightFixture, MinimumQueueFollowsTheLowestHeightStillInTheWindow) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_window = 100; });
  EXPECT_FALSE(at(0, 1.30f));
  EXPECT_FALSE(at(50, 1.40f));
  EXPECT_FALSE(at(40, 1.35f));
  // 1.30 has left (110 ms); the lowest in the window is now 1.35, not the oldest 1.40.
  EXPECT_FALSE(at(20, 1.47f));
  EXPECT_NEAR(live.jump_rise, 0.12f, 1e-5);
  EXPECT_TRUE(at(20, 1.51f));  // 1.51 - 1.35
}

TEST_F(HeightFixture, ZeroWindowKeepsOnlyTheNewestSampleAndNeverReports) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_window = 0; });
  EXPECT_FALSE(at(0, 1.0f));
  EXPECT_FALSE(at(1, 2.0f));
  EXPECT_FALSE(at(1, 3.0f));
  EXPECT_FALSE(detector.isJumping());
}

TEST_F(HeightFixture, TiltCompensationDiscountsTheRise) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_pitch_comp = 50; });  // 0.5 * (18 / 90) * 5 = 0.5 m
  detector.setOrientation(0, 40, 0);
  EXPECT_FALSE(at(0, 1.00f));
  detector.setOrientation(18, -40, 7);
  EXPECT_FALSE(at(50, 1.45f));
  EXPECT_NEAR(live.compensation_angle_range, 18.0f, 1e-4);
  EXPECT_NEAR(live.compensation, 50.0f, 1e-3);
  EXPECT_EQ(live.jump_rise, 0.0f);  // never below zero
  EXPECT_TRUE(at(50, 1.70f));       // 0.70 - 0.50 = 0.20

  // The axis chooses the angle: "Pitch" sees a range of 80 degrees here.
  settings.config.edit([&](core::Config& c) { c.jump.jump_comp_axis = core::RotationAxis::Pitch; });
  EXPECT_FALSE(at(50, 1.70f));
  EXPECT_NEAR(live.compensation_angle_range, 80.0f, 1e-4);
  settings.config.edit([&](core::Config& c) {
    c.jump.jump_comp_axis = core::RotationAxis::Yaw;
  });  // the third angle; the first sample has left the window
  detector.setOrientation(18, -40, -3);
  EXPECT_FALSE(at(1, 1.70f));
  EXPECT_NEAR(live.compensation_angle_range, 10.0f, 1e-4);
}

TEST_F(HeightFixture, NegativeCompensationStrengthAppliesNone) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_pitch_comp = -50; });
  detector.setOrientation(0, 0, 0);
  EXPECT_FALSE(at(0, 1.0f));
  detector.setOrientation(90, 0, 0);
  EXPECT_TRUE(at(50, 1.2f));
  EXPECT_EQ(live.compensation_angle_range, 0.0f);
  EXPECT_FLOAT_EQ(live.jump_rise, 1.2f - 1.0f);
}

TEST_F(HeightFixture, NonFiniteHeightsAreIgnored) {
  EXPECT_FALSE(at(0, 1.60f));
  EXPECT_FALSE(at(10, std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(at(10, -std::numeric_limits<float>::infinity()));
  EXPECT_TRUE(at(10, 1.80f));
}

struct AccelFixture : ::testing::Test {
  core::Settings settings;
  LiveView live;
  FakeWallClock clock;
  AccelJumpDetector detector{settings, live, clock};

  bool at(long long advanceMs, float x, float y, float z) {
    clock.advance(advanceMs);
    return detector.processAcceleration(x, y, z);
  }
};

TEST_F(AccelFixture, AverageOverTheSmoothingWindowMustExceedTheThreshold) {
  EXPECT_FALSE(at(0, 0, 10, 0));
  EXPECT_FALSE(at(25, 0, 19.4f, 0));  // average 14.7: just under the threshold of 15
  EXPECT_NEAR(live.averaged_acceleration[1], 14.7f, 1e-5);
  EXPECT_TRUE(at(25, 0, 16.5f, 0));  // 50 ms: all three still in, average 15.3: just over
  EXPECT_TRUE(live.jumping);
  EXPECT_FALSE(at(150, 0, 30, 0));  // 150 ms after: not more than the duration
  EXPECT_FALSE(at(1, 0, 30, 0));    // idle again
  EXPECT_TRUE(at(1, 0, 30, 0));
}

TEST_F(AccelFixture, ASample50MsOldStaysInTheAverageAnd51MsOldLeaves) {
  EXPECT_FALSE(at(0, 0, 2, 0));
  EXPECT_FALSE(at(50, 0, 20, 0));  // average 11
  EXPECT_NEAR(live.averaged_acceleration[1], 11.0f, 1e-5);
  EXPECT_TRUE(at(1, 0, 16, 0));  // the 2 has left: (20 + 16) / 2
  EXPECT_NEAR(live.averaged_acceleration[1], 18.0f, 1e-5);
}

TEST_F(AccelFixture, SmoothingBelowTenMillisecondsUsesTen) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_smoothing = 0; });
  EXPECT_FALSE(at(0, 0, 0, 0));
  EXPECT_FALSE(at(10, 0, 20, 0));  // the 0 sample is 10 ms old and still counts
  EXPECT_NEAR(live.averaged_acceleration[1], 10.0f, 1e-5);
  EXPECT_FALSE(at(11, 0, 14, 0));  // the 20 is 11 ms old and gone: 14, not 17
  EXPECT_NEAR(live.averaged_acceleration[1], 14.0f, 1e-5);
}

TEST_F(AccelFixture, OnlyAPushBeyondTheSuppressThresholdAndAtMostHalfASecondOldSuppresses) {
  settings.config.edit([&](core::Config& c) {
    c.jump.jump_accel_smoothing = 1000;
  });  // the push stays in the average; only its age decides
  struct Case {
    float push;
    long long laterMs;
    bool suppressed;
  } cases[] = {{-4.9f, 0, false}, {-5.1f, 0, true}, {-6.0f, 500, true}, {-6.0f, 501, false}};
  for (const Case& c : cases) {
    AccelJumpDetector fresh(settings, live, clock);
    clock.advance(10000);
    fresh.processAcceleration(0, c.push, 0);
    clock.advance(c.laterMs);
    fresh.processAcceleration(0, 0, 0);
    EXPECT_EQ(live.jump_suppressed.load(), c.suppressed) << c.push << " after " << c.laterMs << " ms";
  }
}

TEST_F(AccelFixture, DownwardPushSuppressesJumpsForHalfASecond) {
  // Defaults: axis Y, threshold 15, smoothing 50 ms, suppression 5.
  EXPECT_FALSE(at(0, 0, -6, 0));
  EXPECT_TRUE(live.jump_suppressed);
  // The -6 sample stays in the 50 ms window until 50 ms, renewing the
  // suppression on each sample: the last renewal (at 40 ms) lasts until 540 ms.
  for (int elapsed = 20; elapsed <= 520; elapsed += 20) {
    EXPECT_FALSE(at(20, 0, 20, 0)) << "at " << elapsed << " ms";
    EXPECT_TRUE(live.jump_suppressed);
  }
  EXPECT_FALSE(at(19, 0, 20, 0));  // 539 ms
  EXPECT_TRUE(live.jump_suppressed);
  EXPECT_TRUE(at(2, 0, 20, 0));  // 541 ms
  EXPECT_FALSE(live.jump_suppressed);
}

TEST_F(AccelFixture, SignedAxes) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_suppress_threshold = 0; });
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_axis = core::AccelAxis::NegZ; });
  EXPECT_TRUE(at(0, 0, 0, -16));
  AccelJumpDetector lower(settings, live, clock);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE((clock.advance(300), lower.processAcceleration(100, 100, 100)));
}

TEST_F(AccelFixture, NonFiniteSamplesDoNotPoisonTheAverage) {
  EXPECT_FALSE(at(0, 0, std::numeric_limits<float>::quiet_NaN(), 0));
  EXPECT_FALSE(at(0, 0, std::numeric_limits<float>::infinity(), 0));
  EXPECT_TRUE(at(100, 0, 16, 0));
  EXPECT_NEAR(live.averaged_acceleration[1], 16.0f, 1e-5);
}

TEST_F(AccelFixture, LongSessionKeepsAnExactAverage) {
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_suppress_threshold = 0; });
  for (int i = 0; i < 200000; ++i) at(5, 0.1f * (i % 97), 3.3f * (i % 7), -1.7f);
  // Window of 50 ms at 5 ms spacing: the last 11 samples.
  double expected = 0;
  for (int i = 200000 - 11; i < 200000; ++i) expected += 3.3f * (i % 7);
  EXPECT_NEAR(live.averaged_acceleration[1], expected / 11, 1e-4);
  EXPECT_NEAR(live.averaged_acceleration[2], -1.7f, 1e-5);
}

TEST(JumpDetectorManager, RoutesByJumpSource) {
  core::Settings settings;
  LiveView live;
  FakeWallClock clock;
  JumpDetectorManager manager(settings, live, clock);
  settings.config.edit([&](core::Config& c) { c.jump.jump_accel_suppress_threshold = 0; });

  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::PhoneAcceleration; });
  EXPECT_FALSE(manager.height(1.0f));
  clock.advance(20);
  EXPECT_FALSE(manager.height(2.0f));  // not fed to the height detector
  EXPECT_TRUE(manager.acceleration(0, 20, 0));
  EXPECT_TRUE(manager.isJumping());

  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  EXPECT_FALSE(manager.isJumping());  // the height detector's flag
  EXPECT_FALSE(manager.acceleration(0, 50, 0));
  EXPECT_FALSE(manager.height(1.0f));
  clock.advance(20);
  EXPECT_TRUE(manager.height(1.3f));
  EXPECT_TRUE(manager.isJumping());

  for (const core::Source source : {core::Source::Disabled, core::Source::Phone, core::Source::None}) {
    settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = source; });
    clock.advance(1000);
    EXPECT_FALSE(manager.height(5.0f)) << core::choiceText(source);
    EXPECT_FALSE(manager.acceleration(0, 100, 0)) << core::choiceText(source);
    EXPECT_FALSE(manager.isJumping()) << core::choiceText(source);
  }
}

TEST(JumpDetectorManager, OrientationReachesTheHeightDetector) {
  core::Settings settings;
  LiveView live;
  FakeWallClock clock;
  JumpDetectorManager manager(settings, live, clock);
  settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenXr; });
  settings.config.edit([&](core::Config& c) { c.jump.jump_pitch_comp = 100; });
  manager.setOrientation(0, 0, 0);
  manager.height(1.0f);
  manager.setOrientation(9, 0, 0);
  clock.advance(10);
  EXPECT_FALSE(manager.height(1.4f));  // comp 1.0 * 0.1 * 5 = 0.5 m
  EXPECT_NEAR(live.compensation, 50.0f, 1e-3);
}

}  // namespace
}  // namespace engine

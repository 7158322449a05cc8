#include "app/engine/triple_tap.h"

#include <gtest/gtest.h>

#include <limits>

#include "app/engine/fake_output_port.h"

namespace engine {
namespace {

struct TapFixture : ::testing::Test {
  core::Settings settings;
  LiveView live;
  core::Logger logger{nullptr};
  ManualClock clock;
  std::recursive_mutex lock;
  int resets = 0;
  TripleTapCheck taps{settings, live, logger, clock, lock, [this] {
                        std::lock_guard relock(lock);  // the reset takes the lock again
                        ++resets;
                      }};

  TapFixture() {
    settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
    clock.t = 1000.0;
  }
  std::optional<bool> tapAt(double t, float z = 30.0f, std::string_view source = "Phone") {
    clock.t = t;
    return taps.check(source, 0, 0, z);
  }
};

TEST_F(TapFixture, ThreeTapsToggleOnceAndAFourthIsLockedOut) {
  EXPECT_EQ(tapAt(1000.0), std::nullopt);
  EXPECT_EQ(tapAt(1000.3), std::nullopt);
  EXPECT_EQ(tapAt(1000.6), std::optional<bool>(false));
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_EQ(resets, 1);
  ASSERT_EQ(logger.lines().size(), 1u);
  EXPECT_TRUE(logger.lines()[0].ends_with("[INFO ] Engine: Triple-Tap detected! Toggling..."));

  // The 1.0 s lock-out: a tap 0.99 s after the toggle is not even counted, so the
  // two after it do not complete a triple; 1.01 s after, it is the first of three.
  EXPECT_EQ(tapAt(1001.59), std::nullopt);
  EXPECT_EQ(tapAt(1001.8), std::nullopt);
  EXPECT_EQ(tapAt(1002.0), std::nullopt);
  EXPECT_EQ(tapAt(1002.2), std::optional<bool>(true));  // taps also switch tracking back on
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(tapAt(1003.21), std::nullopt);
  EXPECT_EQ(tapAt(1003.4), std::nullopt);
  EXPECT_EQ(tapAt(1003.6), std::optional<bool>(false));
}

TEST_F(TapFixture, TapsCloserThanTheSpacingAreOneTap) {
  EXPECT_EQ(tapAt(1000.0), std::nullopt);
  EXPECT_EQ(tapAt(1000.147), std::nullopt);                // within 0.15 s of the counted tap: the same tap
  EXPECT_EQ(tapAt(1000.4), std::nullopt);                  // so this is only the second
  EXPECT_EQ(tapAt(1000.553), std::optional<bool>(false));  // 0.153 s after the second: the third
}

TEST_F(TapFixture, SpanEdge) {
  EXPECT_EQ(tapAt(1000.0), std::nullopt);
  EXPECT_EQ(tapAt(1000.6), std::nullopt);
  EXPECT_EQ(tapAt(1001.199), std::optional<bool>(false));  // just within the 1.2 s span

  EXPECT_EQ(tapAt(1010.0), std::nullopt);
  EXPECT_EQ(tapAt(1010.6), std::nullopt);
  EXPECT_EQ(tapAt(1011.201), std::nullopt);  // just outside: the count restarts here
  EXPECT_EQ(tapAt(1011.5), std::nullopt);
  EXPECT_EQ(tapAt(1011.8), std::optional<bool>(true));  // third of the new series
}

TEST_F(TapFixture, TapMeasureAxisAndSensitivity) {
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_axis = 3; });  // length of the vector
  clock.t = 1000.0;
  EXPECT_EQ(taps.check("Phone", 12, 16, 0), std::nullopt);
  EXPECT_FLOAT_EQ(live.tap_value, 20.0f);  // equal to the sensitivity: not a tap
  clock.t = 1000.3;
  taps.check("Phone", 12, 16, 0.5f);
  clock.t = 1000.6;
  taps.check("Phone", 0, 0, 20.5f);
  EXPECT_TRUE(settings.tracking_active);  // only two taps so far
  clock.t = 1000.9;
  EXPECT_EQ(taps.check("Phone", -21, 0, 0), std::optional<bool>(false));
}

TEST_F(TapFixture, OnlyTheLocomotionTrackerAndOnlyWhenEnabled) {
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_axis = 0; });
  for (double t : {1000.0, 1000.3, 1000.6}) {
    clock.t = t;
    taps.check("Phone", 0, 0, 50);  // z is not the tap axis
  }
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_FLOAT_EQ(live.tap_value, 0.0f);

  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_axis = 2; });
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_id = 3; });
  for (double t : {1002.0, 1002.3, 1002.6}) tapAt(t, 30, "/tracking/trackers/13/rotation");
  for (double t : {1003.0, 1003.3, 1003.6}) tapAt(t, 30, "Phone");  // Phone while not the tracker
  EXPECT_TRUE(settings.tracking_active);
  for (double t : {1004.0, 1004.3}) tapAt(t, 30, "/tracking/trackers/3/rotation");
  EXPECT_EQ(tapAt(1004.6, 30, "/tracking/trackers/3/acceleration"), std::optional<bool>(false));

  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeSolarXr; });
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "None"; });
  for (double t : {1006.0, 1006.3, 1006.6}) tapAt(t, 30, "None");
  EXPECT_FALSE(settings.tracking_active);
  settings.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "Chest"; });
  for (double t : {1008.0, 1008.3}) tapAt(t, 30, "Chest");
  EXPECT_EQ(tapAt(1008.6, 30, "Chest"), std::optional<bool>(true));

  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::Phone; });
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = false; });
  for (double t : {1010.0, 1010.3, 1010.6}) EXPECT_EQ(tapAt(t), std::nullopt);
  EXPECT_TRUE(settings.tracking_active);
}

TEST_F(TapFixture, NaNIsNeverATap) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (double t : {1000.0, 1000.3, 1000.6}) tapAt(t, nan);
  EXPECT_TRUE(settings.tracking_active);
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_axis = 7; });
  for (double t : {1002.0, 1002.3, 1002.6}) tapAt(t, nan);
  EXPECT_TRUE(settings.tracking_active);
}

}  // namespace
}  // namespace engine

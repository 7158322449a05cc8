#include "app/engine/watchdog.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

struct WatchdogFixture : ::testing::Test {
  core::Settings settings;
  core::Logger logger{nullptr};
  LiveView live;
  TrackerActivity activity;
  int resets = 0;
  Watchdog watchdog{settings, live, activity, logger, [this] {
                      ++resets;
                      live.stick[0] = 0;
                      live.stick[1] = 0;
                      live.centered_orientation.set(0, 0, 0);
                      activity.stalled = false;
                    }};

  // A locomotion sample at `now`: `moved` when it differed from the last one.
  void sample(double now, bool moved = true) {
    activity.lastSampleTime = now;
    if (moved) activity.lastChangeTime = now;
  }
  std::string lastMessage() const {
    const auto lines = logger.lines();
    return lines.empty() ? "" : lines.back().substr(lines.back().find("] ") + 2);
  }
};

TEST_F(WatchdogFixture, SilentTrackerWhileLeaningTimesOut) {
  sample(10.0);
  live.stick[1] = 0.4f;
  EXPECT_FALSE(watchdog.check(11.96));
  EXPECT_FALSE(watchdog.check(12.0));  // exactly 2.0 s: not more
  EXPECT_TRUE(watchdog.check(12.04));
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(live.stick[1], 0.0f);
  EXPECT_TRUE(activity.stalled);
  ASSERT_EQ(logger.lines().size(), 1u);
  EXPECT_NE(logger.lines()[0].find("[WARN ] "), std::string::npos);
  EXPECT_EQ(lastMessage(),
            "Watchdog: Tracker timeout detected (idle: 2.040000s, frozen: 2.040000s). Resetting outputs.");
  // Quiet afterwards: the output is at rest.
  EXPECT_FALSE(watchdog.check(20.0));
  EXPECT_EQ(resets, 1);
}

TEST_F(WatchdogFixture, SamePoseKeepsComingIsFrozenAfterTwoSeconds) {
  sample(10.0);
  live.centered_orientation.set(12.0f, 0, 0);
  sample(11.96, false);  // the same pose again
  EXPECT_FALSE(watchdog.check(11.96));
  sample(12.04, false);
  EXPECT_TRUE(watchdog.check(12.04));
  EXPECT_EQ(lastMessage(),
            "Watchdog: Tracker frozen detected (idle: 0.000000s, frozen: 2.040000s). Resetting outputs.");
  EXPECT_TRUE(activity.stalled);
  EXPECT_EQ(live.centered_orientation[0], 0.0f);
}

TEST_F(WatchdogFixture, StalledOnlyForTrackerSources) {
  settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::OpenVr; });
  sample(1.0);
  live.stick[0] = -0.3f;
  EXPECT_TRUE(watchdog.check(4.0));
  EXPECT_FALSE(activity.stalled);
  using core::Source;
  for (const Source source : {Source::SteamVrTracker, Source::Phone, Source::SlimeSolarXr, Source::SlimeOsc}) {
    settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = source; });
    activity.stalled = false;
    live.stick[0] = -0.3f;
    EXPECT_TRUE(watchdog.check(100.0 + resets * 10.0)) << core::choiceText(source);
    EXPECT_TRUE(activity.stalled) << core::choiceText(source);
  }
}

TEST_F(WatchdogFixture, RestsWhenNothingWasEverSentOrOutputIsAtRest) {
  live.stick[1] = 0.9f;
  EXPECT_FALSE(watchdog.check(1000.0));  // no sample yet: idle and frozen are 0
  live.stick[1] = 0.0f;
  // Each output channel, either sign: 0.000098 counts as at rest, 0.000102 as moving.
  const std::pair<float, bool> edges[] = {
      {0.000098f, false}, {-0.000098f, false}, {0.000102f, true}, {-0.000102f, true}};
  for (int channel = 0; channel < 5; ++channel)
    for (const auto& [value, moving] : edges) {
      float v[5] = {};
      v[channel] = value;
      live.stick[0] = v[0];
      live.stick[1] = v[1];
      live.centered_orientation.set(v[2], v[3], v[4]);
      sample(1.0);
      EXPECT_EQ(watchdog.check(10.0), moving) << channel << " " << value;
    }
  // The timer restarts at the last reset (at 10.0): another 2 s before it can fire again.
  live.stick[0] = 1.0f;
  EXPECT_FALSE(watchdog.check(11.9));
  EXPECT_TRUE(watchdog.check(12.1));
}

}  // namespace
}  // namespace engine

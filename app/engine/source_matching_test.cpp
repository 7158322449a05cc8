#include "app/engine/source_matching.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

using core::Source;

SourceSelection selection(Source tracker, Source hmd = Source::PhoneAcceleration, std::string slimeName = "None",
                          int slimeId = 1) {
  SourceSelection s;
  s.tracker_source = tracker;
  s.hmd_source = hmd;
  s.slime_tracker_name = std::move(slimeName);
  s.slime_tracker_id = slimeId;
  return s;
}

TEST(SourceMatching, LocomotionNeedsTheExactSelectedSource) {
  EXPECT_TRUE(isLocomotionSource("Phone", selection(Source::Phone)));
  EXPECT_FALSE(isLocomotionSource("Phone", selection(Source::SteamVrTracker)));
  EXPECT_FALSE(isLocomotionSource("phone", selection(Source::Phone)));
  EXPECT_FALSE(isLocomotionSource("Phone ", selection(Source::Phone)));
}

TEST(SourceMatching, SolarXRMatchesTheChosenTrackerName) {
  EXPECT_TRUE(isLocomotionSource("Chest", selection(Source::SlimeSolarXr, Source::Disabled, "Chest")));
  EXPECT_FALSE(isLocomotionSource("Hip", selection(Source::SlimeSolarXr, Source::Disabled, "Chest")));
  // "None" means no tracker chosen, even for a tracker that happens to be called that.
  EXPECT_FALSE(isLocomotionSource("None", selection(Source::SlimeSolarXr, Source::Disabled, "None")));
  // The name only counts while SolarXR is the locomotion source.
  EXPECT_FALSE(isLocomotionSource("Chest", selection(Source::Phone, Source::Disabled, "Chest")));
}

TEST(SourceMatching, OscMatchesTheTrackerNumberAsAWholePathSegment) {
  EXPECT_TRUE(isLocomotionSource("/tracking/trackers/1/rotation", selection(Source::SlimeOsc)));
  EXPECT_FALSE(isLocomotionSource("/tracking/trackers/12/rotation", selection(Source::SlimeOsc)));
  EXPECT_FALSE(isLocomotionSource("/tracking/trackers/1", selection(Source::SlimeOsc)));
  EXPECT_TRUE(
      isLocomotionSource("/tracking/trackers/12/rotation", selection(Source::SlimeOsc, Source::Disabled, "None", 12)));
  EXPECT_FALSE(isLocomotionSource("/tracking/trackers/1/rotation", selection(Source::Phone)));
}

TEST(SourceMatching, JumpTrackerIsTheHmdSourceOrItsSolarXRTracker) {
  EXPECT_TRUE(isJumpTrackerSource("SteamVR (OpenVR)", selection(Source::Phone, Source::OpenVr)));
  EXPECT_FALSE(isJumpTrackerSource("Phone", selection(Source::Phone, Source::OpenVr)));
  EXPECT_TRUE(isJumpTrackerSource("Head", selection(Source::Phone, Source::SlimeSolarXr, "Head")));
  EXPECT_FALSE(isJumpTrackerSource("Head", selection(Source::SlimeSolarXr, Source::Disabled, "Head")));
  EXPECT_TRUE(isJumpTrackerSource("/tracking/trackers/head/rotation", selection(Source::Phone, Source::SlimeOsc)));
  EXPECT_FALSE(isJumpTrackerSource("/tracking/trackers/head/rotation", selection(Source::Phone, Source::OpenVr)));
}

TEST(SourceMatching, SlimeVrOscHeadHeightComesFromTheHeadAddress) {
  EXPECT_TRUE(isHeadPositionSource("/tracking/trackers/head/position", Source::SlimeOsc));
  EXPECT_FALSE(isHeadPositionSource("/tracking/trackers/1/position", Source::SlimeOsc));
  EXPECT_FALSE(isHeadPositionSource("/tracking/trackers/head/position", Source::OpenXr));
  EXPECT_TRUE(isHeadPositionSource("OpenXR (In-Game)", Source::OpenXr));
}

}  // namespace
}  // namespace engine

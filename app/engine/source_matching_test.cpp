#include "app/engine/source_matching.h"

#include <gtest/gtest.h>

namespace engine {
namespace {

SourceSelection selection(std::string tracker, std::string hmd = "Phone (Acceleration)", std::string slimeName = "None",
                          int slimeId = 1) {
  return {std::move(tracker), std::move(hmd), std::move(slimeName), slimeId};
}

TEST(SourceMatching, LocomotionNeedsTheExactSelectedSource) {
  EXPECT_TRUE(isLocomotionSource("Phone", selection("Phone")));
  EXPECT_FALSE(isLocomotionSource("Phone", selection("SteamVR Tracker")));
  EXPECT_FALSE(isLocomotionSource("phone", selection("Phone")));
  EXPECT_FALSE(isLocomotionSource("Phone ", selection("Phone")));
}

TEST(SourceMatching, SolarXRMatchesTheChosenTrackerName) {
  EXPECT_TRUE(isLocomotionSource("Chest", selection("SlimeVR (SolarXR)", "Disabled", "Chest")));
  EXPECT_FALSE(isLocomotionSource("Hip", selection("SlimeVR (SolarXR)", "Disabled", "Chest")));
  // "None" means no tracker chosen, even for a tracker that happens to be called that.
  EXPECT_FALSE(isLocomotionSource("None", selection("SlimeVR (SolarXR)", "Disabled", "None")));
  // The name only counts while SolarXR is the locomotion source.
  EXPECT_FALSE(isLocomotionSource("Chest", selection("Phone", "Disabled", "Chest")));
}

TEST(SourceMatching, OscMatchesTheTrackerNumberAsAWholePathSegment) {
  EXPECT_TRUE(isLocomotionSource("/tracking/trackers/1/rotation", selection("SlimeVR (OSC)")));
  EXPECT_FALSE(isLocomotionSource("/tracking/trackers/12/rotation", selection("SlimeVR (OSC)")));
  EXPECT_FALSE(isLocomotionSource("/tracking/trackers/1", selection("SlimeVR (OSC)")));
  EXPECT_TRUE(isLocomotionSource("/tracking/trackers/12/rotation", selection("SlimeVR (OSC)", "", "None", 12)));
  EXPECT_FALSE(isLocomotionSource("/tracking/trackers/1/rotation", selection("Phone")));
}

TEST(SourceMatching, JumpTrackerIsTheHmdSourceOrItsSolarXRTracker) {
  EXPECT_TRUE(isJumpTrackerSource("SteamVR (OpenVR)", selection("Phone", "SteamVR (OpenVR)")));
  EXPECT_FALSE(isJumpTrackerSource("Phone", selection("Phone", "SteamVR (OpenVR)")));
  EXPECT_TRUE(isJumpTrackerSource("Head", selection("Phone", "SlimeVR (SolarXR)", "Head")));
  EXPECT_FALSE(isJumpTrackerSource("Head", selection("SlimeVR (SolarXR)", "Disabled", "Head")));
  EXPECT_TRUE(isJumpTrackerSource("/tracking/trackers/head/rotation", selection("Phone", "SlimeVR (OSC)")));
  EXPECT_FALSE(isJumpTrackerSource("/tracking/trackers/head/rotation", selection("Phone", "SteamVR (OpenVR)")));
}

TEST(SourceMatching, SlimeVrOscHeadHeightComesFromTheHeadAddress) {
  EXPECT_TRUE(isHeadPositionSource("/tracking/trackers/head/position", "SlimeVR (OSC)"));
  EXPECT_FALSE(isHeadPositionSource("/tracking/trackers/1/position", "SlimeVR (OSC)"));
  EXPECT_FALSE(isHeadPositionSource("/tracking/trackers/head/position", "OpenXR (In-Game)"));
  EXPECT_TRUE(isHeadPositionSource("OpenXR (In-Game)", "OpenXR (In-Game)"));
}

}  // namespace
}  // namespace engine

#include "app/engine/orientation_mapper.h"

#include <gtest/gtest.h>

#include <cmath>

namespace engine {
namespace {

constexpr float kTolerance = 1e-3f;
// 1.5708 rad in degrees with the mapper's own factor: the landscape twist.
constexpr float kLandscapeTwist = 1.5708f * 57.295776f;  // 90.00021

Quaternion aboutX(float degrees) {
  const float h = degrees * 0.017453292f * 0.5f;
  return {std::sin(h), 0, 0, std::cos(h)};
}
Quaternion aboutY(float degrees) {
  const float h = degrees * 0.017453292f * 0.5f;
  return {0, std::sin(h), 0, std::cos(h)};
}

void expectAngles(const Angles& actual, float a, float b, float c) {
  EXPECT_NEAR(actual[0], a, kTolerance);
  EXPECT_NEAR(actual[1], b, kTolerance);
  EXPECT_NEAR(actual[2], c, kTolerance);
}

TEST(QuaternionToEuler, GivesRollPitchYawAndClampsThePitchArgument) {
  expectAngles(quaternionToEuler(aboutX(20)), 20, 0, 0);
  expectAngles(quaternionToEuler(aboutY(-35)), 0, -35, 0);
  const float h = 30 * 0.017453292f * 0.5f;
  expectAngles(quaternionToEuler({0, 0, std::sin(h), std::cos(h)}), 0, 0, 30);
  // A slightly over-long quaternion would put asin outside its domain (NaN).
  const Angles over = quaternionToEuler({0, 0.7072f, 0, 0.7072f});
  EXPECT_FLOAT_EQ(over[1], 90.0f);
}

TEST(OrientationMapper, PortraitOrRawWithOutwardOrRawFacingKeepsTheAngles) {
  core::Settings settings;
  OrientationMapper mapper(settings);
  for (const char* o : {"Vertical (Portrait)", "None (Raw)"})
    for (const char* f : {"Screen Outward (Default)", "None (Raw)"}) {
      const Angles m = mapper.mapAngles(10, 20, 30, o, f);
      EXPECT_EQ(m, (Angles{10, 20, 30})) << o << " / " << f;
    }
  // Empty texts fall back to the settings (the defaults are portrait / outward).
  EXPECT_EQ(mapper.mapAngles(10, 20, 30, "", ""), (Angles{10, 20, 30}));
  settings.orientation = "Horizontal (Landscape Left)";
  const Angles fromSettings = mapper.mapAngles(20, 0, 0, "", "");
  EXPECT_NEAR(fromSettings[2], -kLandscapeTwist, kTolerance);
}

TEST(OrientationMapper, LandscapeTurnsTheFrameAQuarterAboutZ) {
  core::Settings settings;
  OrientationMapper mapper(settings);
  const char* outward = "Screen Outward (Default)";
  // Landscape left: swing about Y = roll, swing about X ~ 0, twist -90.0002.
  expectAngles(mapper.mapAngles(20, 0, 0, "Horizontal (Landscape Left)", outward), 20, 0, -kLandscapeTwist);
  expectAngles(mapper.mapAngles(0, 20, 0, "Horizontal (Landscape Left)", outward), 0, -20, -kLandscapeTwist);
  // Landscape right mirrors it.
  expectAngles(mapper.mapAngles(20, 0, 0, "Horizontal (Landscape Right)", outward), -20, 0, kLandscapeTwist);
  // Any other non-portrait text takes the quaternion path with no turn: the
  // swing order puts the X rotation second.
  expectAngles(mapper.mapAngles(20, 0, 0, "landscape", outward), 0, 20, 0);
}

TEST(OrientationMapper, InwardFacingAddsAHalfTurnAboutY) {
  core::Settings settings;
  OrientationMapper mapper(settings);
  const char* inward = "Screen Inward (Towards Body)";
  // Identity ⊗ (0,1,0,0): no twist (z and w are 0), swing about X of 180.
  expectAngles(mapper.mapAngles(0, 0, 0, "Vertical (Portrait)", inward), 0, 180, 0);
  // Roll 20: q' = (0, cos10, sin10, 0) -> twist 180, swing about X atan2(sin20, -cos20) = 160.
  expectAngles(mapper.mapAngles(20, 0, 0, "Vertical (Portrait)", inward), 0, 160, 180);
}

TEST(OrientationMapper, QuaternionPathReturnsYSwingFirstAndCorrectsOnlyWhenAsked) {
  core::Settings settings;
  OrientationMapper mapper(settings);
  expectAngles(mapper.mapQuaternion(aboutX(20), "Vertical (Portrait)", "Screen Outward (Default)", true), 0, 20, 0);
  expectAngles(mapper.mapQuaternion(aboutY(15), "Vertical (Portrait)", "Screen Outward (Default)", true), 15, 0, 0);
  expectAngles(mapper.mapQuaternion(aboutX(20), "Horizontal (Landscape Left)", "Screen Inward (Towards Body)", false),
               0, 20, 0);
  expectAngles(mapper.mapQuaternion(aboutX(20), "Horizontal (Landscape Left)", "Screen Outward (Default)", true), 20, 0,
               -kLandscapeTwist);
  // A twist part (z, w) shorter than 0.0001 is taken as no twist rather than divided
  // by; just longer, it is a half turn about Z.
  const std::pair<float, float> zAndTwist[] = {{0.0f, 0.0f}, {0.000098f, 0.0f}, {0.000102f, 180.0f}};
  for (const auto& [z, twist] : zAndTwist) {
    const Angles flat = mapper.mapQuaternion({1, 0, z, 0}, "None (Raw)", "None (Raw)", true);
    for (float v : flat) EXPECT_TRUE(std::isfinite(v)) << z;
    EXPECT_NEAR(flat[2], twist, kTolerance) << z;
  }
}

}  // namespace
}  // namespace engine

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

using core::Facing;
using core::Mounting;

TEST(OrientationMapper, PortraitOrRawWithOutwardOrRawFacingKeepsTheAngles) {
  OrientationMapper mapper;
  for (const Mounting o : {Mounting::Portrait, Mounting::Raw})
    for (const Facing f : {Facing::Outward, Facing::Raw}) {
      const Angles m = mapper.mapAngles(10, 20, 30, o, f);
      EXPECT_EQ(m, (Angles{10, 20, 30})) << static_cast<int>(o) << " / " << static_cast<int>(f);
    }
}

TEST(OrientationMapper, LandscapeTurnsTheFrameAQuarterAboutZ) {
  OrientationMapper mapper;
  const Facing outward = Facing::Outward;
  // Landscape left: swing about Y = roll, swing about X ~ 0, twist -90.0002.
  expectAngles(mapper.mapAngles(20, 0, 0, Mounting::LandscapeLeft, outward), 20, 0, -kLandscapeTwist);
  expectAngles(mapper.mapAngles(0, 20, 0, Mounting::LandscapeLeft, outward), 0, -20, -kLandscapeTwist);
  // Landscape right mirrors it.
  expectAngles(mapper.mapAngles(20, 0, 0, Mounting::LandscapeRight, outward), -20, 0, kLandscapeTwist);
}

TEST(OrientationMapper, InwardFacingAddsAHalfTurnAboutY) {
  OrientationMapper mapper;
  const Facing inward = Facing::Inward;
  // Identity ⊗ (0,1,0,0): no twist (z and w are 0), swing about X of 180.
  expectAngles(mapper.mapAngles(0, 0, 0, Mounting::Portrait, inward), 0, 180, 0);
  // Roll 20: q' = (0, cos10, sin10, 0) -> twist 180, swing about X atan2(sin20, -cos20) = 160.
  expectAngles(mapper.mapAngles(20, 0, 0, Mounting::Portrait, inward), 0, 160, 180);
}

TEST(OrientationMapper, QuaternionPathReturnsYSwingFirstAndCorrectsOnlyWhenAsked) {
  OrientationMapper mapper;
  expectAngles(mapper.mapQuaternion(aboutX(20), Mounting::Portrait, Facing::Outward, true), 0, 20, 0);
  expectAngles(mapper.mapQuaternion(aboutY(15), Mounting::Portrait, Facing::Outward, true), 15, 0, 0);
  expectAngles(mapper.mapQuaternion(aboutX(20), Mounting::LandscapeLeft, Facing::Inward, false), 0, 20, 0);
  expectAngles(mapper.mapQuaternion(aboutX(20), Mounting::LandscapeLeft, Facing::Outward, true), 20, 0,
               -kLandscapeTwist);
  // A twist part (z, w) shorter than 0.0001 is taken as no twist rather than divided
  // by; just longer, it is a half turn about Z.
  const std::pair<float, float> zAndTwist[] = {{0.0f, 0.0f}, {0.000098f, 0.0f}, {0.000102f, 180.0f}};
  for (const auto& [z, twist] : zAndTwist) {
    const Angles flat = mapper.mapQuaternion({1, 0, z, 0}, Mounting::Raw, Facing::Raw, true);
    for (float v : flat) EXPECT_TRUE(std::isfinite(v)) << z;
    EXPECT_NEAR(flat[2], twist, kTolerance) << z;
  }
}

}  // namespace
}  // namespace engine

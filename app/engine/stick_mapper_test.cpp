#include "app/engine/stick_mapper.h"

#include <gtest/gtest.h>

#include <cmath>

namespace engine {
namespace {

using core::AxisNegY;
using core::AxisNone;
using core::AxisX;
using core::AxisY;
using core::AxisZ;

TEST(StickMapper, AxisSumsAddMappedAnglesAndSubtractNegatedOnes) {
  const Angles angles{10, 5, -7};
  EXPECT_FLOAT_EQ(axisSum(angles, {AxisY, AxisNone, AxisX}, AxisY), 10);
  EXPECT_FLOAT_EQ(axisSum(angles, {AxisY, AxisNone, AxisX}, AxisX), -7);
  EXPECT_FLOAT_EQ(axisSum(angles, {AxisNegY, AxisY, AxisZ}, AxisY), -5);
  EXPECT_FLOAT_EQ(axisSum(angles, {AxisZ, core::AxisNegZ, AxisNone}, AxisX), 0);
  EXPECT_FLOAT_EQ(axisSum(angles, {AxisZ, core::AxisNegZ, AxisNone}, AxisY), 0);
}

TEST(StickMapper, DeadZoneCutsJustInsideItsEdgeAndRescalesJustOutside) {
  struct Case {
    float value, zone, expected;
  } cases[] = {
      {0.098f, 0.1f, 0.0f},
      {-0.098f, 0.1f, 0.0f},
      {0.1f, 0.1f, 0.0f},  // at the edge: rescaled to 0
      {0.102f, 0.1f, 0.002f / 0.9f},
      {-0.102f, 0.1f, -0.002f / 0.9f},
      {0.55f, 0.1f, 0.5f},
      {-1.0f, 0.1f, -1.0f},
      {0.3f, 0.0f, 0.3f},
  };
  for (const Case& c : cases) EXPECT_NEAR(applyDeadZone(c.value, c.zone), c.expected, 1e-6f) << c.value;
}

TEST(StickMapper, ResponseCurveRaisesToThreeToThePowerP) {
  EXPECT_FLOAT_EQ(applyCurve(0.5f, 1.0f), 0.125f);
  EXPECT_FLOAT_EQ(applyCurve(-0.5f, 1.0f), -0.125f);
  EXPECT_NEAR(applyCurve(0.125f, -1.0f), 0.5f, 1e-6f);
  EXPECT_EQ(applyCurve(-0.3f, 0.0f), -0.3f);
  EXPECT_EQ(applyCurve(0.0f, 0.5f), 0.0f);
}

TEST(StickMapper, DefaultsGiveZeroInsideTheDeadZoneAndConvergeTwentyPercentPerSample) {
  core::Config::Locomotion l;  // dead zone 3, max angles 30, progression 0, first angle -> Y
  StickMapper mapper;
  // The 3-degree zone on both sides: 2.94 is cut, 3.06 passes (target 0.06 / 27).
  EXPECT_EQ(mapper.compute(l, {2.94f, 0, 0}, false).y, 0.0f);
  EXPECT_EQ(mapper.compute(l, {-2.94f, 0, 0}, false).y, 0.0f);
  EXPECT_NEAR(StickMapper().compute(l, {3.06f, 0, 0}, false).y, -0.06f / 27 * 0.19999999f, 1e-6f);
  EXPECT_NEAR(StickMapper().compute(l, {-3.06f, 0, 0}, false).y, 0.06f / 27 * 0.19999999f, 1e-6f);

  // 60 degrees clamps to a target of -1 (clamp, then negate).
  Stick s = mapper.compute(l, {60, 0, 0}, false);
  EXPECT_EQ(s.y, -0.19999999f);  // the single-precision weight, one unit below 0.2
  EXPECT_NE(s.y, -0.2f);
  EXPECT_EQ(s.x, 0.0f);
  for (int i = 0; i < 20; ++i) {
    const float before = mapper.filter().y;
    s = mapper.compute(l, {30, 0, 0}, false);
    EXPECT_NEAR((-1.0f - s.y) / (-1.0f - before), 0.8f, 1e-4f) << "sample " << i;
  }
  EXPECT_NEAR(s.y, -1.0f, 0.02f);
  // Third angle feeds X with the opposite sign.
  StickMapper sideways;
  EXPECT_GT(sideways.compute(l, {0, 0, -30}, false).x, 0.0f);
}

TEST(StickMapper, ChoosesSlimeOrPhoneAxisMap) {
  core::Config::Locomotion l;
  l.slime_map_roll = AxisX;
  l.slime_map_yaw = AxisNone;
  StickMapper slime, phone;
  const Stick viaSlime = slime.compute(l, {30, 0, 0}, true);
  const Stick viaPhone = phone.compute(l, {30, 0, 0}, false);
  EXPECT_LT(viaSlime.x, 0.0f);
  EXPECT_EQ(viaSlime.y, 0.0f);
  EXPECT_EQ(viaPhone.x, 0.0f);
  EXPECT_LT(viaPhone.y, 0.0f);
}

TEST(StickMapper, ProgressionAndMaxAngleShapeTheTarget) {
  core::Config::Locomotion l;
  l.deadzone = 0.0f;
  l.progression = 1.0f;
  l.max_angle_y = 20.0f;
  StickMapper mapper;
  // 10 of 20 degrees is 0.5, cubed 0.125, negated, times the filter weight.
  const float first = mapper.compute(l, {10, 0, 0}, false).y;
  EXPECT_FLOAT_EQ(first, -0.125f * 0.19999999f);
  // A new progression on the same mapper takes effect at once: 0.5 to the power 1/3.
  l.progression = -1.0f;
  EXPECT_NEAR(mapper.compute(l, {10, 0, 0}, false).y, first * 0.8f - std::cbrt(0.5f) * 0.19999999f, 1e-6f);
}

TEST(StickMapper, DegenerateSettingsNeverPoisonTheFilter) {
  core::Config::Locomotion l;
  l.deadzone = 0.0f;
  l.max_angle_y = 0.0f;  // 0/0 for a level tracker
  StickMapper mapper;
  EXPECT_EQ(mapper.compute(l, {0, 0, 0}, false).y, 0.0f);
  l.deadzone = 30.0f;  // dead zone as wide as the range: (1 - 1) / 0
  l.max_angle_y = 30.0f;
  EXPECT_EQ(mapper.compute(l, {30, 0, 0}, false).y, 0.0f);
  l.deadzone = 0.0f;
  const Stick recovered = mapper.compute(l, {30, 0, 0}, false);
  EXPECT_TRUE(std::isfinite(recovered.y));
  EXPECT_LT(recovered.y, 0.0f);
}

}  // namespace
}  // namespace engine

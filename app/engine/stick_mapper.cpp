#include "app/engine/stick_mapper.h"

#include <algorithm>
#include <cmath>

#include "platform/hot_path.h"

namespace engine {
namespace {

// Single-precision weights; the second is one unit below 0.2.
constexpr float kKeep = 0.8f;
constexpr float kTake = 0.19999999f;

// Normalised, clamped and negated sum for one stick axis.
STRIVO_HOT_PATH float normalise(float sum, float maxAngle) { return -std::clamp(sum / maxAngle, -1.0f, 1.0f); }

}  // namespace

STRIVO_HOT_PATH float axisSum(const Angles& angles, const AxisMap& map, int axis) {
  float sum = 0.0f;
  for (int i = 0; i < 3; ++i) {
    if (map[i] == axis)
      sum += angles[i];
    else if (map[i] == axis + 3)
      sum -= angles[i];
  }
  return sum;
}

STRIVO_HOT_PATH float applyDeadZone(float value, float deadZone) {
  if (std::fabs(value) < deadZone) return 0.0f;
  return value > 0.0f ? (value - deadZone) / (1.0f - deadZone) : (value + deadZone) / (1.0f - deadZone);
}

namespace {

// The curve with its exponent, 3 to the power of the progression, already worked out.
STRIVO_HOT_PATH float curveWithExponent(float value, float exponent) {
  if (value == 0.0f) return 0.0f;  // inside the dead zone, as most samples of a player standing still
  const float magnitude = std::pow(std::fabs(value), exponent);
  return value >= 0.0f ? magnitude : -magnitude;
}

}  // namespace

STRIVO_HOT_PATH float applyCurve(float value, float progression) {
  if (progression == 0.0f) return value;
  return curveWithExponent(value, std::pow(3.0f, progression));
}

STRIVO_HOT_PATH Stick StickFilter::step(float targetX, float targetY) {
  x = x * kKeep + targetX * kTake;
  y = y * kKeep + targetY * kTake;
  return {x, y};
}

STRIVO_HOT_PATH AxisMap StickMapper::axisMap(const core::Config::Locomotion& l, bool slimeMapping) {
  return slimeMapping ? AxisMap{l.slime_map_roll, l.slime_map_pitch, l.slime_map_yaw}
                      : AxisMap{l.phone_map_roll, l.phone_map_pitch, l.phone_map_yaw};
}

STRIVO_HOT_PATH Stick StickMapper::compute(const core::Config::Locomotion& locomotion, const Angles& centred,
                                           bool slimeMapping) {
  const AxisMap map = axisMap(locomotion, slimeMapping);
  const float maxX = locomotion.max_angle_x, maxY = locomotion.max_angle_y;
  const float deadZone = locomotion.deadzone, progression = locomotion.progression;

  // The same exponent applyCurve works out, once per progression instead of per axis and sample.
  if (progression != curveProgression_) {
    curveProgression_ = progression;
    curveExponent_ = std::pow(3.0f, progression);
  }
  const float exponent = curveExponent_;
  auto shape = [&](float sum, float maxAngle) {
    const float shaped = applyDeadZone(normalise(sum, maxAngle), deadZone / maxAngle);
    const float v = progression == 0.0f ? shaped : curveWithExponent(shaped, exponent);
    // A zero maximum angle, or a dead zone as wide as the maximum, yields 0/0. The
    // filter never forgets, so a NaN here would freeze the stick at NaN for good.
    return std::isnan(v) ? 0.0f : v;
  };
  const float targetX = shape(axisSum(centred, map, core::AxisX), maxX);
  const float targetY = shape(axisSum(centred, map, core::AxisY), maxY);
  return filter_.step(targetX, targetY);
}

}  // namespace engine

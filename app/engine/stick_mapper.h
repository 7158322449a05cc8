#pragma once

#include <array>

#include "app/core/config.h"
#include "app/engine/orientation_mapper.h"

namespace engine {

struct Stick {
  float x = 0, y = 0;
};

// The three axis-map values (`*_map_roll`, `*_map_pitch`, `*_map_yaw`), one per angle.
using AxisMap = std::array<int, 3>;

// Sum of the angles that feed stick axis `axis` (core::AxisX or core::AxisY): +angle
// for a map value equal to the axis, -angle for its negated value, in angle order.
float axisSum(const Angles& angles, const AxisMap& map, int axis);

// Removes the dead zone (fraction `deadZone` of full deflection) and rescales the
// rest to the full range; values inside the dead zone become 0.
float applyDeadZone(float value, float deadZone);

// |value| raised to 3^progression, keeping the sign; 0 progression is linear.
float applyCurve(float value, float progression);

// The smoothing filter: each sample moves the output 20 % of the way to the target.
struct StickFilter {
  float x = 0, y = 0;
  Stick step(float targetX, float targetY);
};

// Turns the centred orientation into the walking stick with the locomotion section
// of the sample's configuration. Holds the filter state, which lives as long as it does.
class StickMapper {
 public:
  // `slimeMapping` chooses the `slime_map_*` axis map instead of `phone_map_*`.
  Stick compute(const core::Config::Locomotion& locomotion, const Angles& centred, bool slimeMapping);
  // The axis map `compute` uses.
  static AxisMap axisMap(const core::Config::Locomotion& locomotion, bool slimeMapping);

  const StickFilter& filter() const { return filter_; }

 private:
  StickFilter filter_;
  // The curve's exponent, 3 to the power of the progression, for the last progression seen.
  float curveProgression_ = 0.0f;
  float curveExponent_ = 1.0f;
};

}  // namespace engine

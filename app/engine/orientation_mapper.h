#pragma once

#include <array>

#include "app/core/choices.h"

namespace engine {

// Three angles in degrees, in the order the producing step defines.
using Angles = std::array<float, 3>;

struct Quaternion {
  float x = 0, y = 0, z = 0, w = 1;
};

// Hamilton product a ⊗ b. Inline: it runs twice per sample of a landscape, inward phone.
inline Quaternion multiply(const Quaternion& a, const Quaternion& b) {
  return {
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
      a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
      a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
      a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
  };
}

// Roll, pitch, yaw in degrees (the raw orientation of quaternion sources).
Angles quaternionToEuler(const Quaternion& q);

// Corrects a tracker's orientation for how it is worn. Holds no state.
class OrientationMapper {
 public:
  // Portrait or raw mounting with outward or raw facing keeps the angles as they
  // are; every other mounting goes through the quaternion path (correction on).
  Angles mapAngles(float a, float b, float c, core::Mounting orientation, core::Facing facing) const;

  // Applies the mounting correction (when `correct`), then splits the rotation into
  // a twist about Z and a swing. Returns (swing about Y, swing about X, twist about Z).
  Angles mapQuaternion(const Quaternion& q, core::Mounting orientation, core::Facing facing, bool correct) const;
};

}  // namespace engine

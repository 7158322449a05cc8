#pragma once

#include <array>

#include "common/openvr/client_api.h"

namespace tracking {

using Angles = std::array<float, 3>;
using Vec3f = std::array<float, 3>;

inline constexpr float kDegreesPerRadian = 57.295776f;

// The head's angles in degrees as (roll, pitch, yaw) from a pose matrix (rotation in
// columns 0..2), with the gimbal-lock case (pitch at ±90°) giving roll 0.
Angles headAngles(const vr::HmdMatrix34_t& m);

// A tracker's angles in degrees as (b, a, heading): the turn about the vertical axis is
// split off first, so lean angles do not depend on which way the wearer faces.
Angles trackerAngles(const vr::HmdMatrix34_t& m);

// A world-frame vector expressed in the device's own frame (the rotation's transpose).
Vec3f toDeviceFrame(const vr::HmdMatrix34_t& m, const Vec3f& world);

}  // namespace tracking

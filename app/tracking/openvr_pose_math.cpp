#include "app/tracking/openvr_pose_math.h"

#include <algorithm>
#include <cmath>

#include "app/tracking/quaternion_split.h"

namespace tracking {
namespace {

struct Quaternion {
  float w, x, y, z;
};

// The rotation part of m as a unit quaternion (trace method).
Quaternion rotationOf(const vr::HmdMatrix34_t& pose) {
  const auto& m = pose.m;
  const float trace = m[0][0] + m[1][1] + m[2][2];
  Quaternion q{};
  if (trace > 0) {
    const float s = 2.0f * std::sqrt(trace + 1.0f);
    q = {s / 4, (m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s};
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    const float s = 2.0f * std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]);
    q = {(m[2][1] - m[1][2]) / s, s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s};
  } else if (m[1][1] > m[2][2]) {
    const float s = 2.0f * std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]);
    q = {(m[0][2] - m[2][0]) / s, (m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s};
  } else {
    const float s = 2.0f * std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]);
    q = {(m[1][0] - m[0][1]) / s, (m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4};
  }
  return q;
}

}  // namespace

Angles headAngles(const vr::HmdMatrix34_t& pose) {
  const auto& m = pose.m;
  const float pitch = std::asin(std::clamp(-m[2][0], -1.0f, 1.0f));
  float roll = 0;
  float yaw = 0;
  if (std::fabs(m[2][0]) < 0.99999f) {
    roll = std::atan2(m[2][1], m[2][2]);
    yaw = std::atan2(m[1][0], m[0][0]);
  } else {
    yaw = std::atan2(-m[0][1], m[1][1]);
  }
  return {roll * kDegreesPerRadian, pitch * kDegreesPerRadian, yaw * kDegreesPerRadian};
}

Angles trackerAngles(const vr::HmdMatrix34_t& pose) {
  const Quaternion q = rotationOf(pose);
  const TurnAndTilt angles = splitTurnAndTilt(q.x, q.y, q.z, q.w);
  return {angles.b, angles.a, angles.heading};
}

Vec3f toDeviceFrame(const vr::HmdMatrix34_t& pose, const Vec3f& world) {
  const auto& m = pose.m;
  Vec3f local{};
  for (int column = 0; column < 3; ++column)
    local[column] = world[0] * m[0][column] + world[1] * m[1][column] + world[2] * m[2][column];
  return local;
}

}  // namespace tracking

#include "app/engine/orientation_mapper.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/hot_path.h"

namespace engine {
namespace {

// The constants are single-precision on purpose: they decide the exact mapped
// values users calibrate against.
constexpr float kQuarterTurn = 1.5708f;  // slightly larger than pi/2
constexpr float kDegToRad = 0.017453292f;
constexpr float kRadToDeg = 57.295776f;

using core::Facing;
using core::Mounting;

// The quarter turns about Z that undo a landscape mounting, worked out once.
const Quaternion kUndoLandscapeLeft{0.0f, 0.0f, std::sin(-kQuarterTurn / 2.0f), std::cos(-kQuarterTurn / 2.0f)};
const Quaternion kUndoLandscapeRight{0.0f, 0.0f, std::sin(kQuarterTurn / 2.0f), std::cos(kQuarterTurn / 2.0f)};

}  // namespace

STRIVO_HOT_PATH Angles quaternionToEuler(const Quaternion& q) {
  const float roll = std::atan2(2.0f * (q.w * q.x + q.y * q.z), 1.0f - 2.0f * (q.x * q.x + q.y * q.y));
  const float pitch = std::asin(std::clamp(2.0f * (q.w * q.y - q.x * q.z), -1.0f, 1.0f));
  const float yaw = std::atan2(2.0f * (q.x * q.y + q.w * q.z), 1.0f - 2.0f * (q.y * q.y + q.z * q.z));
  return {roll * kRadToDeg, pitch * kRadToDeg, yaw * kRadToDeg};
}

STRIVO_HOT_PATH Angles OrientationMapper::mapAngles(float a, float b, float c, Mounting orientation,
                                                    Facing facing) const {
  if ((orientation == Mounting::Portrait || orientation == Mounting::Raw) &&
      (facing == Facing::Outward || facing == Facing::Raw))
    return {a, b, c};

  // q = Rz(c) · Ry(b) · Rx(a): X first, then Y, then Z.
  const float ha = a * kDegToRad * 0.5f, hb = b * kDegToRad * 0.5f, hc = c * kDegToRad * 0.5f;
  const float ca = std::cos(ha), sa = std::sin(ha);
  const float cb = std::cos(hb), sb = std::sin(hb);
  const float cc = std::cos(hc), sc = std::sin(hc);
  const Quaternion q{
      sa * cb * cc - ca * sb * sc,
      ca * sb * cc + sa * cb * sc,
      ca * cb * sc - sa * sb * cc,
      ca * cb * cc + sa * sb * sc,
  };
  return mapQuaternion(q, orientation, facing, true);
}

STRIVO_HOT_PATH Angles OrientationMapper::mapQuaternion(const Quaternion& input, Mounting orientation, Facing facing,
                                                        bool correct) const {
  Quaternion q = input;
  if (correct) {
    if (orientation != Mounting::Portrait && orientation != Mounting::Raw) {
      const Quaternion none{0.0f, 0.0f, 0.0f, 1.0f};  // any other mounting: a turn by zero
      q = multiply(q, orientation == Mounting::LandscapeLeft    ? kUndoLandscapeLeft
                      : orientation == Mounting::LandscapeRight ? kUndoLandscapeRight
                                                                : none);
    }
    if (facing == Facing::Inward) q = multiply(q, Quaternion{0.0f, 1.0f, 0.0f, 0.0f});  // half turn about Y
  }

  // Twist about Z and the swing that remains.
  const float n = std::sqrt(q.z * q.z + q.w * q.w);
  float c = 1.0f, s = 0.0f;
  if (n > 0.0001f) {
    c = q.w / n;
    s = q.z / n;
  }
  const float twist = 2.0f * std::atan2(s, c) * kRadToDeg;
  const float sw = s * q.z + c * q.w;
  const float sx = c * q.x + s * q.y;
  const float sy = c * q.y - s * q.x;

  const float cosPart = sw * sw - sx * sx - sy * sy;
  const float sinX = 2.0f * sw * sx;
  const float swingX = std::atan2(sinX, cosPart) * kRadToDeg;
  const float swingY = std::atan2(2.0f * sw * sy, std::sqrt(cosPart * cosPart + sinX * sinX)) * kRadToDeg;
  return {swingY, swingX, twist};
}

}  // namespace engine

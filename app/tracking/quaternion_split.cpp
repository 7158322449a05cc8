#include "app/tracking/quaternion_split.h"

#include <cmath>

namespace tracking {
namespace {
constexpr float kRadToDeg = 57.295776f;
// Below this length the vertical part of the rotation is too small to give a turn.
constexpr float kMinTurnLength = 0.0001f;
}  // namespace

TurnAndTilt splitTurnAndTilt(float x, float y, float z, float w) {
  const float n = std::sqrt(y * y + w * w);
  float c = 1.0f;
  float s = 0.0f;
  if (n > kMinTurnLength) {
    c = w / n;
    s = y / n;
  }
  // Remove the turn: the conjugate turn applied to the orientation.
  const float tw = s * y + c * w;
  const float tx = c * x - s * z;
  const float tz = s * x + c * z;
  const float sinA = 2.0f * tw * tz;
  const float cosA = tw * tw - tx * tx - tz * tz;
  TurnAndTilt out;
  out.heading = 2.0f * std::atan2(s, c) * kRadToDeg;
  out.a = std::atan2(sinA, cosA) * kRadToDeg;
  out.b = std::atan2(2.0f * tw * tx, std::sqrt(sinA * sinA + cosA * cosA)) * kRadToDeg;
  return out;
}

}  // namespace tracking

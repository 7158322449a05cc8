#pragma once

namespace tracking {

// An orientation split into a turn about the vertical axis (`heading`) and the tilt
// left after it (`a` about the forward axis, `b` about the sideways axis), in degrees.
struct TurnAndTilt {
  float a = 0.0f;
  float b = 0.0f;
  float heading = 0.0f;
};

// Splits the unit quaternion (x, y, z, w), y up. Near the upside-down pose, where
// the turn is undefined, the turn is taken as zero.
TurnAndTilt splitTurnAndTilt(float x, float y, float z, float w);

}  // namespace tracking

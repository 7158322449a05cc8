#pragma once

#include <cstdint>

#include "app/core/sample_ring.h"

namespace core {

// One locomotion sample as the engine turned it into a stick (engine-clock seconds).
struct LeanSample {
  double time = 0;
  float mapped[3] = {};          // the mapped orientation before the centre comes off (degrees)
  float leanSide = 0;            // lean on the stick's x axis, degrees, positive to the right
  float leanForward = 0;         // lean on the stick's y axis, degrees, positive forward
  float stickX = 0, stickY = 0;  // the stick sent to the output (y negative forward)
};

// One jump-detector input: head height above the window's low point (cm) for the
// height detector, the smoothed acceleration along the chosen axis (m/s²) for the
// acceleration detector.
struct JumpSample {
  enum Flags : std::uint8_t { Fired = 1, Suppressed = 2, Acceleration = 4 };
  double time = 0;
  float signal = 0;
  std::uint8_t flags = 0;
};

struct CrouchSample {
  double time = 0;
  float heightCm = 0;
  bool crouching = false;
};

// What the live plots show, filled by the engine on its sample path. Big enough
// for 10 s of locomotion and head data and 5 s of jump input at 1000 samples a
// second; it lives on the heap (the engine owns it).
struct LiveHistory {
  SampleRing<LeanSample, 16384> lean;
  SampleRing<JumpSample, 8192> jump;
  SampleRing<CrouchSample, 16384> crouch;
};

}  // namespace core

#pragma once

#include <array>
#include <functional>

#include "app/core/logger.h"
#include "app/core/settings.h"

namespace engine {

// Change limits for a locomotion sample to count as movement.
constexpr float kAngleChangeLimit = 0.1f;        // degrees, angle sources
constexpr float kQuaternionChangeLimit = 0.001f;  // per component, quaternion sources

// Records a locomotion sample at engine time `now` for the watchdog: the sample
// time always; when any value differs from the stored last sample by more than
// `limit` (or no change was recorded yet), the change time and the sample, and
// the tracker is no longer stalled. Called by the handlers under the engine lock.
// Angle sources pass their three angles and 0 as the fourth value.
void noteLocomotionSample(core::Settings& settings, double now, const std::array<float, 4>& sample, float limit);

// Stops the walking when the locomotion tracker stops sending, or keeps sending
// the same pose, for more than two seconds while the output is not at rest.
class Watchdog {
 public:
  static constexpr double kLimit = 2.0;           // seconds
  static constexpr float kRestLimit = 0.0001f;    // output counts as moving above this

  // `resetOutputs` stops all motion (it takes the engine lock itself).
  Watchdog(core::Settings& settings, core::Logger& logger, std::function<void()> resetOutputs);

  // One check at engine time `now`; true when it fired. The engine thread calls
  // it under the engine lock so its reads and the handlers' writes never interleave.
  bool check(double now);

 private:
  core::Settings& settings_;
  core::Logger& logger_;
  std::function<void()> resetOutputs_;
};

}  // namespace engine

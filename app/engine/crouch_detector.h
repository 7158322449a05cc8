#pragma once

#include <atomic>

#include "app/core/clock.h"
#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/outputs/output_port.h"

namespace engine {

// Turns the head height into crouch input, with hysteresis between
// `squat_lower_threshold` and `squat_upper_threshold` (centimetres). Hold mode
// keeps the crouch output down while crouched; trigger mode gives a short press
// on going down and another on coming up. Called under the engine lock.
class CrouchDetector {
 public:
  static constexpr double kPressLength = 0.15;  // seconds, trigger mode

  CrouchDetector(core::Settings& settings, LiveView& live, core::Logger& logger, outputs::IOutputPort& output,
                 const core::Clock& clock);

  // y: head height in metres from the crouch source.
  void update(float y);

  // Crouch detection was switched off ("Disabled"): forget a crouch in progress
  // and, in hold mode, let go of the crouch output so it is never left held.
  // Does nothing when not crouching.
  void disable();

  bool crouching() const { return crouching_; }

  // When the trigger-mode press is let go (engine seconds); 0 when none is pending.
  double releaseTime() const { return releaseTime_; }
  // Under the engine lock: true once when the pending press has run its time at `now`.
  bool takeDueRelease(double now);

 private:
  core::Settings& settings_;
  LiveView& live_;
  core::Logger& logger_;
  outputs::IOutputPort& output_;
  const core::Clock& clock_;
  std::atomic<bool> crouching_{false};
  std::atomic<double> releaseTime_{0.0};
};

}  // namespace engine

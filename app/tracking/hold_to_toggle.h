#pragma once

#include "app/core/settings.h"
#include "app/tracking/tracking_toggle.h"

namespace tracking {

// The "Hold SteamVR Thumbstick" gesture: holding the bound controller's stick (or
// trackpad or trigger) click for two seconds toggles tracking once; the hold must be
// released before it can toggle again. Its state lives in Settings (hold_start_time,
// hold_active) and is changed only by the thread that calls `update`.
class HoldToToggle {
 public:
  static constexpr double kHoldSeconds = 2.0;

  HoldToToggle(core::Settings& settings, TrackingToggle& toggle) : settings_(settings), toggle_(toggle) {}

  // One reading of the button at `now` (monotonic seconds). True when it toggled.
  bool update(bool held, double now);

 private:
  core::Settings& settings_;
  TrackingToggle& toggle_;
};

}  // namespace tracking

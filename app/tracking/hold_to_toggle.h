#pragma once

#include <atomic>

#include "app/tracking/tracking_toggle.h"

namespace tracking {

// The "Hold SteamVR Thumbstick" gesture: holding the bound controller's stick (or
// trackpad or trigger) click for two seconds toggles tracking once; the hold must be
// released before it can toggle again. Its state is changed only by the thread that
// calls `update`; other threads may read it.
class HoldToToggle {
 public:
  static constexpr double kHoldSeconds = 2.0;

  explicit HoldToToggle(TrackingToggle& toggle) : toggle_(toggle) {}

  // One reading of the button at `now` (monotonic seconds). True when it toggled.
  bool update(bool held, double now);

  // The last reading saw the button held.
  bool holding() const { return active_; }
  // When the current hold started; 0 when none, or once it has toggled.
  double holdStart() const { return startTime_; }

 private:
  TrackingToggle& toggle_;
  std::atomic<double> startTime_{0.0};
  std::atomic<bool> active_{false};
};

}  // namespace tracking

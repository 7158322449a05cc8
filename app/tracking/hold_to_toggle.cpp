#include "app/tracking/hold_to_toggle.h"

namespace tracking {

bool HoldToToggle::update(bool held, double now) {
  if (!held) {
    active_ = false;
    startTime_ = 0.0;
    return false;
  }
  if (!active_) {
    startTime_ = now;
    active_ = true;
    return false;
  }
  const double start = startTime_.load();
  if (start > 0 && now - start >= kHoldSeconds) {
    toggle_.toggle();
    startTime_ = 0.0;  // one continuous hold toggles once
    return true;
  }
  return false;
}

}  // namespace tracking

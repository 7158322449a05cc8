#include "app/tracking/hold_to_toggle.h"

namespace tracking {

bool HoldToToggle::update(bool held, double now) {
  if (!held) {
    settings_.hold_active = false;
    settings_.hold_start_time = 0.0;
    return false;
  }
  if (!settings_.hold_active) {
    settings_.hold_start_time = now;
    settings_.hold_active = true;
    return false;
  }
  const double start = settings_.hold_start_time.load();
  if (start > 0 && now - start >= kHoldSeconds) {
    toggle_.toggle();
    settings_.hold_start_time = 0.0;  // one continuous hold toggles once
    return true;
  }
  return false;
}

}  // namespace tracking

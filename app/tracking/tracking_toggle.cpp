#include "app/tracking/tracking_toggle.h"

namespace tracking {

TrackingToggle::TrackingToggle(core::Settings& settings, core::IFeedbackSounds& sounds,
                               std::function<void()> resetOutputs, std::function<void()> saveSettings)
    : settings_(settings),
      sounds_(sounds),
      resetOutputs_(std::move(resetOutputs)),
      saveSettings_(std::move(saveSettings)) {}

bool TrackingToggle::toggle() {
  bool was = settings_.tracking_active.load();
  while (!settings_.tracking_active.compare_exchange_weak(was, !was)) {
  }
  const bool active = !was;
  if (!active) {
    if (resetOutputs_) resetOutputs_();
    sounds_.playStopSound();
  } else {
    sounds_.playStartSound();
  }
  if (saveSettings_) saveSettings_();
  return active;
}

}  // namespace tracking

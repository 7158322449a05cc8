#include "app/tracking/tracking_toggle.h"

namespace tracking {

TrackingToggle::TrackingToggle(core::Settings& settings, core::IFeedbackSounds& sounds,
                               std::function<void()> resetOutputs, std::function<void()> saveSettings)
    : settings_(settings),
      sounds_(sounds),
      resetOutputs_(std::move(resetOutputs)),
      saveSettings_(std::move(saveSettings)) {}

bool TrackingToggle::flip() {
  bool was = settings_.tracking_active.load();
  while (!settings_.tracking_active.compare_exchange_weak(was, !was)) {
  }
  if (was && resetOutputs_) resetOutputs_();
  return !was;
}

bool TrackingToggle::toggle() {
  const bool active = flip();
  if (active)
    sounds_.playStartSound();
  else
    sounds_.playStopSound();
  if (saveSettings_) saveSettings_();
  return active;
}

bool TrackingToggle::toggleAndSave() {
  const bool active = flip();
  if (saveSettings_) saveSettings_();
  return active;
}

bool TrackingToggle::toggleQuietly() { return flip(); }

}  // namespace tracking

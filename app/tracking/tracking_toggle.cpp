#include "app/tracking/tracking_toggle.h"

#include <chrono>

namespace tracking {

TrackingToggle::TrackingToggle(core::Settings& settings, core::IFeedbackSounds& sounds,
                               std::function<void()> resetOutputs, std::function<void()> saveSettings, Now now)
    : settings_(settings),
      sounds_(sounds),
      resetOutputs_(std::move(resetOutputs)),
      saveSettings_(std::move(saveSettings)),
      now_(std::move(now)) {}

double TrackingToggle::steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool TrackingToggle::admitNetworkToggle(ToggleSource source) {
  const double now = now_();
  std::lock_guard lock(gateMutex_);
  std::optional<double>& last = lastAdmitted_[static_cast<std::size_t>(source)];
  // A microsecond of slack, so a toggle exactly one spacing later is not lost to rounding.
  if (last && now - *last < kNetworkSpacing - 1e-6) return false;
  last = now;
  return true;
}

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

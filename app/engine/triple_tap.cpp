#include "app/engine/triple_tap.h"

#include <cmath>
#include <string>

namespace engine {

TripleTapCheck::TripleTapCheck(core::Settings& settings, LiveView& live, core::Logger& logger, const core::Clock& clock,
                               std::recursive_mutex& engineLock, std::function<void()> resetOutputs)
    : settings_(settings),
      live_(live),
      logger_(logger),
      clock_(clock),
      engineLock_(engineLock),
      resetOutputs_(std::move(resetOutputs)) {}

bool TripleTapCheck::fromLocomotionTracker(std::string_view source, const core::Config::Tracking& tracking) const {
  using core::Source;
  const Source tracker = tracking.tracker_source;
  if (source == core::choiceText(Source::Phone)) return tracker == Source::Phone;
  if (tracker == Source::SlimeSolarXr) {
    const std::string& name = tracking.slime_tracker_name;
    return name != "None" && source == name;
  }
  if (tracker == Source::SlimeOsc) {
    const std::string address = "/tracking/trackers/" + std::to_string(tracking.slime_tracker_id) + "/";
    return source.find(address) != std::string_view::npos;
  }
  return false;
}

std::optional<bool> TripleTapCheck::check(std::string_view source, float x, float y, float z) {
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  if (!config->program.slimevr_tap_toggle) return std::nullopt;
  if (!fromLocomotionTracker(source, config->tracking)) return std::nullopt;
  const int axis = config->program.slimevr_tap_axis;
  const float value = axis == 0   ? std::fabs(x)
                      : axis == 1 ? std::fabs(y)
                      : axis == 2 ? std::fabs(z)
                                  : std::sqrt(x * x + y * y + z * z);
  live_.tap_value = value;
  // Only a measure above the sensitivity is a tap; a NaN from a broken sample is not.
  if (!(value > config->program.slimevr_tap_sensitivity)) return std::nullopt;

  std::lock_guard lock(engineLock_);
  const double t = clock_.now();
  if (!(t - lastToggleTime_ > kLockOut && t - lastTapTime_ > kTapSpacing)) return std::nullopt;
  lastTapTime_ = t;
  if (tapCount_ == 0 || t - firstTapTime_ > kTapSpan) {
    tapCount_ = 1;
    firstTapTime_ = t;
    return std::nullopt;
  }
  if (++tapCount_ < 3) return std::nullopt;

  logger_.info("Engine: Triple-Tap detected! Toggling...");
  bool was = settings_.tracking_active.load();
  while (!settings_.tracking_active.compare_exchange_weak(was, !was)) {
  }
  if (was) resetOutputs_();  // re-entrant: the reset takes the engine lock again
  tapCount_ = 0;
  lastToggleTime_ = t;
  return !was;
}

}  // namespace engine

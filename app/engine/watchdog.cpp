#include "app/engine/watchdog.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace engine {

Watchdog::Watchdog(core::Settings& settings, const LiveView& live, TrackerActivity& activity, core::Logger& logger,
                   std::function<void()> resetOutputs)
    : settings_(settings), live_(live), activity_(activity), logger_(logger), resetOutputs_(std::move(resetOutputs)) {}

bool Watchdog::check(double now) {
  const double lastSample = activity_.lastSampleTime;
  const double lastChange = activity_.lastChangeTime;
  const double idle = lastSample > 0 ? now - lastSample : 0.0;
  const double frozen = lastChange > 0 ? now - lastChange : 0.0;
  if (!(idle > kLimit || frozen > kLimit)) return false;

  bool moving = std::fabs(live_.stick[0].load()) > kRestLimit || std::fabs(live_.stick[1].load()) > kRestLimit;
  for (int i = 0; i < 3; ++i) moving = moving || std::fabs(live_.centered_orientation[i]) > kRestLimit;
  if (!moving) return false;

  char line[160];
  std::snprintf(line, sizeof line, "Watchdog: Tracker %s detected (idle: %fs, frozen: %fs). Resetting outputs.",
                idle > kLimit ? "timeout" : "frozen", idle, frozen);
  logger_.warn(line);
  resetOutputs_();
  using core::Source;
  const Source source = settings_.config.snapshot()->tracking.tracker_source;
  if (source == Source::SteamVrTracker || source == Source::Phone || source == Source::SlimeSolarXr ||
      source == Source::SlimeOsc)
    activity_.stalled = true;
  activity_.lastSampleTime = now;
  activity_.lastChangeTime = now;
  return true;
}

}  // namespace engine

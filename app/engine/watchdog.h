#pragma once

#include <functional>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/engine/tracker_activity.h"

namespace engine {

// Stops the walking when the locomotion tracker stops sending, or keeps sending
// the same pose, for more than two seconds while the output is not at rest.
class Watchdog {
 public:
  static constexpr double kLimit = 2.0;         // seconds
  static constexpr float kRestLimit = 0.0001f;  // output counts as moving above this

  // `live` and `activity` are the engine's; `resetOutputs` stops all motion (it takes
  // the engine lock itself).
  Watchdog(core::Settings& settings, const LiveView& live, TrackerActivity& activity, core::Logger& logger,
           std::function<void()> resetOutputs);

  // One check at engine time `now`; true when it fired. The engine thread calls
  // it under the engine lock so its reads and the handlers' writes never interleave.
  bool check(double now);

 private:
  core::Settings& settings_;
  const LiveView& live_;
  TrackerActivity& activity_;
  core::Logger& logger_;
  std::function<void()> resetOutputs_;
};

}  // namespace engine

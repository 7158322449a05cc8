#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string_view>

#include "app/core/clock.h"
#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/live_view.h"

namespace engine {

// Three quick taps on the locomotion tracker flip the tracking-active flag.
// Runs first in the acceleration handler, also while tracking is off.
class TripleTapCheck {
 public:
  static constexpr double kTapSpacing = 0.15;  // seconds; closer samples belong to the same tap
  static constexpr double kTapSpan = 1.2;      // three taps must start within this
  static constexpr double kLockOut = 1.0;      // after a toggle, taps are ignored this long

  TripleTapCheck(core::Settings& settings, LiveView& live, core::Logger& logger, const core::Clock& clock,
                 std::recursive_mutex& engineLock, std::function<void()> resetOutputs);

  // Returns the new tracking state when this sample completed a triple tap (the
  // caller then plays the sound and saves, after releasing the engine lock).
  std::optional<bool> check(std::string_view source, float x, float y, float z);

 private:
  bool fromLocomotionTracker(std::string_view source, const core::Config::Tracking& tracking) const;

  core::Settings& settings_;
  LiveView& live_;
  core::Logger& logger_;
  const core::Clock& clock_;
  std::recursive_mutex& engineLock_;
  std::function<void()> resetOutputs_;
  // Guarded by the engine lock.
  int tapCount_ = 0;
  double firstTapTime_ = 0;
  double lastTapTime_ = 0;
  double lastToggleTime_ = 0;
};

}  // namespace engine

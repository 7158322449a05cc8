#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string_view>

#include "app/core/feedback_sounds.h"
#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/engine_clock.h"

namespace engine {

// Switching locomotion on and off (the tracking-active flag). Every form flips
// the flag atomically and stops all motion when tracking became inactive.
class TrackingToggle {
 public:
  // `resetOutputs` stops all motion (it takes the engine lock itself);
  // `saveSettings` writes the settings file.
  TrackingToggle(core::Settings& settings, core::IFeedbackSounds& sounds, std::function<void()> resetOutputs,
                 std::function<void()> saveSettings);

  // Triple tap, the phone's messages and the thumbstick hold: flip, stop motion
  // and play the stop sound, or play the start sound; then save. Returns the new state.
  bool toggleWithFeedback();
  // OSC reset message: flip, stop motion when stopped, save; no sound.
  bool toggleAndSave();
  // The window's START/STOP button: flip and stop motion when stopped; no sound, no save.
  bool toggle();

  // The second half of a triple-tap toggle, run after the engine lock is released:
  // the sound for the new state, then the save.
  void announce(bool nowActive);

 private:
  bool flip();

  core::Settings& settings_;
  core::IFeedbackSounds& sounds_;
  std::function<void()> resetOutputs_;
  std::function<void()> saveSettings_;
};

// Three quick taps on the locomotion tracker flip the tracking-active flag.
// Runs first in the acceleration handler, also while tracking is off.
class TripleTapCheck {
 public:
  static constexpr double kTapSpacing = 0.15;  // seconds; closer samples belong to the same tap
  static constexpr double kTapSpan = 1.2;      // three taps must start within this
  static constexpr double kLockOut = 1.0;      // after a toggle, taps are ignored this long

  TripleTapCheck(core::Settings& settings, core::Logger& logger, const Clock& clock, std::recursive_mutex& engineLock,
                 std::function<void()> resetOutputs);

  // Returns the new tracking state when this sample completed a triple tap (the
  // caller then plays the sound and saves, after releasing the engine lock).
  std::optional<bool> check(std::string_view source, float x, float y, float z);

 private:
  bool fromLocomotionTracker(std::string_view source) const;

  core::Settings& settings_;
  core::Logger& logger_;
  const Clock& clock_;
  std::recursive_mutex& engineLock_;
  std::function<void()> resetOutputs_;
  // Guarded by the engine lock.
  int tapCount_ = 0;
  double firstTapTime_ = 0;
  double lastTapTime_ = 0;
  double lastToggleTime_ = 0;
};

}  // namespace engine

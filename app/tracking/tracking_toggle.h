#pragma once

#include <functional>

#include "app/core/feedback_sounds.h"
#include "app/core/settings.h"

namespace tracking {

// Switches locomotion on or off from the body (the phone's tap and reset events):
// flips the tracking-active flag; when it became false, stops all motion and plays
// the stop sound; when it became true, plays the start sound; then saves the settings.
class TrackingToggle {
 public:
  // `resetOutputs` stops all motion (the engine's reset); `saveSettings` writes the
  // settings file. Either may be empty, meaning there is nothing to call.
  TrackingToggle(core::Settings& settings, core::IFeedbackSounds& sounds, std::function<void()> resetOutputs,
                 std::function<void()> saveSettings);

  // Returns the new state of the tracking-active flag. Safe to call from any thread;
  // two toggles at once flip the flag twice, never lose one.
  bool toggle();

  // The shorter forms, without sound. The OSC reset message: flip, stop all motion
  // when it became false, save.
  bool toggleAndSave();
  // The window's START/STOP button: flip and stop all motion when it became false.
  bool toggleQuietly();

 private:
  // Flips the flag atomically; stops all motion when it became false. Returns the new state.
  bool flip();

  core::Settings& settings_;
  core::IFeedbackSounds& sounds_;
  std::function<void()> resetOutputs_;
  std::function<void()> saveSettings_;
};

}  // namespace tracking

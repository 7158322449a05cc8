#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <optional>

#include "app/core/feedback_sounds.h"
#include "app/core/settings.h"

namespace tracking {

// Where a toggle asked for over the network came from; each has its own spacing.
enum class ToggleSource { Phone, Osc };

// Switches locomotion on or off from the body (the phone's tap and reset events):
// flips the tracking-active flag; when it became false, stops all motion and plays
// the stop sound; when it became true, plays the start sound; then saves the settings.
class TrackingToggle {
 public:
  // Toggles from one network source count at most once in this many seconds.
  static constexpr double kNetworkSpacing = 0.5;
  // Monotonic seconds.
  using Now = std::function<double()>;

  // `resetOutputs` stops all motion (the engine's reset); `saveSettings` asks for the
  // settings file to be written. Either may be empty, meaning there is nothing to call.
  TrackingToggle(core::Settings& settings, core::IFeedbackSounds& sounds, std::function<void()> resetOutputs,
                 std::function<void()> saveSettings, Now now = steadySeconds);

  // Returns the new state of the tracking-active flag. Safe to call from any thread;
  // two toggles at once flip the flag twice, never lose one.
  bool toggle();

  // The shorter forms, without sound. The OSC reset message: flip, stop all motion
  // when it became false, save.
  bool toggleAndSave();
  // The window's START/STOP button: flip and stop all motion when it became false.
  bool toggleQuietly();

  // Whether a toggle that `source` asks for counts now: the first does, then none
  // until kNetworkSpacing has passed since the last one that counted. Anyone who can
  // reach a port could otherwise flip tracking as fast as they can send.
  bool admitNetworkToggle(ToggleSource source);

  static double steadySeconds();

 private:
  // Flips the flag atomically; stops all motion when it became false. Returns the new state.
  bool flip();

  core::Settings& settings_;
  core::IFeedbackSounds& sounds_;
  std::function<void()> resetOutputs_;
  std::function<void()> saveSettings_;
  Now now_;
  std::mutex gateMutex_;
  std::array<std::optional<double>, 2> lastAdmitted_;  // by ToggleSource
};

}  // namespace tracking

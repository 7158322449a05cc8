#pragma once

#include <string_view>

namespace engine {

// What a triple-tap check did to the tracking-active flag.
enum class TapToggle { None, TurnedOn, TurnedOff };

// The detectors that sit beside the locomotion mapping: jump and crouch detection,
// the triple-tap toggle and the tracker watchdog. The engine calls these at fixed
// points of its handlers and thread pass; every default does nothing, so the
// engine runs without them. Set once with Engine::setHooks before Engine::start.
class EngineHooks {
 public:
  virtual ~EngineHooks() = default;

  // Acceleration handler, before the engine lock is taken and before the
  // tracking-active check (taps also switch tracking back on). Takes the engine
  // lock itself for counting and toggling, and calls Engine::resetOutputs when
  // it switches tracking off.
  virtual TapToggle checkTap(std::string_view source, float x, float y, float z) { return TapToggle::None; }
  // After the acceleration handler released the lock, when checkTap toggled:
  // plays the start or stop sound. The engine saves the settings file after it.
  virtual void tapToggled(bool nowActive) {}

  // Under the engine lock: the jump tracker's orientation, for head-tilt compensation.
  virtual void setJumpOrientation(float a, float b, float c) {}
  // Under the engine lock: a head height (metres) of the jump source. True reports
  // a jump; the engine then logs it, presses jump and schedules the release.
  virtual bool detectHeightJump(float height) { return false; }
  // Under the engine lock: an acceleration sample of the jump source; true as above.
  virtual bool detectAccelerationJump(float x, float y, float z) { return false; }
  // Under the engine lock: a head height (metres) of the crouch source. The crouch
  // detector presses crouch itself and, in trigger mode, times the press's end.
  virtual void updateCrouch(float height) {}
  // Engine thread, under the engine lock, once per pass before the watchdog: true
  // when a timed crouch press has run its time at `now` (and is forgotten); the
  // engine then lets go of crouch.
  virtual bool takeDueCrouchRelease(double now) { return false; }

  // Engine thread, once per pass after the timed releases, at engine time `now`.
  // Reads the sample times without the lock; takes it through resetOutputs.
  virtual void watchdog(double now) {}
};

}  // namespace engine

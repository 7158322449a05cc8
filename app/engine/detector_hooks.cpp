#include "app/engine/detector_hooks.h"

namespace engine {

DetectorHooks::DetectorHooks(Engine& engine, core::Logger& logger, outputs::IOutputPort& output,
                             core::IFeedbackSounds& sounds, const engine::WallClock& wallClock)
    : engine_(engine),
      sounds_(sounds),
      jumps_(engine.settings(), engine.live(), wallClock),
      crouch_(engine.settings(), engine.live(), logger, output, engine.clock()),
      taps_(engine.settings(), engine.live(), logger, engine.clock(), engine.lock(),
            [&engine] { engine.resetOutputs(); }),
      watchdog_(engine.settings(), engine.live(), engine.activity(), logger, [&engine] { engine.resetOutputs(); }) {}

TapToggle DetectorHooks::checkTap(std::string_view source, float x, float y, float z) {
  const std::optional<bool> toggled = taps_.check(source, x, y, z);
  if (!toggled) return TapToggle::None;
  return *toggled ? TapToggle::TurnedOn : TapToggle::TurnedOff;
}

void DetectorHooks::tapToggled(bool nowActive) {
  if (nowActive)
    sounds_.playStartSound();
  else
    sounds_.playStopSound();
}

void DetectorHooks::setJumpOrientation(float a, float b, float c) { jumps_.setOrientation(a, b, c); }

bool DetectorHooks::detectHeightJump(float height) { return jumps_.height(height); }

bool DetectorHooks::detectAccelerationJump(float x, float y, float z) { return jumps_.acceleration(x, y, z); }

void DetectorHooks::updateCrouch(float height) { crouch_.update(height); }

bool DetectorHooks::takeDueCrouchRelease(double now) { return crouch_.takeDueRelease(now); }

void DetectorHooks::watchdog(double now) {
  // Under the engine lock, so the sample times and live values read here are the
  // ones the handlers last wrote as a whole, and a reset cannot interleave with a sample.
  std::lock_guard lock(engine_.lock());
  core::Settings& settings = engine_.settings();
  TrackerActivity& activity = engine_.activity();
  // While tracking is off the handlers ignore the tracker, so its sample times go
  // stale. On resume the watchdog starts counting afresh; otherwise a tracker that
  // kept still during the pause would be called frozen the moment walking resumes.
  if (!settings.tracking_active) {
    paused_ = true;
  } else if (paused_) {
    paused_ = false;
    if (activity.lastSampleTime > 0) activity.lastSampleTime = now;
    if (activity.lastChangeTime > 0) activity.lastChangeTime = now;
  }
  watchdog_.check(now);
  const core::Source squat = settings.config.snapshot()->tracking.squat_source;
  if (squat != core::Source::OpenVr && squat != core::Source::OpenXr) crouch_.disable();
}

}  // namespace engine

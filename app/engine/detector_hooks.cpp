#include "app/engine/detector_hooks.h"

namespace engine {

DetectorHooks::DetectorHooks(Engine& engine, core::Logger& logger, outputs::IOutputPort& output,
                             core::IFeedbackSounds& sounds, const engine::WallClock& wallClock)
    : engine_(engine),
      sounds_(sounds),
      jumps_(engine.settings(), wallClock),
      crouch_(engine.settings(), logger, output, engine.clock()),
      taps_(engine.settings(), logger, engine.clock(), engine.lock(), [&engine] { engine.resetOutputs(); }),
      watchdog_(engine.settings(), logger, [&engine] { engine.resetOutputs(); }) {}

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

void DetectorHooks::watchdog(double now) {
  // Under the engine lock, so the sample times and live values read here are the
  // ones the handlers last wrote as a whole, and a reset cannot interleave with a sample.
  std::lock_guard lock(engine_.lock());
  core::Settings& settings = engine_.settings();
  // While tracking is off the handlers ignore the tracker, so its sample times go
  // stale. On resume the watchdog starts counting afresh; otherwise a tracker that
  // kept still during the pause would be called frozen the moment walking resumes.
  if (!settings.tracking_active) {
    paused_ = true;
  } else if (paused_) {
    paused_ = false;
    if (settings.last_sample_time > 0) settings.last_sample_time = now;
    if (settings.last_change_time > 0) settings.last_change_time = now;
  }
  watchdog_.check(now);
  const core::Source squat = settings.config.snapshot()->tracking.squat_source;
  if (squat != core::Source::OpenVr && squat != core::Source::OpenXr) crouch_.disable();
}

}  // namespace engine

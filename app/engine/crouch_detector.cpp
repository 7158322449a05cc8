#include "app/engine/crouch_detector.h"

#include <cmath>

namespace engine {

CrouchDetector::CrouchDetector(core::Settings& settings, LiveView& live, core::Logger& logger,
                               outputs::IOutputPort& output, const core::Clock& clock)
    : settings_(settings), live_(live), logger_(logger), output_(output), clock_(clock) {}

void CrouchDetector::update(float y) {
  // A non-finite height compares false against both thresholds; skip it whole so
  // the displayed height stays meaningful.
  if (!std::isfinite(y)) return;
  const float h = y * 100.0f;
  live_.head_height = h;
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  const core::Config::Crouch& crouch = config->crouch;
  const bool hold = crouch.squat_is_hold;
  if (!crouching_ && h < crouch.squat_lower_threshold) {
    crouching_ = true;
    logger_.info("Engine: Crouching detected!");
    output_.setCrouch(true);
    releaseTime_ = hold ? 0.0 : clock_.now() + kPressLength;
  } else if (crouching_ && h > crouch.squat_upper_threshold) {
    crouching_ = false;
    logger_.info("Engine: Standing up detected!");
    if (hold) {
      output_.setCrouch(false);
    } else {
      output_.setCrouch(true);
      releaseTime_ = clock_.now() + kPressLength;
    }
  }
  live_.crouching = crouching_.load();
}

bool CrouchDetector::takeDueRelease(double now) {
  const double due = releaseTime_;
  if (due <= 0.0 || now < due) return false;
  releaseTime_ = 0.0;
  return true;
}

void CrouchDetector::disable() {
  if (!crouching_) return;
  crouching_ = false;
  live_.crouching = false;
  // In trigger mode a press still pending is released by its timer as usual.
  if (settings_.config.snapshot()->crouch.squat_is_hold) output_.setCrouch(false);
}

}  // namespace engine

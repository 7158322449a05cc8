#pragma once

#include "app/core/feedback_sounds.h"
#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/crouch_detector.h"
#include "app/engine/engine.h"
#include "app/engine/jump_detector.h"
#include "app/engine/triple_tap.h"
#include "app/engine/watchdog.h"

namespace engine {

// The detectors beside the locomotion mapping, plugged into the engine's hook
// points: jump detection (height or acceleration), crouch detection, the triple-tap
// toggle with its sounds, and the tracker watchdog.
class DetectorHooks final : public EngineHooks {
 public:
  DetectorHooks(Engine& engine, core::Logger& logger, outputs::IOutputPort& output, core::IFeedbackSounds& sounds,
                const engine::WallClock& wallClock);

  TapToggle checkTap(std::string_view source, float x, float y, float z) override;
  void tapToggled(bool nowActive) override;
  void setJumpOrientation(float a, float b, float c) override;
  bool detectHeightJump(float height) override;
  bool detectAccelerationJump(float x, float y, float z) override;
  void updateCrouch(float height) override;
  bool takeDueCrouchRelease(double now) override;
  // Once per engine pass: the watchdog, and letting go of a held crouch when crouch
  // detection has been switched off.
  void watchdog(double now) override;

  // For the Jump tab: the selected detector's jumping flag (read without the lock).
  bool isJumping() const { return jumps_.isJumping(); }

 private:
  Engine& engine_;
  core::IFeedbackSounds& sounds_;
  engine::JumpDetectorManager jumps_;
  CrouchDetector crouch_;
  TripleTapCheck taps_;
  Watchdog watchdog_;
  bool paused_ = false;  // tracking was off at the last pass; engine thread only
};

}  // namespace engine

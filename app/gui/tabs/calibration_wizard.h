#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/settings.h"
#include "app/engine/calibration.h"
#include "app/gui/gui_actions.h"

namespace gui::tabs {

// The guided calibration behind "CALIBRATE": stand still, then lean forward,
// back, left and right, each with a short countdown and a recording with a
// progress bar; then, offered where a head source exists and skippable, stand,
// jump twice, crouch and stand up; then the old and new values side by side
// with APPLY (stores and saves) and CANCEL (changes nothing). A step whose
// source went silent or whose movement was too small stops with a message and
// RETRY. Time is the engine clock (`engineNow`), the samples' own clock.
class CalibrationWizard {
 public:
  enum class Phase { Idle, Ready, Recording, Failed, Offer, Review };
  static constexpr double kReadySeconds = 2.0, kStepSeconds = 3.0;
  // The head step's parts: standing still, jumping (with a jump source),
  // crouching and standing up (with a crouch source).
  static constexpr double kStillSeconds = 2.0, kJumpSeconds = 4.0, kCrouchSeconds = 4.0;
  static constexpr int kSteps = 6;  // stand, forward, back, left, right, and the optional head step
  static constexpr int kHeadStep = 5;

  CalibrationWizard(core::Settings& settings, const GuiActions& actions);

  void start();
  bool active() const { return phase_ != Phase::Idle; }
  Phase phase() const { return phase_; }
  int step() const { return step_; }
  // Why the current step stopped (Failed), for the player.
  const std::string& problem() const { return problem_; }
  // Draws the wizard in the current window and moves it on with the clock.
  void render();
  // Changes whenever what the wizard shows would (for the window's rest).
  long long shownState() const;

  // The values APPLY would store.
  struct Result {
    engine::Angles centre{};
    float deadzone = 0, maxAngleX = 0, maxAngleY = 0;
    // The head step's sources (as it began), whether it measured, and what.
    engine::calibration::JumpSignal jumpSignal = engine::calibration::JumpSignal::None;
    bool crouch = false, headMeasured = false;
    float jumpThreshold = 0, crouchUpper = 0, crouchLower = 0;
  };
  const Result& result() const { return result_; }
  // The head step's recording: when its jumping and crouching parts begin (engine clock).
  double jumpsFrom() const { return phaseStart_ + kStillSeconds; }
  double crouchFrom() const;

 private:
  // Collects a ring's samples from a time on, a frame at a time, so that a
  // step keeps every sample even when the ring wraps during it.
  template <class Sample>
  struct Harvest {
    std::vector<Sample> samples;
    double from = 0;
    template <class Ring>
    void collect(const Ring& ring);

   private:
    std::uint64_t seen_ = 0;
    std::vector<Sample> fresh_;
  };

  double now() const;
  double stepSeconds() const;
  void advance(double t);
  void beginRecording(double t);
  void finishStep(double t);
  engine::calibration::Problem finishHeadStep();
  void finishLeans();
  void renderStep(double t);
  void renderFailure();
  void renderOffer();
  void renderReview();
  void apply();
  engine::AxisMap axisMap() const;

  core::Settings& settings_;
  const GuiActions& actions_;
  Phase phase_ = Phase::Idle;
  int step_ = 0;
  double phaseStart_ = 0;
  std::string problem_;
  engine::calibration::StandResult stand_;
  float reach_[4] = {};
  Result result_;
  std::string skipped_;  // why the head step did not run, for the review
  Harvest<core::LeanSample> lean_;
  Harvest<core::JumpSample> jump_;
  Harvest<core::CrouchSample> crouch_;
};

}  // namespace gui::tabs

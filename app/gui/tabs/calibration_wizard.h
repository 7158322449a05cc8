#pragma once

#include <string>
#include <vector>

#include "app/core/settings.h"
#include "app/engine/calibration.h"
#include "app/gui/gui_actions.h"

namespace gui::tabs {

// The guided calibration behind "CALIBRATE": stand still, then lean forward,
// back, left and right, each with a short countdown and a recording with a
// progress bar; then the old and new centre, dead zone and sensitivities side
// by side with APPLY (stores and saves) and CANCEL (changes nothing). A step
// whose tracker went silent or whose lean was too small stops with a message
// and RETRY. Time is the engine clock (`engineNow`), the samples' own clock.
class CalibrationWizard {
 public:
  enum class Phase { Idle, Ready, Recording, Failed, Review };
  static constexpr double kReadySeconds = 2.0, kStepSeconds = 3.0;
  static constexpr int kSteps = 5;  // stand, forward, back, left, right

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
  };
  const Result& result() const { return result_; }

 private:
  double now() const;
  void advance(double t);
  void finishStep(double t);
  void renderStep(double t);
  void renderFailure();
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
  std::vector<core::LeanSample> copy_;
};

}  // namespace gui::tabs

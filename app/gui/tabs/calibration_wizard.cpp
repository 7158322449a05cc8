#include "app/gui/tabs/calibration_wizard.h"

#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "app/gui/palette.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using engine::calibration::Direction;
using engine::calibration::Problem;
using palette::rgb;

using engine::calibration::JumpSignal;

struct StepText {
  const char* title;
  const char* instruction;
};
constexpr StepText kStepTexts[CalibrationWizard::kSteps] = {
    {"Stand still", "Stand upright and relaxed, look ahead, and keep still."},
    {"Lean forward", "Lean forward as far as is comfortable, and hold it."},
    {"Lean back", "Now lean back as far as is comfortable, and hold it."},
    {"Lean left", "Lean to your left as far as is comfortable, and hold it."},
    {"Lean right", "Lean to your right as far as is comfortable, and hold it."},
    {"Jump and crouch (optional)", ""},
};
constexpr Direction kDirections[4] = {Direction::Forward, Direction::Back, Direction::Left, Direction::Right};

bool wizardButton(const char* label) {
  const bool clicked = raisedButton(label, ImVec2(180, 48));
  return clicked;
}

// The head step's whole instruction, for the sources it has.
const char* headInstruction(bool jumps, bool crouch) {
  if (jumps && crouch) return "Stand still, then jump twice, then crouch down and stand up again.";
  if (jumps) return "Stand still, then jump twice.";
  return "Stand still, then crouch down and stand up again.";
}

}  // namespace

CalibrationWizard::CalibrationWizard(core::Settings& settings, const GuiActions& actions)
    : settings_(settings), actions_(actions) {}

double CalibrationWizard::now() const {
  if (actions_.engineNow) return actions_.engineNow();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

engine::AxisMap CalibrationWizard::axisMap() const {
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  const core::Source tracker = config->tracking.tracker_source;
  const bool slime = tracker == core::Source::SlimeOsc || tracker == core::Source::SlimeSolarXr;
  return engine::StickMapper::axisMap(config->locomotion, slime);
}

template <class Sample>
template <class Ring>
void CalibrationWizard::Harvest<Sample>::collect(const Ring& ring) {
  const std::uint64_t written = ring.written();
  // What arrived since the last look, and a margin for samples pushed while
  // copying (those already kept are dropped by their time).
  const std::uint64_t wanted = std::min<std::uint64_t>(written - std::min(seen_, written) + 64, Ring::kCapacity);
  fresh_.resize(static_cast<std::size_t>(wanted));
  fresh_.resize(ring.copyLatest(fresh_.data(), fresh_.size()));
  seen_ = written;
  for (const Sample& s : fresh_)
    if (s.time >= from && (samples.empty() || s.time > samples.back().time)) samples.push_back(s);
}

void CalibrationWizard::start() {
  phase_ = Phase::Ready;
  step_ = 0;
  phaseStart_ = now();
  problem_.clear();
  skipped_.clear();
  result_ = {};
}

double CalibrationWizard::crouchFrom() const {
  return jumpsFrom() + (result_.jumpSignal != JumpSignal::None ? kJumpSeconds : 0.0);
}

double CalibrationWizard::stepSeconds() const {
  if (step_ != kHeadStep) return kStepSeconds;
  return crouchFrom() - phaseStart_ + (result_.crouch ? kCrouchSeconds : 0.0);
}

long long CalibrationWizard::shownState() const {
  if (!active()) return 0;
  // The countdown and progress bar move ten times a second.
  return (static_cast<long long>(phase_) << 56) ^ (static_cast<long long>(step_) << 48) ^
         (phase_ == Phase::Ready || phase_ == Phase::Recording ? static_cast<long long>(now() * 10) : 0);
}

void CalibrationWizard::advance(double t) {
  if (phase_ == Phase::Ready && t - phaseStart_ >= kReadySeconds) beginRecording(t);
  if (phase_ != Phase::Recording) return;
  if (const core::LiveHistory* history = actions_.history) {
    if (step_ == kHeadStep) {
      jump_.collect(history->jump);
      crouch_.collect(history->crouch);
    } else {
      lean_.collect(history->lean);
    }
  }
  if (t - phaseStart_ >= stepSeconds()) finishStep(t);
}

void CalibrationWizard::beginRecording(double t) {
  phase_ = Phase::Recording;
  phaseStart_ = t;
  lean_ = {};
  jump_ = {};
  crouch_ = {};
  lean_.from = jump_.from = crouch_.from = t;
}

void CalibrationWizard::finishStep(double t) {
  Problem problem;
  if (step_ == kHeadStep) {
    problem = finishHeadStep();
  } else {
    engine::calibration::Recording recording{lean_.samples, phaseStart_, phaseStart_ + kStepSeconds};
    const engine::AxisMap map = axisMap();
    if (step_ == 0) {
      stand_ = engine::calibration::stand(recording, map);
      problem = stand_.problem;
      problem_ = stand_.message;
    } else {
      const auto lean =
          engine::calibration::lean(recording, map, stand_.centre, stand_.deadzone, kDirections[step_ - 1]);
      reach_[step_ - 1] = lean.reach;
      problem = lean.problem;
      problem_ = lean.message;
    }
  }
  if (problem != Problem::None) {
    phase_ = Phase::Failed;
    return;
  }
  if (step_ == kHeadStep) {
    phase_ = Phase::Review;
    return;
  }
  if (++step_ < kHeadStep) {
    phase_ = Phase::Ready;
    phaseStart_ = t;
    return;
  }
  finishLeans();
}

void CalibrationWizard::finishLeans() {
  result_.centre = stand_.centre;
  result_.deadzone = stand_.deadzone;
  result_.maxAngleY = engine::calibration::sensitivity(reach_[0], reach_[1]);
  result_.maxAngleX = engine::calibration::sensitivity(reach_[2], reach_[3]);
  result_.jumpSignal = engine::calibration::jumpSignalOf(settings_.config.snapshot()->tracking.hmd_source);
  result_.crouch = engine::calibration::hasCrouchSource(settings_.config.snapshot()->tracking.squat_source);
  if (result_.jumpSignal != JumpSignal::None || result_.crouch) {
    phase_ = Phase::Offer;
    return;
  }
  skipped_ = "Jump and crouch: skipped, no head source is selected (Jump and Crouch tabs).";
  phase_ = Phase::Review;
}

Problem CalibrationWizard::finishHeadStep() {
  engine::calibration::HeadRecording recording{jump_.samples, crouch_.samples, phaseStart_,
                                               jumpsFrom(),   crouchFrom(),    phaseStart_ + stepSeconds()};
  const engine::calibration::HeadResult head = engine::calibration::head(recording, result_.jumpSignal, result_.crouch);
  problem_ = head.message;
  if (head.problem == Problem::None) {
    result_.headMeasured = true;
    result_.jumpThreshold = head.jumpThreshold;
    result_.crouchUpper = head.upper;
    result_.crouchLower = head.lower;
  }
  return head.problem;
}

void CalibrationWizard::render() {
  if (!active()) return;
  const double t = now();
  advance(t);
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() + 20);
  if (beginCard("CalibrationWizard", ImVec2(ImGui::GetContentRegionAvail().x - 20, 0), true, true)) {
    sectionTitle("Calibration");
    if (phase_ == Phase::Ready || phase_ == Phase::Recording) renderStep(t);
    if (phase_ == Phase::Failed) renderFailure();
    if (phase_ == Phase::Offer) renderOffer();
    if (phase_ == Phase::Review) renderReview();
  }
  endCard();
}

void CalibrationWizard::renderStep(double t) {
  const StepText& text = kStepTexts[step_];
  ImGui::TextColored(rgb(palette::kInfo), "Step %d of %d: %s", step_ + 1, kSteps, text.title);
  const double elapsed = t - phaseStart_;
  const bool jumps = result_.jumpSignal != JumpSignal::None;
  const char* instruction = text.instruction;
  if (step_ == kHeadStep) {
    instruction = headInstruction(jumps, result_.crouch);
    if (phase_ == Phase::Recording)
      instruction = t < jumpsFrom()    ? "Stand still..."
                    : t < crouchFrom() ? "Jump! Twice, a second or so apart."
                                       : "Crouch down as far as is comfortable, then stand up again.";
  }
  ImGui::TextColored(rgb(palette::kWhite), "%s", instruction);
  if (phase_ == Phase::Ready) {
    const int left = static_cast<int>(std::ceil(kReadySeconds - elapsed));
    ImGui::TextColored(rgb(palette::kAccent), "Get ready: starting in %d...", std::max(left, 1));
    ImGui::ProgressBar(0.0f, ImVec2(-1, 24), "");
  } else {
    const double seconds = stepSeconds();
    const int left = static_cast<int>(std::ceil(seconds - elapsed));
    ImGui::TextColored(rgb(palette::kGood),
                       step_ == kHeadStep ? "Recording: %d more s" : "Recording: hold it for %d more s",
                       std::max(left, 1));
    ImGui::PushStyleColor(ImGuiCol_PlotHistogram, rgb(palette::kGood));
    ImGui::ProgressBar(static_cast<float>(std::clamp(elapsed / seconds, 0.0, 1.0)), ImVec2(-1, 24), "");
    ImGui::PopStyleColor();
  }
  noteItem("CalibrationProgress");
  if (wizardButton("CANCEL")) phase_ = Phase::Idle;
}

void CalibrationWizard::renderFailure() {
  ImGui::TextColored(rgb(palette::kInfo), "Step %d of %d: %s", step_ + 1, kSteps, kStepTexts[step_].title);
  ImGui::TextColored(rgb(palette::kBad), "%s", problem_.c_str());
  noteItem("CalibrationProblem");
  if (wizardButton("RETRY")) {
    phase_ = Phase::Ready;
    phaseStart_ = now();
  }
  ImGui::SameLine();
  if (step_ == kHeadStep && wizardButton("SKIP")) {
    skipped_ = "Jump and crouch: skipped.";
    phase_ = Phase::Review;
  }
  if (step_ == kHeadStep) ImGui::SameLine();
  if (wizardButton("CANCEL")) phase_ = Phase::Idle;
}

void CalibrationWizard::renderOffer() {
  ImGui::TextColored(rgb(palette::kInfo), "Step %d of %d: %s", step_ + 1, kSteps, kStepTexts[step_].title);
  const bool jumps = result_.jumpSignal != JumpSignal::None;
  ImGui::TextColored(rgb(palette::kWhite), "%s", headInstruction(jumps, result_.crouch));
  ImGui::TextColored(rgb(palette::kWhite), "%s",
                     jumps && result_.crouch ? "This sets the jump threshold and the crouch heights."
                     : jumps                 ? "This sets the jump threshold."
                                             : "This sets the crouch heights.");
  noteItem("CalibrationOffer");
  if (wizardButton("START")) {
    phase_ = Phase::Ready;
    phaseStart_ = now();
  }
  ImGui::SameLine();
  if (wizardButton("SKIP")) {
    skipped_ = "Jump and crouch: skipped.";
    phase_ = Phase::Review;
  }
}

void CalibrationWizard::renderReview() {
  ImGui::TextColored(rgb(palette::kWhite), "%s", "Done. Compare the measured values with the current ones:");
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  const core::Config::Locomotion& locomotion = config->locomotion;
  const engine::Angles oldCentre = locomotion.center_offset;
  if (ImGui::BeginTable("CalibrationValues", 3, ImGuiTableFlags_BordersInnerH)) {
    ImGui::TableSetupColumn("Setting");
    ImGui::TableSetupColumn("Current");
    ImGui::TableSetupColumn("Measured");
    ImGui::TableHeadersRow();
    auto row = [](const char* name, const char* format, float before, float after) {
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(name);
      ImGui::TableNextColumn();
      ImGui::Text(format, before);
      ImGui::TableNextColumn();
      ImGui::TextColored(rgb(palette::kGood), format, after);
    };
    ImGui::TableNextRow();
    ImGui::TableNextColumn();
    ImGui::TextUnformatted("Center");
    ImGui::TableNextColumn();
    ImGui::Text("%.1f, %.1f, %.1f deg", oldCentre[0], oldCentre[1], oldCentre[2]);
    ImGui::TableNextColumn();
    ImGui::TextColored(rgb(palette::kGood), "%.1f, %.1f, %.1f deg", result_.centre[0], result_.centre[1],
                       result_.centre[2]);
    row("Deadzone", "%.1f deg", locomotion.deadzone, result_.deadzone);
    row("Horizontal Sensitivity (L/R)", "%.0f deg", locomotion.max_angle_x, result_.maxAngleX);
    row("Forward Sensitivity (F/B)", "%.0f deg", locomotion.max_angle_y, result_.maxAngleY);
    if (result_.headMeasured && result_.jumpSignal == JumpSignal::Height)
      row("Jump Threshold", "%.1f cm", config->jump.jump_threshold, result_.jumpThreshold);
    if (result_.headMeasured && result_.jumpSignal == JumpSignal::Acceleration)
      row("Jump Threshold", "%.1f m/s\xC2\xB2", config->jump.jump_accel_threshold, result_.jumpThreshold);
    if (result_.headMeasured && result_.crouch) {
      row("Crouch Upper Threshold", "%.1f cm", config->crouch.squat_upper_threshold, result_.crouchUpper);
      row("Crouch Lower Threshold", "%.1f cm", config->crouch.squat_lower_threshold, result_.crouchLower);
    }
    ImGui::EndTable();
  }
  if (!skipped_.empty()) {
    ImGui::TextColored(rgb(palette::kInfo), "%s", skipped_.c_str());
    noteItem("CalibrationSkipped");
  }
  if (wizardButton("APPLY")) {
    apply();
    phase_ = Phase::Idle;
  }
  ImGui::SameLine();
  if (wizardButton("CANCEL")) phase_ = Phase::Idle;
}

// The measured values as one change, written at once.
void CalibrationWizard::apply() {
  settings_.config.edit([this](core::Config& c) {
    c.locomotion.center_offset = result_.centre;
    c.locomotion.deadzone = result_.deadzone;
    c.locomotion.max_angle_x = result_.maxAngleX;
    c.locomotion.max_angle_y = result_.maxAngleY;
    if (result_.headMeasured && result_.jumpSignal == JumpSignal::Height) c.jump.jump_threshold = result_.jumpThreshold;
    if (result_.headMeasured && result_.jumpSignal == JumpSignal::Acceleration)
      c.jump.jump_accel_threshold = result_.jumpThreshold;
    if (result_.headMeasured && result_.crouch) {
      c.crouch.squat_upper_threshold = result_.crouchUpper;
      c.crouch.squat_lower_threshold = result_.crouchLower;
    }
  });
  callIfSet(actions_.saveSettings);
}

}  // namespace gui::tabs

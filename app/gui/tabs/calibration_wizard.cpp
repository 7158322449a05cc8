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
};
constexpr Direction kDirections[4] = {Direction::Forward, Direction::Back, Direction::Left, Direction::Right};

bool wizardButton(const char* label) {
  const bool clicked = raisedButton(label, ImVec2(180, 48));
  return clicked;
}

}  // namespace

CalibrationWizard::CalibrationWizard(core::Settings& settings, const GuiActions& actions)
    : settings_(settings), actions_(actions) {}

double CalibrationWizard::now() const {
  if (actions_.engineNow) return actions_.engineNow();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

engine::AxisMap CalibrationWizard::axisMap() const {
  const bool slime = settings_.tracker_source.load() == core::Source::SlimeOsc ||
                     settings_.tracker_source.load() == core::Source::SlimeSolarXr;
  return engine::StickMapper(settings_).axisMap(slime);
}

void CalibrationWizard::start() {
  phase_ = Phase::Ready;
  step_ = 0;
  phaseStart_ = now();
  problem_.clear();
}

long long CalibrationWizard::shownState() const {
  if (!active()) return 0;
  // The countdown and progress bar move ten times a second.
  return (static_cast<long long>(phase_) << 56) ^ (static_cast<long long>(step_) << 48) ^
         (phase_ == Phase::Ready || phase_ == Phase::Recording ? static_cast<long long>(now() * 10) : 0);
}

void CalibrationWizard::advance(double t) {
  if (phase_ == Phase::Ready && t - phaseStart_ >= kReadySeconds) {
    phase_ = Phase::Recording;
    phaseStart_ = t;
  }
  if (phase_ == Phase::Recording && t - phaseStart_ >= kStepSeconds) finishStep(t);
}

void CalibrationWizard::finishStep(double t) {
  engine::calibration::Recording recording;
  recording.start = phaseStart_;
  recording.end = phaseStart_ + kStepSeconds;
  if (actions_.history) {
    copy_.resize(decltype(core::LiveHistory::lean)::kCapacity);
    copy_.resize(actions_.history->lean.copyLatest(copy_.data(), copy_.size()));
    for (const core::LeanSample& s : copy_)
      if (s.time >= recording.start && s.time <= recording.end) recording.samples.push_back(s);
  }
  const engine::AxisMap map = axisMap();
  Problem problem;
  if (step_ == 0) {
    stand_ = engine::calibration::stand(recording, map);
    problem = stand_.problem;
    problem_ = stand_.message;
  } else {
    const auto lean = engine::calibration::lean(recording, map, stand_.centre, stand_.deadzone, kDirections[step_ - 1]);
    reach_[step_ - 1] = lean.reach;
    problem = lean.problem;
    problem_ = lean.message;
  }
  if (problem != Problem::None) {
    phase_ = Phase::Failed;
    return;
  }
  if (++step_ < kSteps) {
    phase_ = Phase::Ready;
    phaseStart_ = t;
    return;
  }
  result_.centre = stand_.centre;
  result_.deadzone = stand_.deadzone;
  result_.maxAngleY = engine::calibration::sensitivity(reach_[0], reach_[1]);
  result_.maxAngleX = engine::calibration::sensitivity(reach_[2], reach_[3]);
  phase_ = Phase::Review;
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
    if (phase_ == Phase::Review) renderReview();
  }
  endCard();
}

void CalibrationWizard::renderStep(double t) {
  const StepText& text = kStepTexts[step_];
  ImGui::TextColored(rgb(palette::kInfo), "Step %d of %d: %s", step_ + 1, kSteps, text.title);
  ImGui::TextColored(rgb(palette::kWhite), "%s", text.instruction);
  const double elapsed = t - phaseStart_;
  if (phase_ == Phase::Ready) {
    const int left = static_cast<int>(std::ceil(kReadySeconds - elapsed));
    ImGui::TextColored(rgb(palette::kAccent), "Get ready: starting in %d...", std::max(left, 1));
    ImGui::ProgressBar(0.0f, ImVec2(-1, 24), "");
  } else {
    const int left = static_cast<int>(std::ceil(kStepSeconds - elapsed));
    ImGui::TextColored(rgb(palette::kGood), "Recording: hold it for %d more s", std::max(left, 1));
    ImGui::PushStyleColor(ImGuiCol_PlotHistogram, rgb(palette::kGood));
    ImGui::ProgressBar(static_cast<float>(std::clamp(elapsed / kStepSeconds, 0.0, 1.0)), ImVec2(-1, 24), "");
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
  if (wizardButton("CANCEL")) phase_ = Phase::Idle;
}

void CalibrationWizard::renderReview() {
  ImGui::TextColored(rgb(palette::kWhite), "%s", "Done. Compare the measured values with the current ones:");
  const engine::Angles oldCentre = settings_.center_offset.get();
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
    row("Deadzone", "%.1f deg", settings_.deadzone, result_.deadzone);
    row("Horizontal Sensitivity (L/R)", "%.0f deg", settings_.max_angle_x, result_.maxAngleX);
    row("Forward Sensitivity (F/B)", "%.0f deg", settings_.max_angle_y, result_.maxAngleY);
    ImGui::EndTable();
  }
  if (wizardButton("APPLY")) {
    apply();
    phase_ = Phase::Idle;
  }
  ImGui::SameLine();
  if (wizardButton("CANCEL")) phase_ = Phase::Idle;
}

void CalibrationWizard::apply() {
  settings_.center_offset.set(result_.centre[0], result_.centre[1], result_.centre[2]);
  settings_.deadzone = result_.deadzone;
  settings_.max_angle_x = result_.maxAngleX;
  settings_.max_angle_y = result_.maxAngleY;
  callIfSet(actions_.saveSettings);
}

}  // namespace gui::tabs

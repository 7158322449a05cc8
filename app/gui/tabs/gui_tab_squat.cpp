#include "app/gui/tabs/gui_tab_squat.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "app/gui/palette.h"
#include "app/gui/tabs/tab_controls.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using palette::rgb;

constexpr float kGaugeTop = 200;  // cm at the top of the gauge

}  // namespace

const std::vector<core::Source>& GuiTabSquat::sources() {
  static const std::vector<core::Source> list{core::Source::OpenVr, core::Source::OpenXr, core::Source::Disabled};
  return list;
}

GuiTabSquat::GuiTabSquat(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions)
    : settings_(settings), live_(live), actions_(actions) {}

void GuiTabSquat::render() {
  // The detection controls edit a copy of the crouch section, published once after
  // the frame's controls when it changed.
  const core::Config::Crouch shown = settings_.config.snapshot()->crouch;
  crouch_ = shown;
  renderColumns();
  if (!(crouch_ == shown)) settings_.config.edit([this](core::Config& c) { c.crouch = crouch_; });
}

void GuiTabSquat::renderColumns() {
  const float available = ImGui::GetContentRegionAvail().x;
  ImGui::Columns(2, "SquatTwoCols", false);
  ImGui::SetColumnWidth(0, available * 0.75f);
  ImGui::SetColumnWidth(1, available * 0.25f);
  renderSettings();
  ImGui::NextColumn();
  const core::Source source = settings_.config.snapshot()->tracking.squat_source;
  if (indexOf(sources(), source) >= 0 && source != core::Source::Disabled) renderGauge();
  ImGui::Columns(1);
}

void GuiTabSquat::renderSettings() {
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() + 8);
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("SquatSettings", ImVec2(0, height), true, true)) {
    sectionTitle("Input Setting");
    int selected = indexOf(sources(), settings_.config.snapshot()->tracking.squat_source);
    if (selected < 0) selected = static_cast<int>(sources().size()) - 1;
    static const std::vector<std::string> labels = choiceLabels(sources());
    if (deviceCombo("Crouch Source", &selected, labels, ImGui::GetContentRegionAvail().x - 10)) {
      const core::Source chosen = sources()[selected];
      settings_.config.edit([chosen](core::Config& c) { c.tracking.squat_source = chosen; });
    }
    if (sources()[selected] == core::Source::Disabled) {
      ImGui::Dummy(ImVec2(0, 20));
      ImGui::TextColored(rgb(palette::kWhite), "Crouching Detection is Disabled.");
      ImGui::TextWrapped("Select a source to enable crouch input.");
    } else {
      if (actions_.history)
        plots_.crouch(*actions_.history, settings_, LivePlots::timeNow(actions_.engineNow, *actions_.history), 130);
      ImGui::Separator();
      sectionTitle("Crouch Detection Settings");
      float& upper = crouch_.squat_upper_threshold;
      float& lower = crouch_.squat_lower_threshold;
      valueSlider("Upper Threshold (cm)", &upper, 50, 200, "%.1f cm");
      valueSlider("Lower Threshold (cm)", &lower, 50, 200, "%.1f cm");
      // The detector needs the lower threshold below the upper one.
      if (!(lower < upper)) lower = upper - 1;
      ImGui::Separator();
      sectionTitle("Output Settings");
      settingCheckbox("Hold mode", crouch_.squat_is_hold);
      if (!crouch_.squat_is_hold) {
        ImGui::SameLine();
        ImGui::TextColored(rgb(palette::kWhite), "- Trigger mode: one-shot press on enter & leave");
      }
      ImGui::TextColored(rgb(palette::kAccent), "Crouch Output Binding");
      using Outputs = core::Config::Outputs;
      outputBindingBlock(settings_.config,
                         {&Outputs::squat_output_mode, &Outputs::squat_button, &Outputs::squat_key, "Crouch Key",
                          "##CrouchKey", &Outputs::squat_hook_button, "Fixed: /input/Jump (vrc fallback)"});
    }
  }
  endCard();
}

void GuiTabSquat::renderGauge() {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("SquatVisuals", ImVec2(0, height), true, true)) {
    sectionTitle("Crouching");
    const ImVec2 top = ImGui::GetCursorScreenPos();
    const ImVec2 size(ImGui::GetContentRegionAvail().x, std::max(20.0f, ImGui::GetContentRegionAvail().y - 6));
    const ImVec2 bottom(top.x + size.x, top.y + size.y);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(top, bottom, palette::u32(palette::kFrameBg), 12);
    draw->AddRect(top, bottom, ImGui::GetColorU32(ImGuiCol_Border), 12, 0, 4);
    const float scale = (size.y - 8) / kGaugeTop;
    auto yFor = [&](float cm) { return bottom.y - 4 - std::clamp(cm, 0.0f, kGaugeTop) * scale; };
    const float head = live_.head_height.load();
    const float headY = yFor(head);
    draw->AddRectFilled(ImVec2(top.x + 10, headY), ImVec2(bottom.x - 10, bottom.y - 4), palette::u32(palette::kGood));
    const unsigned marker = live_.crouching.load() ? palette::kBad : palette::kGood;
    draw->AddRectFilled(ImVec2(top.x + 4, headY - 10), ImVec2(bottom.x - 4, headY + 10), palette::u32(marker), 8);
    const float upperY = yFor(crouch_.squat_upper_threshold);
    const float lowerY = yFor(crouch_.squat_lower_threshold);
    draw->AddLine(ImVec2(top.x, upperY), ImVec2(bottom.x, upperY), palette::u32(palette::kAccent), 2);
    draw->AddLine(ImVec2(top.x, lowerY), ImVec2(bottom.x, lowerY), palette::u32(palette::kBad), 2);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f cm", head);
    const ImVec2 textSize = ImGui::CalcTextSize(text);
    draw->AddText(ImVec2(top.x + (size.x - textSize.x) / 2, headY - textSize.y / 2), palette::u32(palette::kWhite),
                  text);
    ImGui::Dummy(size);
  }
  endCard();
}

}  // namespace gui::tabs

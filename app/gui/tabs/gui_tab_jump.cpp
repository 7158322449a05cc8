#include "app/gui/tabs/gui_tab_jump.h"

#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "app/gui/palette.h"
#include "app/gui/tabs/main_visuals.h"
#include "app/gui/tabs/tab_controls.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using palette::rgb;

bool slider(const char* label, float& setting, float minimum, float maximum, const char* format) {
  return valueSlider(label, &setting, minimum, maximum, format);
}

const std::vector<core::AccelAxis>& accelerationAxes() {
  using core::AccelAxis;
  static const std::vector<AccelAxis> list{AccelAxis::X,    AccelAxis::Y,    AccelAxis::Z,
                                           AccelAxis::NegX, AccelAxis::NegY, AccelAxis::NegZ};
  return list;
}

bool isAccelerationSource(core::Source source) {
  return source == core::Source::PhoneAcceleration || source == core::Source::SlimeSolarXr;
}

// Three labelled live rows spaced down the card; `reserve` is the room the
// spacing leaves for the label column.
void liveRows(const char* const (&labels)[3], const std::array<float, 3>& values, float trackHeight, float reserve) {
  const float width = std::max(50.0f, ImGui::GetContentRegionAvail().x - 10);
  const float spacing = std::max(5.0f, (width - reserve) / 2) + trackHeight;
  // 280 px, narrowed in a narrow card so the label stays inside it.
  const float trackWidth = std::clamp(ImGui::GetContentRegionAvail().x - 24, 40.0f, 280.0f);
  for (int i = 0; i < 3; ++i) {
    const ImVec2 top = ImGui::GetCursorScreenPos();
    liveBar(ImVec2(trackWidth, trackHeight), values[i]);
    ImGui::GetWindowDrawList()->AddText(
        ImVec2(top.x + trackWidth + 8, top.y + (trackHeight - ImGui::GetFontSize()) / 2), palette::u32(palette::kWhite),
        labels[i]);
    ImGui::SetCursorScreenPos(ImVec2(top.x, top.y + spacing));
  }
  ImGui::Dummy(ImVec2(0, 0));
}

}  // namespace

std::array<float, 3> OrientationHistory::add(double now, const std::array<float, 3>& angles) {
  samples_.push_back({now, angles});
  while (!samples_.empty() && now - samples_.front().time > kSpan) samples_.pop_front();
  std::array<float, 3> values{};
  for (int i = 0; i < 3; ++i) {
    float change = angles[i] - samples_.front().angles[i];
    if (!std::isfinite(change)) change = 0;
    change = std::remainder(change, 360.0f);  // into [-180, 180]
    values[i] = barFraction(change, 45);
  }
  return values;
}

const std::vector<core::Source>& GuiTabJump::sources() {
  using core::Source;
  static const std::vector<Source> list{Source::OpenVr, Source::OpenXr, Source::PhoneAcceleration, Source::SlimeSolarXr,
                                        Source::Disabled};
  return list;
}

GuiTabJump::GuiTabJump(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions)
    : settings_(settings), live_(live), actions_(actions) {}

double GuiTabJump::now() const {
  if (actions_.now) return actions_.now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void GuiTabJump::render() {
  // The detection controls edit a copy of the jump section, published once after
  // the frame's controls when it changed.
  const core::Config::Jump shown = settings_.config.snapshot()->jump;
  jump_ = shown;
  renderColumns();
  if (!(jump_ == shown)) settings_.config.edit([this](core::Config& c) { c.jump = jump_; });
}

void GuiTabJump::renderColumns() {
  const float available = ImGui::GetContentRegionAvail().x;
  ImGui::Columns(3, "JumpThreeCols", false);
  ImGui::SetColumnWidth(0, available * 0.62f);
  ImGui::SetColumnWidth(1, available * 0.25f);
  ImGui::SetColumnWidth(2, available * 0.13f);
  core::Source source = settings_.config.snapshot()->tracking.hmd_source;
  renderSettings(source);
  source = settings_.config.snapshot()->tracking.hmd_source;
  ImGui::NextColumn();
  if (source != core::Source::Disabled && indexOf(sources(), source) >= 0) {
    renderVisuals(source);
    ImGui::NextColumn();
    const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
    if (beginCard("JumpBlock", ImVec2(0, height), true, true)) {
      sectionTitle("Jump");
      const bool jumping = actions_.isJumping ? actions_.isJumping() : live_.jumping.load();
      drawJumpIndicator(settings_, live_, jumping);
    }
    endCard();
  }
  ImGui::Columns(1);
}

void GuiTabJump::renderSettings(core::Source shownSource) {
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() + 8);
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("JumpSettings", ImVec2(0, height), true, true)) {
    sectionTitle("Input Setting");
    // An unknown source shows as the last entry, "Disabled".
    int selected = indexOf(sources(), shownSource);
    if (selected < 0) selected = static_cast<int>(sources().size()) - 1;
    static const std::vector<std::string> labels = choiceLabels(sources());
    if (deviceCombo("HMD Source", &selected, labels, ImGui::GetContentRegionAvail().x - 10)) {
      const core::Source chosen = sources()[selected];
      settings_.config.edit([chosen](core::Config& c) { c.tracking.hmd_source = chosen; });
    }
    const core::Source source = sources()[selected];
    if (source == core::Source::Disabled) {
      ImGui::Dummy(ImVec2(0, 20));
      ImGui::TextColored(rgb(palette::kWhite), "Jump Detection is Disabled.");
      ImGui::TextWrapped("Select a source to enable jump input.");
    } else {
      if (actions_.history)
        plots_.jump(*actions_.history, settings_, LivePlots::timeNow(actions_.engineNow, *actions_.history), 130);
      if (source == core::Source::OpenVr) renderOpenVRDevice();
      if (source == core::Source::SlimeSolarXr) renderSolarXRTracker();
      if (source == core::Source::OpenXr) {
        hint("Reading from OpenXR API layer (in-game).");
        hint("Make sure the game is running with the Padwright OpenXR layer.");
      }
      ImGui::Separator();
      if (isAccelerationSource(source))
        renderAccelerationPanel();
      else
        renderHeightPanel();
      ImGui::Separator();
      ImGui::Separator();
      sectionTitle("Jump Detection Settings");
      slider("Hold Time (s)", jump_.jump_duration, 0.05f, 1.0f, "%.2f s");
      ImGui::Separator();
      ImGui::TextColored(rgb(palette::kAccent), "Jump Output Binding");
      using Outputs = core::Config::Outputs;
      outputBindingBlock(settings_.config, {&Outputs::jump_output_mode, &Outputs::jump_button, &Outputs::jump_key,
                                            "Jump Key", "##JumpKey", &Outputs::jump_hook_button, "Fixed: /input/Jump"});
    }
  }
  endCard();
}

void GuiTabJump::renderOpenVRDevice() {
  const std::vector<HeadDevice> devices = actions_.headDevices ? actions_.headDevices() : std::vector<HeadDevice>{};
  const int id = settings_.config.snapshot()->tracking.openvr_hmd_id;
  std::string preview = "Device #" + std::to_string(id);
  for (const HeadDevice& device : devices)
    if (device.id == id) preview = device.name;
  hint("Device ID");
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 126);
  if (ImGui::BeginCombo("##DeviceID", preview.c_str())) {
    for (const HeadDevice& device : devices) {
      const std::string label = device.name + "##" + std::to_string(device.id);
      if (ImGui::Selectable(label.c_str(), device.id == id)) {
        settings_.config.edit([&device](core::Config& c) { c.tracking.openvr_hmd_id = device.id; });
      }
      noteItem("Device ID/" + device.name);
    }
    ImGui::EndCombo();
  }
  noteItem("Device ID");
  ImGui::SameLine();
  if (raisedButton("Refresh", ImVec2(100, 48))) callIfSet(actions_.refreshHeadDevices);
  if (devices.empty()) hint("Connecting to SteamVR...");
}

void GuiTabJump::renderSolarXRTracker() {
  hint("Reading from SolarXR WebSocket.");
  ImGui::Separator();
  sectionTitle("Jump Tracker (SlimeVR)");
  std::vector<std::string> names{"None"};
  if (actions_.solarxr.trackerNames)
    for (const std::string& name : actions_.solarxr.trackerNames())
      if (indexIn(names, name) < 0) names.push_back(name);
  const std::string saved = settings_.config.snapshot()->tracking.slime_jump_tracker_name;
  if (!saved.empty() && saved != "None" && indexIn(names, saved) < 0) names.push_back(saved);
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("Tracker:");
  ImGui::SameLine(120);
  int selected = indexIn(names, saved);
  if (deviceCombo("##JumpSlimeTracker", &selected, names, ImGui::GetContentRegionAvail().x - 10)) {
    settings_.config.edit([&](core::Config& c) { c.tracking.slime_jump_tracker_name = names[selected]; });
  }
}

void GuiTabJump::renderHeightPanel() {
  sectionTitle("Detection Logic (Height)");
  slider("Threshold (cm)", jump_.jump_threshold, 1, 30, "%.0f cm");
  slider("Trigger Speed (ms)", jump_.jump_window, 1, 200, "%.0f ms");
  ImGui::SameLine();
  hint("(?)");
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("Detection Window");
  ImGui::Separator();
  sectionTitle("Pitch/Roll Compensation");
  slider("Strength (%)", jump_.jump_pitch_comp, 0, 100, "%.0f%%");
  ImGui::TextDisabled("Currently subtracting: %.2f cm", live_.compensation.load());
  static const std::vector<std::string> shown{"Roll (R)", "Pitch (P)", "Yaw (Y)"};
  int selected = static_cast<int>(jump_.jump_comp_axis);  // roll, pitch, yaw
  if (deviceCombo("Comp Axis", &selected, shown)) jump_.jump_comp_axis = static_cast<core::RotationAxis>(selected);
}

void GuiTabJump::renderAccelerationPanel() {
  sectionTitle("Detection Logic (Acceleration)");
  slider("Threshold (m/s\xC2\xB2)", jump_.jump_accel_threshold, 1, 50, "%.1f");
  slider("Smoothing (ms)", jump_.jump_accel_smoothing, 0, 200, "%.0f ms");
  slider("Crouch Suppression", jump_.jump_accel_suppress_threshold, 0, 50, "%.1f");
  if (ImGui::IsItemHovered())
    ImGui::SetTooltip("Sensitivity to downward movement (crouch).\nHigher = harder to trigger suppression.");
  int selected = std::max(0, indexOf(accelerationAxes(), jump_.jump_accel_axis));
  static const std::vector<std::string> labels = choiceLabels(accelerationAxes());
  if (deviceCombo("Accel Axis", &selected, labels, ImGui::GetContentRegionAvail().x - 5))
    jump_.jump_accel_axis = accelerationAxes()[selected];
  hint("(?) Shaking the phone triggers jump.");
}

void GuiTabJump::renderVisuals(core::Source source) {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("JumpVisuals", ImVec2(0, height), true, true)) {
    sectionTitle("Live Tracking Data");
    if (isAccelerationSource(source)) {
      const std::array<float, 3> accel = live_.averaged_acceleration.get();
      liveRows({"X", "Y", "Z"}, {barFraction(accel[0], 20), barFraction(accel[1], 20), barFraction(accel[2], 20)}, 40,
               120);
      ImGui::TextColored(rgb(palette::kWhite), "Accel (X:%.1f Y:%.1f Z:%.1f)", accel[0], accel[1], accel[2]);
    } else {
      liveRows({"R", "P", "Y"}, history_.add(now(), live_.jump_tracker_orientation.get()), 25, 75);
    }
  }
  endCard();
}

}  // namespace gui::tabs

#include "app/gui/tabs/gui_tab_startup.h"

#include <imgui.h>

#include <algorithm>

#include "app/gui/palette.h"
#include "app/gui/tabs/tab_controls.h"
#include "app/gui/widgets.h"
#include "app/system/update_check.h"

namespace gui::tabs {
namespace {

using palette::rgb;

void note(const char* text) { ImGui::TextColored(rgb(palette::kWhite), "%s", text); }

}  // namespace

GuiTabStartup::GuiTabStartup(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions)
    : settings_(settings), live_(live), actions_(actions) {}

void GuiTabStartup::render() {
  // The switches edit a copy of the program section; a change is published once,
  // after the frame's controls, and its subscribers (the saver, the tracking
  // service's gesture thread, the sounds) act on it.
  const core::Config::Program shown = settings_.config.snapshot()->program;
  program_ = shown;
  renderCard();
  if (!(program_ == shown)) settings_.config.edit([this](core::Config& config) { config.program = program_; });
}

void GuiTabStartup::renderCard() {
  ImGui::SetCursorPos(ImVec2(30, ImGui::GetCursorPosY() + 20));
  sectionTitle("STARTUP & BINDINGS");
  ImGui::SetCursorPosX(30);
  note("Configure application behavior and global shortcuts.");
  ImGui::Spacing();
  ImGui::Spacing();
  ImGui::SetCursorPosX(30);
  if (beginCard("StartupDashboard", ImVec2(ImGui::GetContentRegionAvail().x - 30, 0), true, true)) {
    settingCheckbox("Start tracking on application launch", program_.start_on_launch);
    note("If disabled, the application will start in the STOPPED state.");
    ImGui::Dummy(ImVec2(0, 20));
    ImGui::Columns(2, "StartupColumns", false);
    ImGui::SetColumnWidth(0, ImGui::GetWindowWidth() / 2);
    renderToggleBindings();
    ImGui::NextColumn();
    renderAudio();
    ImGui::Columns(1);
    renderApplication();
  }
  endCard();
}

void GuiTabStartup::renderToggleBindings() {
  sectionTitle("VR TOGGLE BINDINGS");
  settingCheckbox("Hold SteamVR Thumbstick", program_.bind_steamvr_toggle);
  note("Hold thumbstick click for 2s to toggle.");
  if (program_.bind_steamvr_toggle) {
    ImGui::Indent(20);
    ImGui::TextUnformatted("Hand:");
    ImGui::SameLine();
    settingRadio("Left", program_.steamvr_toggle_hand, 0);
    ImGui::SameLine();
    settingRadio("Right", program_.steamvr_toggle_hand, 1);
    ImGui::Unindent(20);
  }
  ImGui::Dummy(ImVec2(0, 10));
  settingCheckbox("Triple-Tap to toggle (Phone/SlimeVR)", program_.slimevr_tap_toggle);
  note("3 quick hits within 1.2s to toggle tracking.");
  if (!program_.slimevr_tap_toggle) return;
  valueSlider("Sensitivity", &program_.slimevr_tap_sensitivity, 5, 60, "%.1f");
  const float sensitivity = program_.slimevr_tap_sensitivity;
  // How hard the last taps were, against the trigger level.
  const float tap = std::clamp(live_.tap_value.load() / kTapScale, 0.0f, 1.0f);
  ImGui::PushStyleColor(ImGuiCol_PlotHistogram, rgb(palette::kAccent));
  ImGui::ProgressBar(tap, ImVec2(-1, 14), "");
  ImGui::PopStyleColor();
  noteItem("TapStrength");
  const ImVec2 barMin = ImGui::GetItemRectMin(), barMax = ImGui::GetItemRectMax();
  const float x = barMin.x + std::clamp(sensitivity / kTapScale, 0.0f, 1.0f) * (barMax.x - barMin.x);
  ImGui::GetWindowDrawList()->AddLine(ImVec2(x, barMin.y), ImVec2(x, barMax.y), palette::u32(palette::kWhite, 230), 2);
  ImGui::TextUnformatted("Axis:");
  const char* const axes[3] = {"X", "Y", "Z"};
  for (int axis = 0; axis < 3; ++axis) {
    ImGui::SameLine();
    settingRadio(axes[axis], program_.slimevr_tap_axis, axis);
  }
}

void GuiTabStartup::renderAudio() {
  sectionTitle("AUDIO FEEDBACK");
  settingCheckbox("Enable Sound Effects", program_.enable_audio_feedback);
  note("Play sounds for VR toggles only.");
  if (!program_.enable_audio_feedback) return;
  // One change per drag: the dragged value is held here and published when the
  // mouse is let go.
  float volume = draggedVolume_.value_or(program_.audio_volume);
  if (valueSlider("Volume", &volume, 0, 1, "%.2f")) draggedVolume_ = volume;
  if (draggedVolume_ && !ImGui::IsMouseDown(ImGuiMouseButton_Left)) {
    program_.audio_volume = *draggedVolume_;
    draggedVolume_.reset();
  }
}

void GuiTabStartup::renderApplication() {
  sectionTitle("APPLICATION");
  settingCheckbox("Check for updates on startup", program_.check_for_updates);
  const bool check = ImGui::Button("Check Now", ImVec2(130, 0));
  noteItem("Check Now");
  if (check) callIfSet(actions_.checkForUpdatesNow);
  ImGui::Separator();
  ImGui::TextColored(rgb(palette::kBad), "EXPERIMENTAL FEATURES");
  settingCheckbox("Enable Experimental OpenXR Support", program_.enable_experimental_openxr);
  note(
      "Enables OpenXR API Layer tracking. This feature is currently unstable\n"
      "and may cause issues with VR controller tracking in some games.");
  ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - 130);
  note("Version:");
  ImGui::SameLine();
  ImGui::TextColored(rgb(palette::kAccent), "v%s", services::kCurrentVersion);
  ImGui::TextColored(rgb(palette::kWhite), "Automatically checks %s for new versions.", actions_.updateHost.c_str());
}

}  // namespace gui::tabs

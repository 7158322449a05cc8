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

void GuiTabStartup::save() { callIfSet(actions_.saveSettings); }

void GuiTabStartup::render() {
  ImGui::SetCursorPos(ImVec2(30, ImGui::GetCursorPosY() + 20));
  sectionTitle("STARTUP & BINDINGS");
  ImGui::SetCursorPosX(30);
  note("Configure application behavior and global shortcuts.");
  ImGui::Spacing();
  ImGui::Spacing();
  ImGui::SetCursorPosX(30);
  if (beginCard("StartupDashboard", ImVec2(ImGui::GetContentRegionAvail().x - 30, 0), true, true)) {
    if (settingCheckbox("Start tracking on application launch", settings_.start_on_launch)) save();
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
  if (settingCheckbox("Hold SteamVR Thumbstick", settings_.bind_steamvr_toggle)) save();
  note("Hold thumbstick click for 2s to toggle.");
  if (settings_.bind_steamvr_toggle.load()) {
    ImGui::Indent(20);
    ImGui::TextUnformatted("Hand:");
    ImGui::SameLine();
    if (settingRadio("Left", settings_.steamvr_toggle_hand, 0)) save();
    ImGui::SameLine();
    if (settingRadio("Right", settings_.steamvr_toggle_hand, 1)) save();
    ImGui::Unindent(20);
  }
  ImGui::Dummy(ImVec2(0, 10));
  if (settingCheckbox("Triple-Tap to toggle (Phone/SlimeVR)", settings_.slimevr_tap_toggle)) save();
  note("3 quick hits within 1.2s to toggle tracking.");
  if (!settings_.slimevr_tap_toggle.load()) return;
  float sensitivity = settings_.slimevr_tap_sensitivity.load();
  if (valueSlider("Sensitivity", &sensitivity, 5, 60, "%.1f")) {
    settings_.slimevr_tap_sensitivity = sensitivity;
    save();
  }
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
    if (settingRadio(axes[axis], settings_.slimevr_tap_axis, axis)) save();
  }
}

void GuiTabStartup::renderAudio() {
  sectionTitle("AUDIO FEEDBACK");
  if (settingCheckbox("Enable Sound Effects", settings_.enable_audio_feedback)) save();
  note("Play sounds for VR toggles only.");
  if (!settings_.enable_audio_feedback.load()) return;
  float volume = settings_.audio_volume.load();
  if (valueSlider("Volume", &volume, 0, 1, "%.2f")) {
    settings_.audio_volume = volume;
    volumeEdited_ = true;
  }
  // One write per drag: when the mouse is let go after the value changed.
  if (volumeEdited_ && !ImGui::IsMouseDown(ImGuiMouseButton_Left)) {
    volumeEdited_ = false;
    save();
  }
}

void GuiTabStartup::renderApplication() {
  sectionTitle("APPLICATION");
  if (settingCheckbox("Check for updates on startup", settings_.check_for_updates)) save();
  const bool check = ImGui::Button("Check Now", ImVec2(130, 0));
  noteItem("Check Now");
  if (check) callIfSet(actions_.checkForUpdatesNow);
  ImGui::Separator();
  ImGui::TextColored(rgb(palette::kBad), "EXPERIMENTAL FEATURES");
  if (settingCheckbox("Enable Experimental OpenXR Support", settings_.enable_experimental_openxr)) save();
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

#include "app/gui/tabs/gui_tab_main.h"

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

// A slider bound to an atomic setting; edits stay in memory until SAVE SETTINGS.
bool slider(const char* label, float& setting, float minimum, float maximum, const char* format) {
  return valueSlider(label, &setting, minimum, maximum, format);
}

void blockTitle(const char* text) { ImGui::TextColored(rgb(palette::kInfo), "%s", text); }

}  // namespace

std::vector<core::OutputMode> outputModeList(const core::Config& config) {
  using core::OutputMode;
  std::vector<OutputMode> modes{OutputMode::Pad, OutputMode::Keyboard, OutputMode::SteamVrHook, OutputMode::VrchatOsc};
  if (config.program.enable_experimental_openxr || config.outputs.mode == OutputMode::OpenXrLayer)
    modes.push_back(OutputMode::OpenXrLayer);
  return modes;
}

const std::vector<std::string>& hookButtonNames() {
  static const std::vector<std::string> names{"Left: A",
                                              "Left: B",
                                              "Left: X",
                                              "Left: Y",
                                              "Left: Grip",
                                              "Left: Trigger",
                                              "Left: Thumbstick",
                                              "Left: Thumbstick Back",
                                              "Left: Thumbstick Forward",
                                              "Right: A",
                                              "Right: B",
                                              "Right: X",
                                              "Right: Y",
                                              "Right: Grip",
                                              "Right: Trigger",
                                              "Right: Thumbstick",
                                              "Right: Thumbstick Back",
                                              "Right: Thumbstick Forward"};
  return names;
}

const std::vector<std::string>& padButtonNames() {
  static const std::vector<std::string> names{"A",      "B",     "X",    "Y",       "LB",      "RB",    "LTHUMB",
                                              "RTHUMB", "START", "BACK", "LS Down", "RS Down", "LS Up", "RS Up"};
  return names;
}

HookTargetList hookTargetList(const core::Config::Outputs& outputs, const std::vector<HookController>& controllers) {
  HookTargetList list;
  list.entries = {"Left Hand (Default Role)", "Right Hand (Default Role)"};
  const std::string& serial = outputs.hook_target_serial;
  list.selected = outputs.target_controller == core::Hand::Left ? 0 : 1;
  for (const HookController& controller : controllers) {
    if (!serial.empty() && controller.serial == serial) list.selected = static_cast<int>(list.entries.size());
    list.entries.push_back(controller.name + " [SN: " + controller.serial + "]");
  }
  if (!serial.empty() && std::none_of(controllers.begin(), controllers.end(),
                                      [&](const HookController& c) { return c.serial == serial; })) {
    list.selected = static_cast<int>(list.entries.size());
    list.entries.push_back(outputs.hook_target_name + " [SN: " + serial + "] (Not Found)");
  }
  return list;
}

float responseCurve(float v, float progression) {
  if (progression == 0) return v;
  const float magnitude = std::pow(std::fabs(v), std::pow(3.0f, progression));
  return v >= 0 ? magnitude : -magnitude;
}

GuiTabMain::GuiTabMain(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions)
    : settings_(settings), live_(live), actions_(actions) {}

double GuiTabMain::now() const {
  if (actions_.now) return actions_.now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void GuiTabMain::render() {
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  outputs_ = config->outputs;
  locomotion_ = config->locomotion;
  renderColumns(*config);
  if (!(outputs_ == config->outputs)) settings_.config.edit([this](core::Config& c) { c.outputs = outputs_; });
  if (!(locomotion_ == config->locomotion))
    settings_.config.edit([this](core::Config& c) { c.locomotion = locomotion_; });
}

void GuiTabMain::renderColumns(const core::Config& config) {
  const float available = ImGui::GetContentRegionAvail().x;
  ImGui::Columns(3, "MainThreeCols", false);
  ImGui::SetColumnWidth(0, available * 0.62f);
  ImGui::SetColumnWidth(1, available * 0.25f);
  ImGui::SetColumnWidth(2, available * 0.13f);
  renderSettings(config);
  ImGui::NextColumn();
  renderVisuals();
  ImGui::NextColumn();
  renderJump();
  ImGui::Columns(1);
}

void GuiTabMain::renderSettings(const core::Config& config) {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("SettingsBlock", ImVec2(0, height), true, true)) {
    sectionTitle("Sensors & Input Control");
    if (actions_.history) {
      const double t = LivePlots::timeNow(actions_.engineNow, *actions_.history);
      plots_.lean(*actions_.history, settings_, t, 120);
      plots_.stick(*actions_.history, t, 80);
    }
    if (raisedButton("CALIBRATE", ImVec2(200, 48))) callIfSet(actions_.startCalibration);
    ImGui::SameLine();
    ImGui::TextColored(rgb(palette::kMuted), "%s", "Measures your centre, dead zone and sensitivities.");
    const std::vector<core::OutputMode> modes = outputModeList(config);
    int selected = std::max(0, indexOf(modes, outputs_.mode));
    bool chosen = false;
    deviceCombo("Output Mode", &selected, choiceLabels(modes), 0, &chosen);
    if (chosen) outputs_.mode = modes[selected];
    slider("Deadzone", locomotion_.deadzone, 0, 10, "%.1f deg");
    slider("Horizontal Sensitivity (L/R)", locomotion_.max_angle_x, 5, 90, "%.0f deg");
    slider("Forward Sensitivity (F/B)", locomotion_.max_angle_y, 5, 90, "%.0f deg");
    slider("Curve", locomotion_.progression, -1, 1, "%.2f");
    ImGui::Separator();
    renderModeBlock();
  }
  endCard();
}

void GuiTabMain::renderModeBlock() {
  using core::OutputMode;
  core::Config::Outputs& o = outputs_;
  const OutputMode mode = o.mode;
  if (mode == OutputMode::Keyboard) {
    renderKeyboardBlock();
  } else if (mode == OutputMode::Pad) {
    renderSecondThreshold("Xbox Additional Threshold", o.enable_xbox_s2, o.xbox_threshold_2, o.xbox_button_2,
                          padButtonNames());
  } else if (mode == OutputMode::SteamVrHook) {
    renderHookTarget();
    ImGui::Separator();
    renderSecondThreshold("SteamVR Additional Threshold", o.enable_steamvr_s2, o.steamvr_threshold_2,
                          o.steamvr_button_2, hookButtonNames());
  } else if (mode == OutputMode::OpenXrLayer) {
    renderOpenXRTarget();
    ImGui::Separator();
    renderSecondThreshold("OpenXR Additional Threshold", o.enable_openxr_s2, o.openxr_threshold_2, o.openxr_button_2,
                          hookButtonNames());
  } else if (mode == OutputMode::VrchatOsc) {
    renderVRChat();
  }
}

void GuiTabMain::renderKeyboardBlock() {
  blockTitle("Keyboard Thresholds");
  core::Config::Outputs& o = outputs_;
  slider("S1", o.keyboard_threshold, 1, 99, "%.0f%%");
  slider("S2", o.keyboard_threshold_2, 1, 99, "%.0f%%");
  ImGui::Separator();
  blockTitle("Keyboard Bindings");
  ImGui::Columns(2, "KbdBindCols", false);
  keyBindingEditor("Forward (S1)", o.key_fwd);
  keyBindingEditor("Backward (S1)", o.key_back);
  keyBindingEditor("Left (S1)", o.key_left);
  keyBindingEditor("Right (S1)", o.key_right);
  ImGui::NextColumn();
  keyBindingEditor("Forward (S2)", o.key_fwd_2);
  keyBindingEditor("Backward (S2)", o.key_back_2);
  keyBindingEditor("Left (S2)", o.key_left_2);
  keyBindingEditor("Right (S2)", o.key_right_2);
  ImGui::Columns(1);
}

void GuiTabMain::renderSecondThreshold(const char* title, bool& enabled, float& threshold, std::string& button,
                                       const std::vector<std::string>& buttons) {
  blockTitle(title);
  ImGui::PushID(title);
  ImGui::PushStyleColor(ImGuiCol_CheckMark, rgb(palette::kAccent));
  ImGui::Checkbox("Enable Additional Threshold (S2)", &enabled);
  noteItem("Enable Additional Threshold (S2)");
  ImGui::PopStyleColor();
  if (enabled) {
    slider("S2", threshold, 1, 99, "%.0f%%");
    int selected = indexIn(buttons, button);
    if (deviceCombo("S2 Button", &selected, buttons, ImGui::GetContentRegionAvail().x * 0.4f))
      button = buttons[selected];
  }
  ImGui::PopID();
}

void GuiTabMain::refreshControllers() {
  controllers_ = actions_.listControllers ? actions_.listControllers() : std::vector<HookController>{};
  controllersTime_ = now();
  controllersRead_ = true;
}

void GuiTabMain::renderHookTarget() {
  blockTitle("SteamVR Hook Target");
  if (!controllersRead_ || now() - controllersTime_ > 5.0) refreshControllers();
  core::Config::Outputs& o = outputs_;
  const HookTargetList list = hookTargetList(o, controllers_);
  int selected = list.selected;
  if (deviceCombo("##HookTarget", &selected, list.entries, ImGui::GetContentRegionAvail().x * 0.8f)) {
    if (selected == 0 || selected == 1) {
      o.target_controller = selected == 0 ? core::Hand::Left : core::Hand::Right;
      o.hook_target_serial = "";
      o.hook_target_name = selected == 0 ? "Left Hand (Default)" : "Right Hand (Default)";
    } else if (selected - 2 < static_cast<int>(controllers_.size())) {
      const HookController& controller = controllers_[selected - 2];
      o.hook_target_serial = controller.serial;
      o.hook_target_name = controller.name;
    }  // the "(Not Found)" entry is already the stored target
  }
  ImGui::SameLine();
  if (ImGui::Button("REFRESH")) refreshControllers();
  noteItem("REFRESH");
  const std::string& serial = o.hook_target_serial;
  if (!serial.empty())
    ImGui::TextColored(rgb(palette::kGood), "Targeting SN: %s", serial.c_str());
  else
    ImGui::TextColored(rgb(palette::kInfo), "Targeting Role: %s Hand",
                       std::string(core::choiceText(o.target_controller)).c_str());
}

void GuiTabMain::renderOpenXRTarget() {
  blockTitle("OpenXR Output Target");
  const bool left = outputs_.target_controller == core::Hand::Left;
  if (ImGui::RadioButton("Left Controller", left)) outputs_.target_controller = core::Hand::Left;
  noteItem("Left Controller");
  ImGui::SameLine();
  if (ImGui::RadioButton("Right Controller", !left)) outputs_.target_controller = core::Hand::Right;
  noteItem("Right Controller");
}

void GuiTabMain::renderVRChat() {
  ImGui::TextColored(rgb(palette::kAccent), "%s", "VRChat OSC Settings");
  char address[256] = {};
  outputs_.vrchat_osc_address.copy(address, sizeof address - 1);
  if (ImGui::InputText("Address (IP)", address, sizeof address)) outputs_.vrchat_osc_address = address;
  int port = outputs_.vrchat_osc_port;
  if (ImGui::InputInt("Port", &port, 1, 100)) outputs_.vrchat_osc_port = std::clamp(port, 1, 65535);  // a UDP port
}

void GuiTabMain::renderVisuals() {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("VisualsBlock", ImVec2(0, height), true, true)) {
    sectionTitle("Visualizer");
    drawStickVisualizer(settings_, live_);
    if (raisedButton("RESET CENTER", ImVec2(ImGui::GetContentRegionAvail().x, 48))) callIfSet(actions_.setCenter);
    // Forward for one second through the current output, so the player can see the game move.
    if (raisedButton("TEST OUTPUT", ImVec2(ImGui::GetContentRegionAvail().x, 48))) callIfSet(actions_.testOutput);
    sectionTitle("Curve Visual");
    drawCurvePreview(locomotion_.progression);
  }
  endCard();
}

void GuiTabMain::renderJump() {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("JumpBlock", ImVec2(0, height), true, true)) {
    sectionTitle("Jump");
    const bool jumping = actions_.isJumping ? actions_.isJumping() : live_.jumping.load();
    drawJumpIndicator(settings_, live_, jumping);
  }
  endCard();
}

}  // namespace gui::tabs

#include "app/gui/tabs/tab_controls.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/gui/palette.h"
#include "app/gui/tabs/gui_tab_main.h"
#include "app/gui/widgets.h"

namespace gui::tabs {

using palette::rgb;

// The key names the keyboard output reads are short; 31 characters is its limit.
constexpr std::size_t kKeyTextLimit = 31;

int indexIn(const std::vector<std::string>& list, const std::string& text) {
  const auto found = std::find(list.begin(), list.end(), text);
  return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

float barFraction(float value, float scale) {
  if (!std::isfinite(value) || scale == 0) return 0;
  return std::clamp(value / scale, -1.0f, 1.0f);
}

void liveBar(ImVec2 size, float fraction) {
  const ImVec2 top = ImGui::GetCursorScreenPos();
  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImVec2 bottom(top.x + size.x, top.y + size.y);
  draw->AddRectFilled(top, bottom, palette::u32(palette::kFrameBg), 6);
  draw->AddRect(top, bottom, ImGui::GetColorU32(ImGuiCol_Border), 6, 0, 2);
  const float centre = top.x + size.x / 2;
  if (std::fabs(fraction) > 0.01f) {
    const float end = centre + fraction * (size.x / 2 - 4);
    const ImU32 colour = fraction > 0 ? palette::u32(palette::kGood) : ImGui::GetColorU32(ImGuiCol_Button);
    draw->AddRectFilled(ImVec2(std::min(centre, end), top.y + 3), ImVec2(std::max(centre, end), bottom.y - 3), colour,
                        4);
  }
  draw->AddLine(ImVec2(centre, top.y), ImVec2(centre, bottom.y), palette::u32(palette::kInfo, 50));
  ImGui::Dummy(size);
}

bool settingCheckbox(const char* label, bool& setting) {
  ImGui::PushStyleColor(ImGuiCol_CheckMark, rgb(palette::kAccent));
  const bool changed = ImGui::Checkbox(label, &setting);
  ImGui::PopStyleColor();
  noteItem(label);
  return changed;
}

bool settingCheckbox(const char* label, std::atomic<bool>& setting) {
  bool on = setting.load();
  const bool changed = settingCheckbox(label, on);
  if (changed) setting = on;
  return changed;
}

bool settingRadio(const char* label, int& setting, int value) {
  const bool clicked = ImGui::RadioButton(label, setting == value);
  noteItem(label);
  if (!clicked || setting == value) return false;
  setting = value;
  return true;
}

bool settingRadio(const char* label, std::atomic<int>& setting, int value) {
  int current = setting.load();
  if (!settingRadio(label, current, value)) return false;
  setting = value;
  return true;
}

bool settingInt(const char* id, int& setting, int minimum, int maximum) {
  int value = setting;
  ImGui::InputInt(id, &value, 1, 100);
  noteItem(id);
  value = std::clamp(value, minimum, maximum);
  if (value == setting) return false;
  setting = value;
  return true;
}

void hint(const char* text) { ImGui::TextDisabled("%s", text); }

bool labelledChoice(const char* label, std::string& setting, const std::vector<std::string>& list) {
  hint(label);
  const std::string id = std::string("##") + label;
  int selected = indexIn(list, setting);
  if (!deviceCombo(id.c_str(), &selected, list, ImGui::GetContentRegionAvail().x - 10)) return false;
  setting = list[selected];
  return true;
}

bool labelledChoice(const char* label, core::ActionTarget& setting, const std::vector<core::ActionTarget>& list) {
  hint(label);
  const std::string id = std::string("##") + label;
  int selected = indexOf(list, setting);
  if (!deviceCombo(id.c_str(), &selected, choiceLabels(list), ImGui::GetContentRegionAvail().x - 10)) return false;
  setting = list[selected];
  return true;
}

bool keyField(const char* id, std::string& setting) {
  char text[kKeyTextLimit + 1] = {};
  setting.copy(text, kKeyTextLimit);
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 10);
  const bool edited = ImGui::InputText(id, text, sizeof text);
  noteItem(id);
  if (edited) setting = text;
  return edited;
}

const std::vector<core::ActionTarget>& actionOutputModes() {
  using core::ActionTarget;
  static const std::vector<ActionTarget> modes{ActionTarget::FollowMain, ActionTarget::Pad, ActionTarget::Keyboard,
                                               ActionTarget::SteamVrHook, ActionTarget::OpenXrLayer};
  return modes;
}

void outputBindingBlock(core::ConfigStore& store, const ActionBinding& binding) {
  core::Config::Outputs outputs = store.snapshot()->outputs;
  bool edited = labelledChoice("Output Mode", outputs.*binding.outputMode, actionOutputModes());
  switch (core::targetOutput(outputs.*binding.outputMode, outputs.mode)) {
    case core::OutputMode::Pad:
      edited |= labelledChoice("vJoy Button", outputs.*binding.padButton, padButtonNames());
      break;
    case core::OutputMode::Keyboard:
      hint(binding.keyLabel);
      edited |= keyField(binding.keyId, outputs.*binding.key);
      break;
    case core::OutputMode::SteamVrHook:
      edited |= labelledChoice("Hook Button", outputs.*binding.hookButton, hookButtonNames());
      break;
    case core::OutputMode::VrchatOsc:
      hint(binding.vrchatText);
      noteItem(binding.vrchatText);
      break;
    case core::OutputMode::OpenXrLayer:
      hint("OpenXR injected automatically");
      break;
  }
  if (!edited) return;
  store.edit([&](core::Config& config) {
    for (auto field : {binding.padButton, binding.key, binding.hookButton}) config.outputs.*field = outputs.*field;
    config.outputs.*binding.outputMode = outputs.*binding.outputMode;
  });
}

}  // namespace gui::tabs

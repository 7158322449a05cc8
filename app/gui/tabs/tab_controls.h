#pragma once

#include <imgui.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "app/core/settings.h"

// Controls the Input, Jump, Crouch and Startup tabs share.
namespace gui::tabs {

// The index of `text` in `list`, or -1.
int indexIn(const std::vector<std::string>& list, const std::string& text);

// The index of `value` in `values`, or -1.
template <class E>
int indexOf(const std::vector<E>& values, E value) {
  for (std::size_t i = 0; i < values.size(); ++i)
    if (values[i] == value) return static_cast<int>(i);
  return -1;
}

// The window's labels of `values`, from each choice's name table.
template <class E>
std::vector<std::string> choiceLabels(const std::vector<E>& values) {
  std::vector<std::string> labels;
  for (E value : values) labels.emplace_back(core::choiceText(value));
  return labels;
}

// A value for a live bar: `value / scale` clamped to [-1, 1]; non-finite counts as 0.
float barFraction(float value, float scale);

// A live bar at the cursor: a box of `size`, a centre line, and a bar from the
// centre by `fraction` of half the width less 4 px (drawn when |fraction| > 0.01).
void liveBar(ImVec2 size, float fraction);

// A check box bound to a setting; returns true when toggled.
bool settingCheckbox(const char* label, std::atomic<bool>& setting);

// The same bound to a plain field (of a configuration copy that the tab publishes).
bool settingCheckbox(const char* label, bool& setting);

// A radio button that stores `value` into `setting`; returns true when it changed it.
bool settingRadio(const char* label, std::atomic<int>& setting, int value);
bool settingRadio(const char* label, int& setting, int value);

// An integer field bound to a setting (steps 1 and 100), clamped to
// [minimum, maximum]; returns true when the stored value changed.
bool settingInt(const char* id, int& setting, int minimum, int maximum);

// The label as hint text, then a drop-down "##label" over `list` showing the entry
// equal to the setting (none when no entry is); a choice stores its text.
bool labelledChoice(const char* label, std::string& setting, const std::vector<std::string>& list);
// The same over the targets of an action.
bool labelledChoice(const char* label, core::ActionTarget& setting, const std::vector<core::ActionTarget>& list);

// The text field of a key: shows at most 31 characters of the setting and stores
// the shown text on every edit.
bool keyField(const char* id, std::string& setting);

// One action's output binding (jump or crouch): its fields in the output section.
struct ActionBinding {
  core::ActionTarget core::Config::Outputs::*outputMode;
  std::string core::Config::Outputs::*padButton;
  std::string core::Config::Outputs::*key;
  const char* keyLabel;
  const char* keyId;
  std::string core::Config::Outputs::*hookButton;
  const char* vrchatText;
};
// The binding's controls; an edit is published to `store` (these fields only).
void outputBindingBlock(core::ConfigStore& store, const ActionBinding& binding);

// The action output modes.
const std::vector<core::ActionTarget>& actionOutputModes();

// A text in the hint colour.
void hint(const char* text);

}  // namespace gui::tabs

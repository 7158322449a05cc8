#include "app/gui/key_binding.h"

#include <algorithm>

namespace gui {
namespace {

int indexOf(const std::vector<std::string>& list, const std::string& text) {
  const auto found = std::find(list.begin(), list.end(), text);
  return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

std::string compose(const std::string& modifier, const std::string& key) {
  return modifier.empty() || modifier == "None" ? key : modifier + "+" + key;
}

}  // namespace

const std::vector<std::string>& modifierNames() {
  static const std::vector<std::string> names{"None", "shift", "ctrl", "alt", "win"};
  return names;
}

const std::vector<std::string>& keyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (char c = 'a'; c <= 'z'; ++c) list.emplace_back(1, c);
    for (char c = '0'; c <= '9'; ++c) list.emplace_back(1, c);
    for (int f = 1; f <= 12; ++f) list.push_back("f" + std::to_string(f));
    for (const char* name :
         {"up",  "down", "left", "right", "space", "enter",    "tab",     "esc",        "backspace",   "ins",
          "del", "home", "end",  "pgup",  "pgdn",  "capslock", "numlock", "scrolllock", "printscreen", "pause"})
      list.emplace_back(name);
    return list;
  }();
  return names;
}

BindingParts splitBinding(std::string_view binding) {
  std::string lower(binding);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  const auto plus = lower.find('+');
  if (plus == std::string::npos) return {"", lower};
  return {lower.substr(0, plus), lower.substr(plus + 1)};
}

BindingSelection selectionFor(std::string_view binding) {
  const BindingParts parts = splitBinding(binding);
  BindingSelection selection;
  selection.modifier = std::max(0, parts.modifier.empty() ? 0 : indexOf(modifierNames(), parts.modifier));
  selection.key = std::max(0, indexOf(keyNames(), parts.key));
  return selection;
}

std::string withModifier(std::string_view binding, int modifierIndex) {
  const auto& modifiers = modifierNames();
  if (modifierIndex < 0 || modifierIndex >= static_cast<int>(modifiers.size())) return std::string(binding);
  return compose(modifiers[modifierIndex], splitBinding(binding).key);
}

std::string withKey(std::string_view binding, int keyIndex) {
  const auto& keys = keyNames();
  if (keyIndex < 0 || keyIndex >= static_cast<int>(keys.size())) return std::string(binding);
  return compose(modifierNames()[selectionFor(binding).modifier], keys[keyIndex]);
}

}  // namespace gui

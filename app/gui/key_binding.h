#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the key-binding editor offers and how it splits and rebuilds a binding
// ("key" or "modifier+key", parsed like the keyboard output parses it).
namespace gui {

// "None" (no modifier), "shift", "ctrl", "alt", "win".
const std::vector<std::string>& modifierNames();
// The 68 key names: a-z, 0-9, f1-f12, arrows, space, enter, ... pause.
const std::vector<std::string>& keyNames();

struct BindingParts {
  std::string modifier;  // lower-cased text before the first '+', empty when there is none
  std::string key;       // lower-cased text after it (or the whole text)
};
BindingParts splitBinding(std::string_view binding);

// What the editor's two drop-downs show: the modifier's index (0 = "None", also for
// an unknown modifier) and the key's index (that of "a" for a key not in the list).
struct BindingSelection {
  int modifier = 0;
  int key = 0;
};
BindingSelection selectionFor(std::string_view binding);

// The binding after the user picked modifier `modifierIndex` (key part kept as it was).
std::string withModifier(std::string_view binding, int modifierIndex);
// The binding after the user picked key `keyIndex` (modifier as shown).
std::string withKey(std::string_view binding, int keyIndex);

}  // namespace gui

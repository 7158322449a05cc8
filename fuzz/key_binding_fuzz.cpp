// Key bindings as the settings hold them: the editor's split, selection and rebuild,
// and the keyboard output's parse, key codes and labels, fed any text. Both splits
// agree, every index shown lies in its list, and a rebuilt binding shows what was
// picked and parses back to known keys.
#include <string>

#include "app/gui/key_binding.h"
#include "app/outputs/key_names.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int pick = data[0];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const auto& keys = gui::keyNames();
  const auto& modifiers = gui::modifierNames();

  const gui::BindingParts parts = gui::splitBinding(text);
  const outputs::KeyBinding parsed = outputs::parseKeyBinding(text);
  FUZZ_CHECK(parts.modifier == parsed.modifier && parts.key == parsed.key);
  const gui::BindingSelection shown = gui::selectionFor(text);
  FUZZ_CHECK(shown.modifier >= 0 && shown.modifier < static_cast<int>(modifiers.size()));
  FUZZ_CHECK(shown.key >= 0 && shown.key < static_cast<int>(keys.size()));
  if (parts.key == keys[shown.key]) FUZZ_CHECK(outputs::virtualKeyOf(parsed.key) != 0);

  // Out-of-range picks leave the binding as it was.
  const int keyIndex = pick % (static_cast<int>(keys.size()) + 2) - 1;
  const std::string withKey = gui::withKey(text, keyIndex);
  if (keyIndex < 0 || keyIndex >= static_cast<int>(keys.size())) {
    FUZZ_CHECK(withKey == text);
  } else {
    const gui::BindingSelection after = gui::selectionFor(withKey);
    FUZZ_CHECK(after.key == keyIndex && after.modifier == shown.modifier);
    const outputs::KeyBinding rebuilt = outputs::parseKeyBinding(withKey);
    FUZZ_CHECK(outputs::virtualKeyOf(rebuilt.key) != 0);
    FUZZ_CHECK(rebuilt.modifier.empty() || outputs::virtualKeyOf(rebuilt.modifier) != 0);
  }
  const int modifierIndex = pick % (static_cast<int>(modifiers.size()) + 2) - 1;
  const std::string withModifier = gui::withModifier(text, modifierIndex);
  if (modifierIndex < 0 || modifierIndex >= static_cast<int>(modifiers.size())) {
    FUZZ_CHECK(withModifier == text);
  } else if (parts.key.find('+') == std::string::npos) {
    FUZZ_CHECK(gui::selectionFor(withModifier).modifier == modifierIndex);
  }

  const std::uint16_t code = outputs::virtualKeyOf(text);
  const std::string label = outputs::keyLabel(code);
  if (code != 0 && label.rfind("0x", 0) != 0) FUZZ_CHECK(outputs::virtualKeyOf(label) == code);
  outputs::keyLabel(static_cast<std::uint16_t>(pick << 8 | (size > 1 ? data[1] : 0)));
  return 0;
}

#pragma once

#include <cstdint>
#include <string>

namespace outputs {

// A key binding as the settings store it: "w", "space", "shift+w". Parsing
// lower-cases the text (ASCII) and splits it at the first "+"; nothing is trimmed.
struct KeyBinding {
  std::string modifier;  // empty without a "+"
  std::string key;
};
KeyBinding parseKeyBinding(const std::string& text);

// The Windows virtual-key code of one part of a binding: a single letter or digit
// is its own upper-case character code; other names come from the key-name table
// (exact, case-sensitive). 0 when the part names no key.
std::uint16_t virtualKeyOf(const std::string& part);

// A readable name of a virtual-key code for diagnostics: the letter or digit
// itself ("W", "7"), else its table name ("shift"), else hexadecimal ("0x7C").
std::string keyLabel(std::uint16_t virtualKey);

}  // namespace outputs

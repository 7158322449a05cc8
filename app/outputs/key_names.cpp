#include "app/outputs/key_names.h"

#include <cstdio>
#include <map>

namespace outputs {

namespace {

const std::map<std::string, std::uint16_t>& keyNameTable() {
  static const std::map<std::string, std::uint16_t> table = [] {
    std::map<std::string, std::uint16_t> names{
        {"space", 0x20},      {"enter", 0x0D}, {"tab", 0x09},         {"esc", 0x1B},      {"backspace", 0x08},
        {"up", 0x26},         {"down", 0x28},  {"left", 0x25},        {"right", 0x27},    {"shift", 0x10},
        {"ctrl", 0x11},       {"alt", 0x12},   {"win", 0x5B},         {"capslock", 0x14}, {"numlock", 0x90},
        {"scrolllock", 0x91}, {"ins", 0x2D},   {"del", 0x2E},         {"home", 0x24},     {"end", 0x23},
        {"pgup", 0x21},       {"pgdn", 0x22},  {"printscreen", 0x2C}, {"pause", 0x13},
    };
    for (int digit = 0; digit <= 9; ++digit)
      names[std::string(1, static_cast<char>('0' + digit))] = static_cast<std::uint16_t>(0x30 + digit);
    for (int f = 1; f <= 12; ++f) names["f" + std::to_string(f)] = static_cast<std::uint16_t>(0x70 + f - 1);
    return names;
  }();
  return table;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

KeyBinding parseKeyBinding(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = asciiLower(c);
  const auto plus = lower.find('+');
  if (plus == std::string::npos) return {"", lower};
  return {lower.substr(0, plus), lower.substr(plus + 1)};
}

std::uint16_t virtualKeyOf(const std::string& part) {
  if (part.size() == 1) {
    const char c = asciiUpper(part[0]);
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<std::uint16_t>(c);
  }
  const auto& table = keyNameTable();
  const auto found = table.find(part);
  return found == table.end() ? 0 : found->second;
}

std::string keyLabel(std::uint16_t virtualKey) {
  if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
    return std::string(1, static_cast<char>(virtualKey));
  for (const auto& [name, code] : keyNameTable())
    if (code == virtualKey) return name;
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(virtualKey));
  return text;
}

}  // namespace outputs

#pragma once

#include <imgui.h>

// The program's colours. Every widget and tab takes its colours from here.
namespace gui::palette {

inline ImVec4 rgb(unsigned hex, float alpha = 1.0f) {
  return ImVec4(((hex >> 16) & 0xff) / 255.0f, ((hex >> 8) & 0xff) / 255.0f, (hex & 0xff) / 255.0f, alpha);
}
// Packed colour for draw lists (ImGui's IM_COL32 byte order).
constexpr ImU32 u32(unsigned hex, unsigned alpha = 255) {
  return (alpha << 24) | ((hex & 0xff) << 16) | (hex & 0xff00) | ((hex >> 16) & 0xff);
}

constexpr unsigned kAccent = 0xe98725;         // buttons, checks, grabs, selected tabs, titles
constexpr unsigned kAccentHovered = 0xc77625;  // hovered buttons, active headers
constexpr unsigned kAccentShadow = 0xa45613;   // base and outline of raised buttons
constexpr unsigned kGood = 0x34d399;           // START, connected, found
constexpr unsigned kBad = 0xEF4444;            // STOP, errors, missing
constexpr unsigned kInfo = 0x38bdf8;           // information and visualiser accents
constexpr unsigned kWindowBg = 0x0e0e0e;
constexpr unsigned kCardBg = 0x1b212d;
constexpr unsigned kFrameBg = 0x0C1015;  // input frames, header, footer, slider tracks
constexpr unsigned kDarkText = 0x0F172A;
constexpr unsigned kBorder = 0x334155;
constexpr unsigned kTabIdle = 0x1E293B;
constexpr unsigned kMuted = 0x64748B;
constexpr unsigned kWhite = 0xFFFFFF;
constexpr unsigned kKnob = 0x0F1C2A;

}  // namespace gui::palette

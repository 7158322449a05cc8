#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace platform {

// The Xbox 360 pad report (the bus driver's XUSB_REPORT): 12 bytes, little-endian on the wire.
struct XusbReport {
  std::uint16_t wButtons = 0;
  std::uint8_t bLeftTrigger = 0;
  std::uint8_t bRightTrigger = 0;
  std::int16_t sThumbLX = 0;
  std::int16_t sThumbLY = 0;  // positive = up (forward)
  std::int16_t sThumbRX = 0;
  std::int16_t sThumbRY = 0;  // positive = up

  bool operator==(const XusbReport&) const = default;
};
static_assert(sizeof(XusbReport) == 12);
static_assert(offsetof(XusbReport, wButtons) == 0);
static_assert(offsetof(XusbReport, bLeftTrigger) == 2);
static_assert(offsetof(XusbReport, bRightTrigger) == 3);
static_assert(offsetof(XusbReport, sThumbLX) == 4);
static_assert(offsetof(XusbReport, sThumbLY) == 6);
static_assert(offsetof(XusbReport, sThumbRX) == 8);
static_assert(offsetof(XusbReport, sThumbRY) == 10);

// Button bits of wButtons.
inline constexpr std::uint16_t kXusbDpadUp = 0x0001;
inline constexpr std::uint16_t kXusbDpadDown = 0x0002;
inline constexpr std::uint16_t kXusbDpadLeft = 0x0004;
inline constexpr std::uint16_t kXusbDpadRight = 0x0008;
inline constexpr std::uint16_t kXusbStart = 0x0010;
inline constexpr std::uint16_t kXusbBack = 0x0020;
inline constexpr std::uint16_t kXusbLeftThumb = 0x0040;
inline constexpr std::uint16_t kXusbRightThumb = 0x0080;
inline constexpr std::uint16_t kXusbLeftShoulder = 0x0100;
inline constexpr std::uint16_t kXusbRightShoulder = 0x0200;
inline constexpr std::uint16_t kXusbGuide = 0x0400;
inline constexpr std::uint16_t kXusbA = 0x1000;
inline constexpr std::uint16_t kXusbB = 0x2000;
inline constexpr std::uint16_t kXusbX = 0x4000;
inline constexpr std::uint16_t kXusbY = 0x8000;

// Button names and their bits. The first ten are the buttons the program presses
// by name (face, shoulders, thumbs, START, BACK); the rest are the guide button and
// the d-pad, which only a scripted pad state sets.
struct XusbNamedButton {
  std::string_view name;
  std::uint16_t bit;
};
inline constexpr XusbNamedButton kXusbNamedButtons[] = {
    {"A", kXusbA},
    {"B", kXusbB},
    {"X", kXusbX},
    {"Y", kXusbY},
    {"LB", kXusbLeftShoulder},
    {"RB", kXusbRightShoulder},
    {"LTHUMB", kXusbLeftThumb},
    {"RTHUMB", kXusbRightThumb},
    {"START", kXusbStart},
    {"BACK", kXusbBack},
    {"GUIDE", kXusbGuide},
    {"DPAD_UP", kXusbDpadUp},
    {"DPAD_DOWN", kXusbDpadDown},
    {"DPAD_LEFT", kXusbDpadLeft},
    {"DPAD_RIGHT", kXusbDpadRight},
};
inline constexpr std::span<const XusbNamedButton> kXusbPressableButtons{kXusbNamedButtons, 10};

}  // namespace platform

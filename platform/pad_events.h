#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/xusb_report.h"

// How an Xbox 360 report becomes Linux input events, laid out as the kernel's own
// Xbox 360 driver reports a wired pad, so games and SDL see a standard Xbox 360 pad.
// Portable (no OS calls) so it is tested on every platform.
namespace platform::padevents {

// Linux input event types and codes (linux/input-event-codes.h).
inline constexpr std::uint16_t kEvSyn = 0x00, kEvKey = 0x01, kEvAbs = 0x03;
inline constexpr std::uint16_t kSynReport = 0;
inline constexpr std::uint16_t kBtnA = 0x130, kBtnB = 0x131, kBtnX = 0x133, kBtnY = 0x134;
inline constexpr std::uint16_t kBtnTL = 0x136, kBtnTR = 0x137, kBtnSelect = 0x13a, kBtnStart = 0x13b;
inline constexpr std::uint16_t kBtnMode = 0x13c, kBtnThumbL = 0x13d, kBtnThumbR = 0x13e;
inline constexpr std::uint16_t kAbsX = 0x00, kAbsY = 0x01, kAbsZ = 0x02, kAbsRX = 0x03, kAbsRY = 0x04;
inline constexpr std::uint16_t kAbsRZ = 0x05, kAbsHat0X = 0x10, kAbsHat0Y = 0x11;

struct InputEvent {
  std::uint16_t type = 0;
  std::uint16_t code = 0;
  std::int32_t value = 0;
  bool operator==(const InputEvent&) const = default;
};

struct ButtonCode {
  std::uint16_t bit;
  std::uint16_t code;
};
// The eleven buttons (the d-pad is the hat axes).
inline constexpr ButtonCode kButtons[] = {
    {kXusbA, kBtnA},
    {kXusbB, kBtnB},
    {kXusbX, kBtnX},
    {kXusbY, kBtnY},
    {kXusbLeftShoulder, kBtnTL},
    {kXusbRightShoulder, kBtnTR},
    {kXusbBack, kBtnSelect},
    {kXusbStart, kBtnStart},
    {kXusbGuide, kBtnMode},
    {kXusbLeftThumb, kBtnThumbL},
    {kXusbRightThumb, kBtnThumbR},
};

struct AxisRange {
  std::uint16_t code;
  std::int32_t minimum, maximum, fuzz, flat;
};
inline constexpr AxisRange kAxes[] = {
    {kAbsX, -32768, 32767, 16, 128},  {kAbsY, -32768, 32767, 16, 128},  {kAbsZ, 0, 255, 0, 0},
    {kAbsRX, -32768, 32767, 16, 128}, {kAbsRY, -32768, 32767, 16, 128}, {kAbsRZ, 0, 255, 0, 0},
    {kAbsHat0X, -1, 1, 0, 0},         {kAbsHat0Y, -1, 1, 0, 0},
};

// At most one event for each button and axis, and the SYN_REPORT.
inline constexpr std::size_t kMaxEvents = std::size(kButtons) + std::size(kAxes) + 1;

// The events of one report, held in place: translating a report allocates nothing.
class EventBatch {
 public:
  void push(const InputEvent& event) { events_[size_++] = event; }  // at most kMaxEvents
  const InputEvent* begin() const { return events_.data(); }
  const InputEvent* end() const { return events_.data() + size_; }
  const InputEvent* data() const { return events_.data(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const InputEvent& back() const { return events_[size_ - 1]; }

 private:
  std::array<InputEvent, kMaxEvents> events_{};
  std::size_t size_ = 0;
};

// The events that move the device from `previous` to `current`, ending with a
// SYN_REPORT; with no previous report (a new device) every button and axis is sent.
// Nothing (not even the SYN) when the two reports look the same to the device.
// Linux y axes grow downwards: the pad's "up" y values are inverted bitwise
// (32767 -> -32768, -32768 -> 32767), which keeps the full range.
EventBatch translateReport(const XusbReport* previous, const XusbReport& current);

}  // namespace platform::padevents

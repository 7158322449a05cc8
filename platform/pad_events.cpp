#include "platform/pad_events.h"

#include <array>

namespace platform::padevents {
namespace {

std::int32_t hat(bool negative, bool positive) { return negative == positive ? 0 : (negative ? -1 : 1); }

// The axis values in the order of kAxes.
std::array<std::int32_t, std::size(kAxes)> axisValues(const XusbReport& report) {
  const std::uint16_t b = report.wButtons;
  return {report.sThumbLX,
          static_cast<std::int16_t>(~report.sThumbLY),
          report.bLeftTrigger,
          report.sThumbRX,
          static_cast<std::int16_t>(~report.sThumbRY),
          report.bRightTrigger,
          hat(b & kXusbDpadLeft, b & kXusbDpadRight),
          hat(b & kXusbDpadUp, b & kXusbDpadDown)};
}

}  // namespace

EventBatch translateReport(const XusbReport* previous, const XusbReport& current) {
  EventBatch events;
  for (const ButtonCode& button : kButtons) {
    const bool down = current.wButtons & button.bit;
    if (previous && down == static_cast<bool>(previous->wButtons & button.bit)) continue;
    events.push({kEvKey, button.code, down ? 1 : 0});
  }
  const auto now = axisValues(current);
  std::array<std::int32_t, std::size(kAxes)> before{};
  if (previous) before = axisValues(*previous);
  for (std::size_t i = 0; i < now.size(); ++i) {
    if (previous && now[i] == before[i]) continue;
    events.push({kEvAbs, kAxes[i].code, now[i]});
  }
  if (events.empty()) return events;
  events.push({kEvSyn, kSynReport, 0});
  return events;
}

}  // namespace platform::padevents

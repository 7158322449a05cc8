#pragma once

#include <span>

#include "platform/pad_events.h"

namespace platform::uinputpad {

// Writes the events (at most padevents::kMaxEvents) to the uinput descriptor in one
// write, without allocating; true when all went out.
bool writeEvents(int fd, std::span<const padevents::InputEvent> events);

// The name the pad appears under (as the kernel's own driver names a wired Xbox 360 pad).
inline constexpr const char* kDeviceName = "Microsoft X-Box 360 pad";

}  // namespace platform::uinputpad

#pragma once

#include <vector>

#include "platform/pad_events.h"

namespace platform::uinputpad {

// Writes the events to the uinput descriptor in one write; true when all went out.
bool writeEvents(int fd, const std::vector<padevents::InputEvent>& events);

// The name the pad appears under (as the kernel's own driver names a wired Xbox 360 pad).
inline constexpr const char* kDeviceName = "Microsoft X-Box 360 pad";

}  // namespace platform::uinputpad

#pragma once

#include <windows.h>

#include <cstdint>

namespace platform::win32 {

// The keyboard input record for one key event: virtual-key code, no scan code,
// flags 0 for key-down and KEYEVENTF_KEYUP for key-up, time 0, no extra information.
INPUT keyboardInputRecord(std::uint16_t virtualKey, bool down);

}  // namespace platform::win32

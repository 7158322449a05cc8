#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/key_injector.h"

namespace platform::posix {

// Translation of the program's virtual-key codes to Linux input: the evdev key code
// (KEY_* of linux/input-event-codes.h) and the X keysym. 0 means no such key.
int evdevKeyCode(std::uint16_t virtualKey);
unsigned long x11Keysym(std::uint16_t virtualKey);

// Writes one key change as a uinput device expects it: an EV_KEY event (value 1
// down, 0 up) followed by a SYN_REPORT, in one write. False for a code with no evdev
// key or when the write fails.
bool writeUinputKeyEvent(int fd, std::uint16_t virtualKey, bool down);

// A virtual keyboard created through the uinput device at `devicePath` that can type
// every key of the table. Null (and a line on `err`) when it cannot be created.
std::unique_ptr<IKeyInjector> openUinputKeyInjector(const std::string& devicePath, std::ostream& err);

// XTest on the X display `displayName` (null: $DISPLAY). Null (and a line on `err`)
// when the display cannot be opened or lacks the XTest extension.
std::unique_ptr<IKeyInjector> openXTestKeyInjector(const char* displayName, std::ostream& err);

}  // namespace platform::posix

#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>

namespace platform {

// Synthesises key events for the foreground application. Keys are named by their
// Windows virtual-key code (0x41 'A', 0x10 Shift, ...), the one key vocabulary of
// the program; each platform translates it to what its input system takes.
class IKeyInjector {
 public:
  virtual ~IKeyInjector() = default;
  // One key-down (`down` true) or key-up event. Returns false when the event could
  // not be delivered (no injection facility, a code this platform cannot send).
  virtual bool sendKey(std::uint16_t virtualKey, bool down) = 0;
};

// The platform's injector: SendInput on Windows; on Linux a uinput virtual keyboard
// when /dev/uinput is writable, else XTest on the X display. When neither is usable
// a line is written to `err` and the injector returned reports every event as failed.
// Which facility is used is written to `out`. Never returns null.
std::unique_ptr<IKeyInjector> createKeyInjector(std::ostream& out, std::ostream& err);

}  // namespace platform

// The driver's hook datagram parser: reads only inside the datagram, drops anything
// longer than the driver's buffer, never yields a stick value that is not finite, and
// what the sender composes from a parsed message parses back to the same message.
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "common/hook/hook_protocol.h"
#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size heap copy without a terminator: a read past the end is a finding.
  auto bytes = std::make_unique<char[]>(size);
  if (size > 0) std::memcpy(bytes.get(), data, size);
  const std::string_view datagram(bytes.get(), size);
  const hook::Message message = hook::parse(datagram);
  hook::scanTwoNumbers(datagram);

  if (size > hook::kMaxDatagram) FUZZ_CHECK(message.kind == hook::Kind::Ignored);
  const bool stick = message.kind == hook::Kind::SerialStick || message.kind == hook::Kind::HandStick;
  if (stick) {
    FUZZ_CHECK(!message.stick.hasY || message.stick.hasX);
    FUZZ_CHECK(!message.stick.hasX || std::isfinite(message.stick.x));
    FUZZ_CHECK(!message.stick.hasY || std::isfinite(message.stick.y));
  }
  if (message.kind == hook::Kind::HandStick && message.stick.hasY) {
    // Four decimals on the wire: the composed message parses back within that rounding.
    const std::string address = message.hand == hook::Hand::Left ? "L" : "R";
    const hook::Message again = hook::parse(hook::stickMessage(address, message.stick.x, message.stick.y));
    FUZZ_CHECK(again.kind == hook::Kind::HandStick && again.hand == message.hand);
    if (std::fabs(message.stick.x) < 1e6f && std::fabs(message.stick.y) < 1e6f) {
      FUZZ_CHECK(std::fabs(again.stick.x - message.stick.x) <= 0.00005f * (1 + std::fabs(message.stick.x)));
      FUZZ_CHECK(std::fabs(again.stick.y - message.stick.y) <= 0.00005f * (1 + std::fabs(message.stick.y)));
    }
  }
  if (message.kind == hook::Kind::SerialButton) {
    const hook::Message again =
        hook::parse(hook::buttonMessage(hook::address(message.serial, "Left"), message.button, message.pressed));
    if (message.serial.find_first_of(" \t\r\n") == std::string::npos && !message.serial.empty() &&
        !message.button.empty() && message.button.find_first_of(" \t\r\n") == std::string::npos) {
      FUZZ_CHECK(again.kind == hook::Kind::SerialButton && again.serial == message.serial &&
                 again.button == message.button && again.pressed == message.pressed);
    }
  }
  return 0;
}

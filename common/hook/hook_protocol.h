#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The text datagrams the main program sends to the SteamVR driver: one message per
// UDP datagram, plain ASCII, no terminator. This header is the one definition of the
// format; the program composes with the functions below and the driver classifies
// with parse().
namespace hook {

inline constexpr std::uint16_t kDriverPort = 4445;
// The driver receives into a buffer of this size; anything longer is dropped whole.
inline constexpr std::size_t kMaxDatagram = 1024;
// A stick override lapses this long after its last stick message.
inline constexpr std::uint64_t kStickStaleMs = 500;
// A button override lapses this long after the last message that named it; the
// program repeats held presses well within it.
inline constexpr std::uint64_t kButtonStaleMs = 1000;

// ---- Sender side ----

// "SN:" + serial when a serial is set, otherwise "L" for "Left" or "L" and "R" for anything else.
std::string address(std::string_view serial, std::string_view hand);
// Fixed-point, four decimals, "C" locale: 0.0000, -1.0000.
std::string formatNumber(float value);
// {address} {x} {y}
std::string stickMessage(std::string_view address, float x, float y);
// The same into `out`, without allocating: the length written, 0 when it does not fit.
std::size_t writeStickMessage(std::span<char> out, std::string_view address, float x, float y);
// {address} BTN {lower-cased name} ON|OFF
std::string buttonMessage(std::string_view address, std::string_view name, bool pressed);
// True when a button message for this name is followed by the stick-click companion.
bool needsJoystickCompanion(std::string_view name);
// {hand letter} BTN joystick ON|OFF
std::string joystickCompanionMessage(std::string_view handLetter, bool pressed);
// {address} OFF
std::string releaseMessage(std::string_view address);

// ---- Receiver side ----

enum class Kind {
  Ignored,         // malformed or not ours: leaves no trace
  SerialButton,    // serial, button, pressed
  SerialStickOff,  // serial
  SerialStick,     // serial, stick
  HandButton,      // hand, button, pressed
  HandStickOff,    // hand
  HandStick,       // hand, stick
  AllSticksOff,    // both hands and every serial stick
};

enum class Hand : std::uint8_t { Left, Right };

// The numbers of a stick message. A value that did not convert keeps the override's
// previous content (hasX / hasY false); the override is activated either way.
struct StickValues {
  bool hasX = false;
  bool hasY = false;
  float x = 0;
  float y = 0;
};

struct Message {
  Kind kind = Kind::Ignored;
  Hand hand = Hand::Left;
  std::string serial;
  std::string button;  // lower-cased
  bool pressed = false;
  StickValues stick;
};

// Classifies one received datagram. Reads only inside `datagram`. A datagram longer
// than kMaxDatagram, or a stick message whose numbers are not finite, is Ignored.
Message parse(std::string_view datagram);

// Reads up to two numbers the way the C conversion "%f %f" does in the "C" locale
// (leading white space, optional sign, decimal or hexadecimal digits, exponent, inf,
// nan), independent of the process's locale. Exposed for tests.
StickValues scanTwoNumbers(std::string_view text);

// ---- Status ping ----
// The program asks "PING <n>" once a second; the driver answers the sender with its
// status. A driver that predates the ping classifies it as Ignored (see parse()).

// What the driver reports about itself.
struct DriverStatus {
  std::uint32_t counter = 0;        // the n of the PING being answered
  std::uint32_t controllers = 0;    // controllers whose input components it intercepts
  std::int64_t overrideAgeMs = -1;  // since it last applied an override; -1: never
};

// "PING <n>"
std::string pingMessage(std::uint32_t counter);
// True for exactly "PING " and a decimal 32-bit number; reads only inside `datagram`.
bool parsePing(std::string_view datagram, std::uint32_t& counter);
// "PONG <n> <controllers> <age ms or -1>"
std::string statusMessage(const DriverStatus& status);
// True for a well-formed answer; anything else (short, long, garbage) is false.
bool parseStatus(std::string_view datagram, DriverStatus& out);

}  // namespace hook

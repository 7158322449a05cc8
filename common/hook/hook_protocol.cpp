#include "common/hook/hook_protocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/hot_path.h"

namespace hook {
namespace {

// Byte-wise, independent of the process locale (the driver lives in someone else's process).
char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// One "%f" conversion starting at `pos`. On success stores the value, moves `pos` past
// the consumed text and returns true.
bool scanOne(std::string_view text, std::size_t& pos, float& value) {
  std::size_t at = pos;
  while (at < text.size() && isSpace(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at >= text.size() || text[at] == '+' || text[at] == '-') return false;
  const char* first = text.data() + at;
  const char* last = text.data() + text.size();
  double number = 0;
  std::from_chars_result result{};
  const bool hex = last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X') &&
                   (isHexDigit(first[2]) || first[2] == '.');
  if (hex) {
    result = std::from_chars(first + 2, last, number, std::chars_format::hex);
  } else {
    result = std::from_chars(first, last, number, std::chars_format::general);
  }
  if (result.ptr == first || (hex && result.ptr == first + 2)) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // Too large gives infinity, too small gives zero, as the C conversion does.
    const std::string_view consumed(first, static_cast<std::size_t>(result.ptr - first));
    const bool tinyExponent =
        consumed.find("e-") != std::string_view::npos || consumed.find("E-") != std::string_view::npos ||
        consumed.find("p-") != std::string_view::npos || consumed.find("P-") != std::string_view::npos;
    number = tinyExponent ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (result.ec != std::errc{}) {
    return false;
  }
  float converted = static_cast<float>(number);
  value = negative ? -converted : converted;
  pos = static_cast<std::size_t>(result.ptr - text.data());
  return true;
}

// "name state" split at the last space; false when there is no space.
bool splitNameState(std::string_view text, Message& out) {
  const std::size_t space = text.rfind(' ');
  if (space == std::string_view::npos) return false;
  out.button = lowerAscii(text.substr(0, space));
  out.pressed = text.substr(space + 1) == "ON";
  return true;
}

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// Numbers that are not finite must never reach a controller: such a message is dropped.
bool finite(const StickValues& stick) {
  return (!stick.hasX || std::isfinite(stick.x)) && (!stick.hasY || std::isfinite(stick.y));
}

Message stickOrIgnored(Message message) {
  if (!finite(message.stick)) return Message{};
  return message;
}

}  // namespace

std::string address(std::string_view serial, std::string_view hand) {
  if (!serial.empty()) return "SN:" + std::string(serial);
  return (hand == "Left" || hand == "L") ? "L" : "R";
}

namespace {

// `value` as "%.4f" in the "C" locale (printf would use the process locale's decimal
// mark), into [at, end); the end of the text, or nullptr when it does not fit.
// The float times 10000 is exact in a double (24 + 14 bits), so rounding it to the
// nearest integer, ties to even, gives what to_chars gives; the integer digits then
// need none of to_chars' tables, which a sample on its way to the driver would find
// cold. Very large and non-finite values go to to_chars.
STRIVO_HOT_PATH char* writeFixed4(char* at, char* end, float value) {
  if (!std::isfinite(value) || std::fabs(value) >= 1e9f) {
    const auto result = std::to_chars(at, end, static_cast<double>(value), std::chars_format::fixed, 4);
    return result.ec == std::errc{} ? result.ptr : nullptr;
  }
  std::uint64_t units = static_cast<std::uint64_t>(std::nearbyint(std::fabs(static_cast<double>(value)) * 10000.0));
  char reversed[24];
  std::size_t count = 0;
  for (int i = 0; i < 4; ++i, units /= 10) reversed[count++] = static_cast<char>('0' + units % 10);
  reversed[count++] = '.';
  do {
    reversed[count++] = static_cast<char>('0' + units % 10);
    units /= 10;
  } while (units != 0);
  if (std::signbit(value)) reversed[count++] = '-';
  if (static_cast<std::size_t>(end - at) < count) return nullptr;
  while (count > 0) *at++ = reversed[--count];
  return at;
}

}  // namespace

std::string formatNumber(float value) {
  char buffer[64];
  const char* const end = writeFixed4(buffer, buffer + sizeof buffer, value);
  return end ? std::string(static_cast<const char*>(buffer), end) : std::string("0.0000");
}

STRIVO_HOT_PATH std::size_t writeStickMessage(std::span<char> out, std::string_view address, float x, float y) {
  char* at = out.data();
  char* const end = out.data() + out.size();
  if (address.size() > out.size()) return 0;
  at = std::copy(address.begin(), address.end(), at);
  for (const float value : {x, y}) {
    if (at == end) return 0;
    *at++ = ' ';
    at = writeFixed4(at, end, value);
    if (!at) return 0;
  }
  return static_cast<std::size_t>(at - out.data());
}

std::string stickMessage(std::string_view address, float x, float y) {
  // Room for any two finite floats: "-340282346638528859811704183484516925440.0000" is 45.
  constexpr std::size_t kLongestNumber = 45;
  std::string text(address.size() + 2 * (1 + kLongestNumber), '\0');
  text.resize(writeStickMessage(text, address, x, y));
  return text;
}

std::string buttonMessage(std::string_view address, std::string_view name, bool pressed) {
  return std::string(address) + " BTN " + lowerAscii(name) + (pressed ? " ON" : " OFF");
}

bool needsJoystickCompanion(std::string_view name) { return lowerAscii(name) == "thumbstick"; }

std::string joystickCompanionMessage(std::string_view handLetter, bool pressed) {
  return std::string(handLetter) + " BTN joystick" + (pressed ? " ON" : " OFF");
}

std::string releaseMessage(std::string_view address) { return std::string(address) + " OFF"; }

StickValues scanTwoNumbers(std::string_view text) {
  StickValues values;
  std::size_t pos = 0;
  values.hasX = scanOne(text, pos, values.x);
  if (values.hasX) values.hasY = scanOne(text, pos, values.y);
  return values;
}

namespace {

// A decimal number of `T` filling all of `text`.
template <class T>
bool wholeNumber(std::string_view text, T& out) {
  if (text.empty() || text.size() > 20) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), out);
  return result.ec == std::errc{} && result.ptr == text.data() + text.size();
}

constexpr std::string_view kPing = "PING ";
constexpr std::string_view kPong = "PONG ";
// The longest well-formed answer: "PONG " and three numbers of up to 20 characters.
constexpr std::size_t kMaxStatus = 5 + 3 * 21;

}  // namespace

std::string pingMessage(std::uint32_t counter) { return std::string(kPing) + std::to_string(counter); }

bool parsePing(std::string_view datagram, std::uint32_t& counter) {
  if (datagram.size() > kPing.size() + 10 || datagram.substr(0, kPing.size()) != kPing) return false;
  const std::string_view digits = datagram.substr(kPing.size());
  if (digits.empty() || digits[0] == '-' || digits[0] == '+') return false;
  return wholeNumber(digits, counter);
}

std::string statusMessage(const DriverStatus& status) {
  return std::string(kPong) + std::to_string(status.counter) + ' ' + std::to_string(status.controllers) + ' ' +
         std::to_string(status.overrideAgeMs < 0 ? -1 : status.overrideAgeMs);
}

bool parseStatus(std::string_view datagram, DriverStatus& out) {
  if (datagram.size() > kMaxStatus || datagram.substr(0, kPong.size()) != kPong) return false;
  std::string_view rest = datagram.substr(kPong.size());
  const std::size_t first = rest.find(' ');
  if (first == std::string_view::npos) return false;
  const std::size_t second = rest.find(' ', first + 1);
  if (second == std::string_view::npos) return false;
  DriverStatus status;
  if (rest[0] == '-' || rest[first + 1] == '-') return false;
  if (!wholeNumber(rest.substr(0, first), status.counter) ||
      !wholeNumber(rest.substr(first + 1, second - first - 1), status.controllers) ||
      !wholeNumber(rest.substr(second + 1), status.overrideAgeMs) || status.overrideAgeMs < -1)
    return false;
  out = status;
  return true;
}

Message parse(std::string_view datagram) {
  Message message;
  if (datagram.empty() || datagram.size() > kMaxDatagram) return message;

  // Serial addressing: "SN:<serial> <body>".
  if (datagram.substr(0, 3) == "SN:") {
    const std::size_t space = datagram.find(' ');
    if (space == std::string_view::npos) return message;
    message.serial = std::string(datagram.substr(3, space - 3));
    const std::string_view body = datagram.substr(space + 1);
    if (body.substr(0, 4) == "BTN ") {
      if (!splitNameState(body.substr(4), message)) return Message{};
      message.kind = Kind::SerialButton;
      return message;
    }
    if (body.size() > 2 && contains(body, "OFF")) {
      message.kind = Kind::SerialStickOff;
      return message;
    }
    message.kind = Kind::SerialStick;
    message.stick = scanTwoNumbers(body);
    return stickOrIgnored(std::move(message));
  }

  // Hand button: "<hand> BTN <name> <state>"; every first byte but L means right.
  if (datagram.size() >= 7 && datagram.substr(2, 4) == "BTN ") {
    message.hand = datagram[0] == 'L' ? Hand::Left : Hand::Right;
    if (!splitNameState(datagram.substr(6), message)) return Message{};
    message.kind = Kind::HandButton;
    return message;
  }

  const char first = datagram[0];
  if (first == 'L' || first == 'R') {
    message.hand = first == 'L' ? Hand::Left : Hand::Right;
    if (datagram.size() > 2 && contains(datagram, "OFF")) {
      message.kind = Kind::HandStickOff;
      return message;
    }
    message.kind = Kind::HandStick;
    message.stick = scanTwoNumbers(datagram.substr(1));
    return stickOrIgnored(std::move(message));
  }

  if (datagram.size() >= 3 && contains(datagram, "OFF")) message.kind = Kind::AllSticksOff;
  return message;
}

}  // namespace hook

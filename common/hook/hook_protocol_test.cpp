#include "common/hook/hook_protocol.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using hook::Hand;
using hook::Kind;
using hook::parse;

TEST(HookCompose, MessagesAreByteExact) {
  EXPECT_EQ(hook::stickMessage("L", 0.0f, 1.0f), "L 0.0000 1.0000");
  EXPECT_EQ(hook::stickMessage("L", 0.0f, 1.0f).size(), 15u);
  EXPECT_EQ(hook::stickMessage("R", -1.0f, 0.12345f), "R -1.0000 0.1235");
  EXPECT_EQ(hook::stickMessage("SN:S1", 0.5f, -0.0f), "SN:S1 0.5000 -0.0000");
  EXPECT_EQ(hook::buttonMessage("SN:S123", "A", true), "SN:S123 BTN a ON");
  EXPECT_EQ(hook::buttonMessage("L", "Trigger", false), "L BTN trigger OFF");
  EXPECT_EQ(hook::joystickCompanionMessage("R", true), "R BTN joystick ON");
  EXPECT_EQ(hook::releaseMessage("L"), "L OFF");
  EXPECT_TRUE(hook::needsJoystickCompanion("Thumbstick"));
  EXPECT_FALSE(hook::needsJoystickCompanion("Thumbstick Back"));
}

// The stick's numbers are "%.4f" of the float, rounding ties to even, as to_chars
// writes them: every 4099th float up to 4 (both signs), the exact ties, and values too
// large for the integer digits, two of the longest in one message. A text that does
// not fit in the caller's buffer is not sent at all.
TEST(HookCompose, StickNumbersAreToCharsFixedFour) {
  const auto text = [](float v) {
    char digits[64];
    const auto end =
        std::to_chars(digits, digits + sizeof digits, static_cast<double>(v), std::chars_format::fixed, 4).ptr;
    return std::string(digits, end);
  };
  std::vector<float> values{0.03125f, -0.03125f, 0.09375f, 0.00005f, 1e9f, -3e38f, 999999999.0f, -0.0f};
  for (std::uint32_t bits = 0; bits <= std::bit_cast<std::uint32_t>(4.0f); bits += 4099)
    values.insert(values.end(), {std::bit_cast<float>(bits), -std::bit_cast<float>(bits)});
  for (const float v : values) ASSERT_EQ(hook::stickMessage("L", v, 0.0f), "L " + text(v) + " 0.0000") << v;
  const float longest = -std::numeric_limits<float>::max();
  EXPECT_EQ(hook::stickMessage("L", longest, longest), "L " + text(longest) + " " + text(longest));

  char small[12];
  EXPECT_EQ(hook::writeStickMessage(small, "L", 123456.0f, 0.0f), 0u);
  EXPECT_EQ(hook::writeStickMessage(small, "L", 0.5f, 0.25f), 0u);  // "L 0.5000 0.2500" is 15
}

TEST(HookCompose, AddressFromSerialOrHand) {
  EXPECT_EQ(hook::address("", "Left"), "L");
  EXPECT_EQ(hook::address("", "L"), "L");
  EXPECT_EQ(hook::address("", "Right"), "R");
  EXPECT_EQ(hook::address("", "left"), "R");  // only the exact texts mean left
  EXPECT_EQ(hook::address("LHR-1234", "Left"), "SN:LHR-1234");
}

TEST(HookCompose, NumbersIgnoreTheProcessLocale) {
  // A comma-decimal locale must not leak into the wire format (if the machine has one).
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "German");
  EXPECT_EQ(hook::stickMessage("L", 0.25f, -0.5f), "L 0.2500 -0.5000");
  EXPECT_TRUE(parse("L 0.25 -0.5").stick.hasY);
  EXPECT_FLOAT_EQ(parse("L 0.25 -0.5").stick.x, 0.25f);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no comma-decimal locale installed; checked under the C locale only";
}

TEST(HookParse, RoundTripsEveryComposition) {
  const auto stick = parse(hook::stickMessage("R", -0.25f, 0.75f));
  EXPECT_EQ(stick.kind, Kind::HandStick);
  EXPECT_EQ(stick.hand, Hand::Right);
  EXPECT_FLOAT_EQ(stick.stick.x, -0.25f);
  EXPECT_FLOAT_EQ(stick.stick.y, 0.75f);

  const auto button = parse(hook::buttonMessage("SN:S123", "Grip", true));
  EXPECT_EQ(button.kind, Kind::SerialButton);
  EXPECT_EQ(button.serial, "S123");
  EXPECT_EQ(button.button, "grip");
  EXPECT_TRUE(button.pressed);

  const auto release = parse(hook::releaseMessage("SN:S123"));
  EXPECT_EQ(release.kind, Kind::SerialStickOff);
  EXPECT_EQ(release.serial, "S123");
  EXPECT_EQ(parse(hook::releaseMessage("L")).kind, Kind::HandStickOff);
}

TEST(HookParse, HandButtons) {
  auto m = parse("L BTN Trigger ON");
  EXPECT_EQ(m.kind, Kind::HandButton);
  EXPECT_EQ(m.hand, Hand::Left);
  EXPECT_EQ(m.button, "trigger");
  EXPECT_TRUE(m.pressed);

  m = parse("L BTN trigger on");  // only upper-case ON presses
  EXPECT_EQ(m.kind, Kind::HandButton);
  EXPECT_FALSE(m.pressed);

  m = parse("X BTN a ON");  // any first byte other than L means right
  EXPECT_EQ(m.hand, Hand::Right);
  EXPECT_EQ(m.button, "a");

  m = parse("L BTN thumb stick ON");  // the name ends at the last space
  EXPECT_EQ(m.button, "thumb stick");

  EXPECT_EQ(parse("L BTN a").kind, Kind::Ignored);   // no state
  EXPECT_EQ(parse("L BTN ").kind, Kind::HandStick);  // too short for a button: a stick without numbers
  EXPECT_EQ(parse("L BTN  ON").button, "");          // empty name is stored as such
}

TEST(HookParse, SerialMessages) {
  EXPECT_EQ(parse("SN:S1").kind, Kind::Ignored);        // no space after the serial
  EXPECT_EQ(parse("SN:S1 BTN a").kind, Kind::Ignored);  // button without state
  EXPECT_EQ(parse("SN:S1 OFFSET").kind, Kind::SerialStickOff);
  EXPECT_EQ(parse("SN:S1 OF").kind, Kind::SerialStick);  // body of two bytes never means off

  auto m = parse("SN:Case-Sensitive 0.5 1e-1");
  EXPECT_EQ(m.kind, Kind::SerialStick);
  EXPECT_EQ(m.serial, "Case-Sensitive");
  EXPECT_FLOAT_EQ(m.stick.y, 0.1f);

  m = parse("SN: 0.5 0.5");  // empty serial is accepted and matches nothing
  EXPECT_EQ(m.kind, Kind::SerialStick);
  EXPECT_EQ(m.serial, "");
}

TEST(HookParse, HandSticksAndOffs) {
  auto m = parse("L");  // activates with the previous values
  EXPECT_EQ(m.kind, Kind::HandStick);
  EXPECT_FALSE(m.stick.hasX);
  EXPECT_FALSE(m.stick.hasY);

  EXPECT_EQ(parse("R OFF").kind, Kind::HandStickOff);
  EXPECT_EQ(parse("R OFF").hand, Hand::Right);
  EXPECT_EQ(parse("X OFF").kind, Kind::AllSticksOff);
  EXPECT_EQ(parse("OFF").kind, Kind::AllSticksOff);  // three bytes are enough
  EXPECT_EQ(parse("X 0.5 0.5").kind, Kind::Ignored);
  EXPECT_EQ(parse("OF").kind, Kind::Ignored);
  EXPECT_EQ(parse("").kind, Kind::Ignored);
}

TEST(HookParse, NumbersFollowTheCConversion) {
  auto m = parse("L +5e-1 -0");
  ASSERT_TRUE(m.stick.hasX && m.stick.hasY);
  EXPECT_FLOAT_EQ(m.stick.x, 0.5f);
  EXPECT_EQ(m.stick.y, 0.0f);  // minus zero reads as zero
  EXPECT_TRUE(std::signbit(m.stick.y));

  m = parse("L 1 .25");
  EXPECT_FLOAT_EQ(m.stick.x, 1.0f);
  EXPECT_FLOAT_EQ(m.stick.y, 0.25f);

  m = parse("L0x1p-1\t\n-1");
  EXPECT_FLOAT_EQ(m.stick.x, 0.5f);
  EXPECT_FLOAT_EQ(m.stick.y, -1.0f);

  m = parse("L 0.5,0.5");  // the second conversion fails: y keeps its old value
  EXPECT_TRUE(m.stick.hasX);
  EXPECT_FALSE(m.stick.hasY);

  m = parse("L abc 0.5");  // nothing converts, but the override is still activated
  EXPECT_EQ(m.kind, Kind::HandStick);
  EXPECT_FALSE(m.stick.hasX);
  EXPECT_FALSE(m.stick.hasY);

  m = parse("L +-1 2");
  EXPECT_FALSE(m.stick.hasX);

  m = parse("L 1e-60 2");  // underflow reads as zero
  EXPECT_EQ(m.stick.x, 0.0f);
}

TEST(HookParse, NonFiniteNumbersNeverReachAController) {
  for (const char* text : {"L nan 0", "L 0 inf", "R -INFINITY 0", "SN:S1 NaN(1) 0", "L 1e99 0", "L 0 -1e39"}) {
    EXPECT_EQ(parse(text).kind, Kind::Ignored) << text;
  }
}

TEST(HookParse, HostileInput) {
  EXPECT_EQ(parse(std::string(hook::kMaxDatagram + 1, 'L')).kind, Kind::Ignored);
  EXPECT_EQ(parse("L" + std::string(hook::kMaxDatagram - 1, ' ')).kind, Kind::HandStick);  // exactly full

  const std::string nonAscii = "L BTN \xC3\x84\xFF ON";
  auto m = parse(nonAscii);
  EXPECT_EQ(m.kind, Kind::HandButton);
  EXPECT_EQ(m.button, "\xC3\x84\xFF");  // bytes above 127 are kept as they are

  const std::string withNul("L 0.5\0 0.7", 10);
  m = parse(withNul);
  EXPECT_FLOAT_EQ(m.stick.x, 0.5f);
  EXPECT_FALSE(m.stick.hasY);  // the NUL ends the numbers

  // A view into a larger buffer: nothing beyond the view is read.
  const std::string buffer = "L 0.5 0.75 OFF";
  m = parse(std::string_view(buffer).substr(0, 10));
  EXPECT_EQ(m.kind, Kind::HandStick);
  EXPECT_FLOAT_EQ(m.stick.y, 0.75f);
  EXPECT_EQ(parse(std::string_view(buffer).substr(0, 5)).stick.hasY, false);
}

TEST(HookParse, RandomBytesNeverYieldANonFiniteStick) {
  std::mt19937 random(4445);
  std::string alphabet = "LRSN: BTNOFonf0123456789.+-eEinfaxp\t";
  alphabet += '\0';
  alphabet += '\xff';
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 40, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    const auto m = parse(text);
    EXPECT_TRUE(!m.stick.hasX || std::isfinite(m.stick.x)) << text;
    EXPECT_TRUE(!m.stick.hasY || std::isfinite(m.stick.y)) << text;
    EXPECT_EQ(m.button.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos) << text;
  }
}

TEST(HookPing, RoundTripsAndRejectsWhatIsNotExactlyOurs) {
  std::uint32_t n = 0;
  ASSERT_TRUE(hook::parsePing(hook::pingMessage(4294967295u), n));
  EXPECT_EQ(n, 4294967295u);
  // A driver that predates the ping classifies it as nothing (and so ignores it).
  EXPECT_EQ(parse(hook::pingMessage(7)).kind, Kind::Ignored);
  for (const char* bad : {"PING", "PING ", "PING -1", "PING +1", "PING 4294967296", "PING 1 ", "PING 1x", "ping 1"})
    EXPECT_FALSE(hook::parsePing(bad, n)) << bad;

  hook::DriverStatus status;
  ASSERT_TRUE(hook::parseStatus(hook::statusMessage({9, 2, 15}), status));
  EXPECT_EQ(status.counter, 9u);
  EXPECT_EQ(status.controllers, 2u);
  EXPECT_EQ(status.overrideAgeMs, 15);
  ASSERT_TRUE(hook::parseStatus("PONG 1 0 -1", status));
  EXPECT_EQ(status.overrideAgeMs, -1);
  const std::string buffer = "PONG 3 1 20 trailing";
  EXPECT_TRUE(hook::parseStatus(std::string_view(buffer).substr(0, 11), status));  // only the view is read
  for (const std::string& bad :
       std::vector<std::string>{"", "PONG", "PONG 1 2", "PONG 1 2 ", "PONG -1 2 3", "PONG 1 -2 3", "PONG 1 2 -2",
                                "PONG 1 2 3 4", "PONG 1 2 3" + std::string(100, '0'), std::string("PONG 1\0 2 3", 11)})
    EXPECT_FALSE(hook::parseStatus(bad, status)) << bad;
}

}  // namespace

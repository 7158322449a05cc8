#include "app/core/settings.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/core/axis.h"
#include "app/core/utf8_text.h"

namespace core {
namespace {

TEST(Axis, TextAndIntegerConvertBothWaysOnlyForExactTexts) {
  const char* texts[] = {"X", "Y", "Z", "-X", "-Y", "-Z"};
  for (int axis = 0; axis < 6; ++axis) {
    EXPECT_EQ(axisFromText(texts[axis]), axis);
    EXPECT_EQ(axisToText(axis), texts[axis]);
  }
  for (const char* other : {"None", "y", " X", "X ", "-x", "+X", "", "XX"}) EXPECT_EQ(axisFromText(other), AxisNone);
  for (int outside : {6, 7, -1, 1000}) EXPECT_EQ(axisToText(outside), "None");
}

TEST(Utf8Text, EachIllFormedSequenceBecomesOneReplacementAndCutsKeepWholeCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain \xC3\xA9\xE2\x9C\x93\xF0\x9F\x98\x80", "plain \xC3\xA9\xE2\x9C\x93\xF0\x9F\x98\x80"},
      {"\xFF", r},
      {"a\xC3", "a" + r},                              // cut off at the end
      {"\xE2\x9Cz", r + "z"},                          // one replacement for the started sequence
      {"\xC0\xAF", r + r},                             // overlong
      {"\xED\xA0\x80", r + r + r},                     // a surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},             // beyond U+10FFFF
      {std::string("\0x", 2), std::string("\0x", 2)},  // NUL is text too
  };
  for (const Case& c : cases) {
    EXPECT_EQ(repairUtf8(c.in), c.out) << c.in;
    EXPECT_EQ(isValidUtf8(c.in), c.in == c.out) << c.in;
    EXPECT_TRUE(isValidUtf8(repairUtf8(c.in)));
  }
  EXPECT_EQ(repairUtf8("ab\xE2\x9C\x93", 4), "ab");  // never half a character
  EXPECT_EQ(repairUtf8("ab\xE2\x9C\x93", 5), "ab\xE2\x9C\x93");
  EXPECT_EQ(repairUtf8(std::string(100000, '\xFF'), 6), r + r);
}

TEST(Settings, TextFieldsCanBeEditedWhileOtherThreadsReadThem) {
  Settings settings;
  settings.mode = "Keyboard";  // before the reader starts: the default text is neither of the two
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  settings.mode = "Keyboard";  // before the reader starts, so it never sees the default text
  std::thread reader([&] {
    while (!stop) {
      const std::string mode = settings.mode.get();
      if (mode != "Keyboard" && mode != "SteamVR Hook (a much longer text than the other one)") ++torn;
    }
  });
  for (int i = 0; i < 20000; ++i)
    settings.mode = (i % 2) ? "Keyboard" : "SteamVR Hook (a much longer text than the other one)";
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0);
  EXPECT_TRUE(settings.mode.equals("Keyboard"));
}

}  // namespace
}  // namespace core

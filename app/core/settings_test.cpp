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

TEST(Utf8Text, EachIllFormedPartBecomesOneReplacementAndCutsKeepWholeCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {{"ok \xC3\xA9\xF0\x9F\x98\x80", "ok \xC3\xA9\xF0\x9F\x98\x80"},
                                                       {"a\xC3", "a" + r},
                                                       {"\xE2\x9Cz", r + "z"},
                                                       {"\xC0\xAF", r + r},                   // overlong
                                                       {"\xED\xA0\x80", r + r + r},           // a surrogate
                                                       {"\xF4\x90\x80\x80", r + r + r + r}};  // beyond U+10FFFF
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(repairUtf8(in), out) << in;
    EXPECT_EQ(isValidUtf8(in), in == out) << in;
  }
  EXPECT_EQ(repairUtf8("ab\xE2\x9C\x93", 4), "ab");
}

TEST(Settings, TextFieldsCanBeEditedWhileOtherThreadsReadThem) {
  Settings settings;
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  settings.config.edit([&](core::Config& c) {
    c.tracking.slime_tracker_name = "Keyboard";
  });  // before the reader starts, so it never sees the default text
  std::thread reader([&] {
    while (!stop) {
      const std::string mode = settings.config.snapshot()->tracking.slime_tracker_name;
      if (mode != "Keyboard" && mode != "SteamVR Hook (a much longer text than the other one)") ++torn;
    }
  });
  for (int i = 0; i < 20000; ++i)
    settings.config.edit([&](core::Config& c) {
      c.tracking.slime_tracker_name = (i % 2) ? "Keyboard" : "SteamVR Hook (a much longer text than the other one)";
    });
  stop = true;
  reader.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(settings.config.snapshot()->tracking.slime_tracker_name, "Keyboard");
}

}  // namespace
}  // namespace core

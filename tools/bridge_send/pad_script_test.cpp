#include "tools/bridge_send/pad_script.h"

#include <gtest/gtest.h>

namespace {

using bridgesend::PadStep;

TEST(BridgeSendScript, ParsesButtonsTriggersSticksAndHoldTime) {
  PadStep step;
  std::string error;
  ASSERT_TRUE(bridgesend::parseStep("A+LB+DPAD_UP lt=200 rt=0 lx=-32768 ly=32767 rx=5 ry=-6 ms=500", step, error))
      << error;
  EXPECT_EQ(step.report.wButtons, 0x1000 | 0x0100 | 0x0001);
  EXPECT_EQ(step.report.bLeftTrigger, 200);
  EXPECT_EQ(step.report.sThumbLX, -32768);
  EXPECT_EQ(step.report.sThumbLY, 32767);
  EXPECT_EQ(step.report.sThumbRX, 5);
  EXPECT_EQ(step.report.sThumbRY, -6);
  EXPECT_EQ(step.holdMilliseconds, 500);

  ASSERT_TRUE(bridgesend::parseStep("  none\tlx=1 ", step, error)) << error;
  EXPECT_EQ(step.report.wButtons, 0);
  EXPECT_EQ(step.report.sThumbLX, 1);
  EXPECT_EQ(step.holdMilliseconds, 0);
}

TEST(BridgeSendScript, RejectsWhatItDoesNotUnderstandWithoutTouchingTheResult) {
  const PadStep before{{}, 77};
  for (const char* bad : {"a", "A+", "+A", "A++B", "lt=256", "lt=-1", "lx=32768", "ly=-32769", "lx=", "lx=1.5",
                          "lx=0x10", "ms=600001", "speed=3", "", "   ", "A lt=2 0"}) {
    PadStep step = before;
    std::string error;
    EXPECT_FALSE(bridgesend::parseStep(bad, step, error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
    EXPECT_EQ(step, before) << bad;
  }
}

TEST(BridgeSendScript, ScriptSkipsCommentsAndBlankLinesAndNamesTheBadLine) {
  std::vector<PadStep> steps;
  std::string error;
  ASSERT_TRUE(bridgesend::parseScript("# warm up\n\nA ms=100\r\n  B lt=9\n", steps, error)) << error;
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].report.wButtons, 0x1000);
  EXPECT_EQ(steps[1].report.bLeftTrigger, 9);

  EXPECT_FALSE(bridgesend::parseScript("A\nB\nQ\n", steps, error));
  EXPECT_EQ(error, "line 3: unknown button \"Q\"");
  EXPECT_EQ(steps.size(), 2u) << "a failed parse leaves the previous result";
}

}  // namespace

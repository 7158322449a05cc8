#include "app/outputs/output_config.h"

#include <gtest/gtest.h>

namespace {

using core::Hand;
using outputs::HandButton;

TEST(HandButton, SplitsAtTheFirstColonTrimsBothPartsAndFallsBackToTheStickHand) {
  const struct {
    const char* text;
    HandButton parsed;
  } rows[] = {
      {"Right:  Trigger ", {Hand::Right, "Trigger"}},
      {" A\t", {Hand::Left, "A"}},
      {"\r\nLeft \n:\tX:Y\r\n", {Hand::Left, "X:Y"}},
      {"right: Grip", {Hand::Left, "Grip"}},  // names are exact: an unknown hand is the stick's
      {" : ", {Hand::Left, ""}},
  };
  for (const auto& row : rows) EXPECT_EQ(outputs::parseHandButton(row.text, Hand::Left), row.parsed) << row.text;
}

TEST(ReadOutputConfig, CarriesChoicesAndScalesPercentages) {
  core::Config::Outputs o;
  o.mode = core::OutputMode::Keyboard;
  o.squat_output_mode = core::ActionTarget::VrchatOsc;
  o.target_controller = Hand::Right;
  o.steamvr_button_2 = "Trigger";
  o.enable_openxr_s2 = true;
  o.openxr_threshold_2 = 70.0f;
  o.keyboard_threshold = 40.0f;
  outputs::OutputConfig config = outputs::readOutputConfig(o);
  EXPECT_EQ(config.mode, core::OutputMode::Keyboard);
  EXPECT_EQ(config.crouchTarget, core::ActionTarget::VrchatOsc);
  EXPECT_EQ(config.hook.hand, Hand::Right);
  EXPECT_EQ(config.hook.second, (HandButton{Hand::Right, "Trigger"}));
  EXPECT_EQ(config.hook.jump, (HandButton{Hand::Left, "A"}));
  EXPECT_EQ(config.openxr.second, (HandButton{Hand::Left, "Grip"}));
  EXPECT_EQ(config.secondStage[outputs::slotOf(core::OutputMode::OpenXrLayer)],
            (outputs::SecondStageConfig{true, 0.7f}));
  EXPECT_FLOAT_EQ(config.keyboard.threshold, 0.4f);
  EXPECT_TRUE(outputs::usesOutput(config, core::OutputMode::VrchatOsc));
  EXPECT_FALSE(outputs::usesOutput(config, core::OutputMode::Pad));

  EXPECT_EQ(outputs::readOutputConfig(core::Config::Outputs{}), outputs::OutputConfig{});
}

}  // namespace

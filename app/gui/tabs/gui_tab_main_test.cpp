#include "app/gui/tabs/gui_tab_main.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/gui/headless_imgui.h"
#include "app/gui/tabs/main_visuals.h"

namespace {

using gui::tabs::GuiTabMain;
using guitest::HeadlessImGui;

TEST(MainTabOutputModes, OpenXRIsOfferedOnlyWhenSwitchedOnOrAlreadyChosen) {
  core::Settings s;
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  using core::OutputMode;
  EXPECT_EQ(
      gui::tabs::outputModeList(*s.config.snapshot()),
      (std::vector<OutputMode>{OutputMode::Pad, OutputMode::Keyboard, OutputMode::SteamVrHook, OutputMode::VrchatOsc}));
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::OpenXrLayer; });
  EXPECT_EQ(gui::tabs::outputModeList(*s.config.snapshot()).size(), 5u);
  EXPECT_EQ(gui::tabs::outputModeList(*s.config.snapshot()).back(), OutputMode::OpenXrLayer);
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  s.config.edit([](core::Config& c) { c.program.enable_experimental_openxr = true; });
  EXPECT_EQ(gui::tabs::outputModeList(*s.config.snapshot()).size(), 5u);
}

TEST(MainTabOutputModes, ChoosingAnotherModeStoresItAndTheSameModeChangesNothing) {
  HeadlessImGui ui;
  core::Settings s;
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  gui::GuiActions actions;
  int notices = 0;
  const auto subscription = s.config.subscribe(core::kOutputsSection, [&](const core::Config&) { ++notices; });
  auto published = [&] { return s.config.flush(), notices; };
  engine::LiveView live;
  GuiTabMain tab(s, live, actions);
  auto draw = [&] { tab.render(); };
  ASSERT_TRUE(ui.click("Output Mode", draw));
  ASSERT_TRUE(ui.click("Output Mode/Xbox Controller (vJoy)", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.mode == core::OutputMode::Pad);
  EXPECT_EQ(published(), 1);
  ASSERT_TRUE(ui.click("Output Mode", draw));
  ASSERT_TRUE(ui.click("Output Mode/Xbox Controller (vJoy)", draw));
  EXPECT_EQ(published(), 1) << "choosing the current mode again changes nothing";
  ASSERT_TRUE(ui.click("Output Mode", draw));
  ASSERT_TRUE(ui.click("Output Mode/VRChat OSC", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.mode == core::OutputMode::VrchatOsc);
  EXPECT_EQ(published(), 2);
}

TEST(MainTabHookTarget, ListsRolesDevicesAndAMissingSavedTarget) {
  core::Settings s;
  const std::vector<gui::HookController> devices{{"Index Left", "LHR-1"}, {"Index Right", "LHR-2"}};
  auto list = gui::tabs::hookTargetList(s.config.snapshot()->outputs, devices);
  EXPECT_EQ(list.entries, (std::vector<std::string>{"Left Hand (Default Role)", "Right Hand (Default Role)",
                                                    "Index Left [SN: LHR-1]", "Index Right [SN: LHR-2]"}));
  EXPECT_EQ(list.selected, 0);
  s.config.edit([&](core::Config& c) { c.outputs.target_controller = core::Hand::Right; });
  EXPECT_EQ(gui::tabs::hookTargetList(s.config.snapshot()->outputs, devices).selected, 1);
  s.config.edit([&](core::Config& c) { c.outputs.hook_target_serial = "LHR-2"; });
  EXPECT_EQ(gui::tabs::hookTargetList(s.config.snapshot()->outputs, devices).selected, 3);
  s.config.edit([&](core::Config& c) { c.outputs.hook_target_serial = "LHR-9"; });
  s.config.edit([&](core::Config& c) { c.outputs.hook_target_name = "Old Tracker"; });
  list = gui::tabs::hookTargetList(s.config.snapshot()->outputs, devices);
  ASSERT_EQ(list.entries.size(), 5u);
  EXPECT_EQ(list.entries[4], "Old Tracker [SN: LHR-9] (Not Found)");
  EXPECT_EQ(list.selected, 4);
}

TEST(MainTabHookTarget, ChoosingADeviceStoresItAndPublishesAndTheCacheRefreshesAfterFiveSeconds) {
  HeadlessImGui ui;
  core::Settings s;
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::SteamVrHook; });
  double now = 100;
  int lists = 0, notices = 0;
  const auto subscription = s.config.subscribe(core::kOutputsSection, [&](const core::Config&) { ++notices; });
  auto published = [&] { return s.config.flush(), notices; };
  gui::GuiActions actions;
  actions.now = [&] { return now; };
  actions.listControllers = [&] {
    ++lists;
    return std::vector<gui::HookController>{{"Index Right", "LHR-2"}};
  };
  engine::LiveView live;
  GuiTabMain tab(s, live, actions);
  auto draw = [&] { tab.render(); };
  ui.frame(draw);
  ui.frame(draw);
  EXPECT_EQ(lists, 1);
  now += 5.5;
  ui.frame(draw);
  EXPECT_EQ(lists, 2);
  ASSERT_TRUE(ui.click("REFRESH", draw));
  EXPECT_EQ(lists, 3);

  ASSERT_TRUE(ui.click("##HookTarget", draw));
  ASSERT_TRUE(ui.click("##HookTarget/Index Right [SN: LHR-2]", draw));
  EXPECT_EQ(s.config.snapshot()->outputs.hook_target_serial, "LHR-2");
  EXPECT_EQ(s.config.snapshot()->outputs.hook_target_name, "Index Right");
  EXPECT_TRUE(s.config.snapshot()->outputs.target_controller == core::Hand::Left) << "a device choice leaves the role";
  EXPECT_EQ(published(), 1);

  ASSERT_TRUE(ui.click("##HookTarget", draw));
  ASSERT_TRUE(ui.click("##HookTarget/Right Hand (Default Role)", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.hook_target_serial.empty());
  EXPECT_EQ(s.config.snapshot()->outputs.hook_target_name, "Right Hand (Default)");
  EXPECT_TRUE(s.config.snapshot()->outputs.target_controller == core::Hand::Right);
  EXPECT_EQ(published(), 2);
}

TEST(MainTabModeBlocks, SecondThresholdControlsAppearOnlyWhileSwitchedOn) {
  HeadlessImGui ui;
  core::Settings s;
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Pad; });
  gui::GuiActions actions;
  engine::LiveView live;
  GuiTabMain tab(s, live, actions);
  auto draw = [&] { tab.render(); };
  ui.frame(draw);
  EXPECT_TRUE(ui.has("Enable Additional Threshold (S2)"));
  EXPECT_FALSE(ui.has("S2"));
  EXPECT_FALSE(ui.has("S2 Button"));
  ASSERT_TRUE(ui.click("Enable Additional Threshold (S2)", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.enable_xbox_s2);
  ASSERT_TRUE(ui.has("S2 Button"));
  ASSERT_TRUE(ui.click("S2 Button", draw));
  ASSERT_TRUE(ui.click("S2 Button/RB", draw));
  EXPECT_EQ(s.config.snapshot()->outputs.xbox_button_2, "RB");

  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::OpenXrLayer; });
  ui.frame(draw);
  ASSERT_TRUE(ui.click("Right Controller", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.target_controller == core::Hand::Right);
  ASSERT_TRUE(ui.click("Left Controller", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.target_controller == core::Hand::Left);
}

TEST(MainTabVisuals, CurveKeyLabelsAndAccelerationAxis) {
  EXPECT_FLOAT_EQ(gui::tabs::responseCurve(0.5f, 0), 0.5f);
  EXPECT_FLOAT_EQ(gui::tabs::responseCurve(0.5f, 1), 0.125f);
  EXPECT_NEAR(gui::tabs::responseCurve(-0.125f, -1), -0.5f, 1e-6);
  EXPECT_FLOAT_EQ(gui::tabs::responseCurve(1.0f, 0.37f), 1.0f);

  // Thresholds 30 / 60: strict S1, S2 text past the S2 threshold.
  EXPECT_FALSE(gui::tabs::keyLabel(0.30f, 30, 60, "w", "shift+w").lit);
  EXPECT_TRUE(gui::tabs::keyLabel(0.31f, 30, 60, "w", "shift+w").lit);
  EXPECT_EQ(gui::tabs::keyLabel(0.59f, 30, 60, "w", "shift+w").text, "w");
  EXPECT_EQ(gui::tabs::keyLabel(0.61f, 30, 60, "w", "shift+w").text, "shift+w");

  engine::LiveView live;
  live.averaged_acceleration.set(1, 2, 3);
  EXPECT_EQ(gui::tabs::accelerationOnAxis(live, core::AccelAxis::Y), 2);
  EXPECT_EQ(gui::tabs::accelerationOnAxis(live, core::AccelAxis::NegZ), -3);
  live.averaged_acceleration.set(std::numeric_limits<float>::quiet_NaN(), 0, 0);
  EXPECT_EQ(gui::tabs::accelerationOnAxis(live, core::AccelAxis::NegX), 0);
}

TEST(MainTabVisuals, EveryModeAndSourceDrawsWithHostileLiveValues) {
  HeadlessImGui ui;
  core::Settings s;
  gui::GuiActions actions;
  engine::LiveView live;
  GuiTabMain tab(s, live, actions);
  const float inf = std::numeric_limits<float>::infinity();
  live.stick[0] = inf;
  live.stick[1] = std::numeric_limits<float>::quiet_NaN();
  live.jump_rise = -inf;
  live.averaged_acceleration.set(inf, -inf, 0);
  s.config.edit([](core::Config& c) {
    c.outputs.enable_steamvr_s2 = c.outputs.enable_openxr_s2 = c.outputs.enable_xbox_s2 = true;
  });
  using core::OutputMode;
  for (const OutputMode mode :
       {OutputMode::Keyboard, OutputMode::Pad, OutputMode::SteamVrHook, OutputMode::VrchatOsc, OutputMode::OpenXrLayer})
    for (const core::Source source : {core::Source::PhoneAcceleration, core::Source::OpenVr}) {
      s.config.edit([&](core::Config& c) { c.outputs.mode = mode; });
      s.config.edit([&](core::Config& c) { c.tracking.hmd_source = source; });
      ui.frame([&] { tab.render(); });
      EXPECT_TRUE(ui.has("RESET CENTER")) << core::choiceText(mode);
      EXPECT_TRUE(ui.has("Curve")) << core::choiceText(mode);
    }
}

TEST(MainTabVisuals, ResetCenterCallsTheEngine) {
  HeadlessImGui ui;
  core::Settings s;
  int centres = 0;
  gui::GuiActions actions;
  actions.setCenter = [&] { ++centres; };
  engine::LiveView live;
  GuiTabMain tab(s, live, actions);
  ASSERT_TRUE(ui.click("RESET CENTER", [&] { tab.render(); }));
  EXPECT_EQ(centres, 1);
}

}  // namespace

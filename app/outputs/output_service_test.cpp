#include "app/outputs/output_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/core/settings.h"
#include "app/outputs/keyboard_output_service.h"
#include "testing/recording_key_injector.h"

namespace {

using core::OutputMode;
using outputs::Action;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Calls = std::vector<std::string>;

// One output that writes each call, named by its mode, into a shared log.
class RecordingOutput final : public outputs::IOutput {
 public:
  RecordingOutput(Calls& log, OutputMode mode) : log_(log), name_(core::choiceText(mode)) {}
  void configure(const outputs::OutputConfig&) override {}
  void start() override { record("start"); }
  void stop() override { record("stop"); }
  void stick(float x, float y) override {
    std::ostringstream line;
    line << "stick(" << x << "," << y << ")";
    record(line.str());
  }
  void press(Action action) override { record("press(" + actionName(action) + ")"); }
  void release(Action action) override { record("release(" + actionName(action) + ")"); }
  void centre() override { record("centre"); }
  void keepAlive() override { record("keepAlive"); }

 private:
  static std::string actionName(Action action) {
    return action == Action::Jump ? "jump" : action == Action::Crouch ? "crouch" : "second";
  }
  void record(const std::string& call) { log_.push_back(std::string(name_) + "." + call); }
  Calls& log_;
  std::string_view name_;
};

class OutputServiceTest : public ::testing::Test {
 protected:
  outputs::OutputSet recordAll() {
    outputs::OutputSet all{};
    for (const auto& entry : core::ChoiceNames<OutputMode>::table) {
      recorders.push_back(std::make_unique<RecordingOutput>(calls, entry.value));
      all[outputs::slotOf(entry.value)] = recorders.back().get();
    }
    return all;
  }
  Calls take() { return std::exchange(calls, {}); }
  void secondStage(OutputMode mode, bool enabled) { config.secondStage[outputs::slotOf(mode)] = {enabled, 0.8f}; }

  std::ostringstream logText;
  core::Logger logger{&logText};
  Calls calls;  // one log, so calls keep their order across outputs
  std::vector<std::unique_ptr<RecordingOutput>> recorders;
  outputs::OutputConfig config;
  outputs::OutputService service{logger, recordAll(), [this] { return &config; }};
};

TEST_F(OutputServiceTest, InitializeAndCleanupStartAndStopTheOutputsInUse) {
  config.mode = OutputMode::VrchatOsc;
  service.initialize();
  EXPECT_NE(logText.str().find("[INFO ] OutputService: Initializing sub-output services..."), std::string::npos);
  // The pad runs only when in use; keys, hook and OpenXR always.
  EXPECT_THAT(take(),
              ElementsAre("Keyboard.start", "SteamVR Hook.start", "VRChat OSC.start", "OpenXR API Layer.start"));
  service.cleanup();
  EXPECT_THAT(take(), ElementsAre("Keyboard.stop", "SteamVR Hook.stop", "VRChat OSC.stop", "OpenXR API Layer.stop"));
}

TEST_F(OutputServiceTest, StickGoesOnlyToTheMainOutputWithForwardPositive) {
  for (const auto& entry : core::ChoiceNames<OutputMode>::table) {
    config.mode = entry.value;
    service.updateStick(0.25f, -0.5f);
    EXPECT_THAT(take(), ElementsAre(std::string(entry.text) + ".stick(0.25,0.5)"));
  }
}

// Jump and crouch go to their target, or follow the main output; each release goes
// where its press went, whatever the target is by then.
TEST_F(OutputServiceTest, JumpAndCrouchGoToTheirTargetAndAreReleasedWhereTheyWent) {
  config.mode = OutputMode::SteamVrHook;
  config.jumpTarget = core::ActionTarget::Keyboard;
  service.setJump(true);
  service.setJump(false);
  service.setCrouch(true);
  EXPECT_THAT(take(), ElementsAre("Keyboard.press(jump)", "Keyboard.release(jump)", "SteamVR Hook.press(crouch)"));
  EXPECT_EQ(service.holderOf(Action::Crouch), OutputMode::SteamVrHook);

  config.mode = OutputMode::Pad;  // not initialised: no output is started or centred
  service.setCrouch(false);
  EXPECT_THAT(take(), ElementsAre("SteamVR Hook.release(crouch)"));
  EXPECT_EQ(service.holderOf(Action::Crouch), std::nullopt);
  // Nothing held: the current binding is released anyway.
  service.setCrouch(false);
  EXPECT_THAT(take(), ElementsAre("Xbox Controller (vJoy).release(crouch)"));
}

TEST_F(OutputServiceTest, CenterAllReleasesJumpCrouchAndSecondStageThenCentresTheMainOutput) {
  config.mode = OutputMode::Keyboard;
  config.crouchTarget = core::ActionTarget::VrchatOsc;
  service.setJump(true);
  take();
  service.centerAll();
  EXPECT_THAT(take(), ElementsAre("Keyboard.release(jump)", "VRChat OSC.release(crouch)", "Keyboard.centre"));
  EXPECT_NE(logText.str().find("[INFO ] OutputService: Centering all outputs..."), std::string::npos);
}

TEST_F(OutputServiceTest, KeepAliveReachesEveryRunningOutput) {
  config.mode = OutputMode::Pad;
  service.initialize();
  take();
  service.keepAlive();
  EXPECT_THAT(take(), ElementsAre("Xbox Controller (vJoy).keepAlive", "Keyboard.keepAlive", "SteamVR Hook.keepAlive",
                                  "OpenXR API Layer.keepAlive"));
}

// The one second stage: pressed on the main output on every sample beyond its
// threshold (no release margin), released once at or below it, when switched off,
// and when the main output changes.
TEST_F(OutputServiceTest, SecondStageHoldsBeyondTheThresholdOnTheMainOutput) {
  config.mode = OutputMode::Pad;
  secondStage(OutputMode::Pad, true);
  service.initialize();
  take();
  for (float forward : {0.79f, 0.81f, 0.81f, 0.8f, 0.5f}) service.updateStick(0, -forward);
  const std::string pad = "Xbox Controller (vJoy).";
  EXPECT_EQ(take(),
            (Calls{pad + "stick(0,0.79)", pad + "stick(0,0.81)", pad + "press(second)", pad + "stick(0,0.81)",
                   pad + "press(second)", pad + "stick(0,0.8)", pad + "release(second)", pad + "stick(0,0.5)"}));
  service.updateStick(0, 0.9f);  // leaning back never counts
  EXPECT_EQ(take(), Calls{pad + "stick(0,-0.9)"});

  service.updateStick(0, -0.9f);
  take();
  secondStage(OutputMode::Pad, false);  // switched off while held
  service.updateStick(0, -0.9f);
  EXPECT_EQ(take(), (Calls{pad + "release(second)", pad + "stick(0,0.9)"}));

  // Outputs without a second stage of their own never press one.
  config.mode = OutputMode::Keyboard;
  service.updateStick(0, -0.9f);
  EXPECT_THAT(take(), ElementsAre(pad + "stop", "Keyboard.stick(0,0.9)"));
}

// The mode switched while walking with jump, crouch and the second stage held: the old
// output lets go of all of it before the new one starts; a target of its own keeps
// its press. One row per switch.
TEST_F(OutputServiceTest, ModeSwitchCentresTheOldOutputBeforeTheNewOneStarts) {
  const struct {
    OutputMode from, to;
    core::ActionTarget crouchTarget;
    Calls switched;
  } rows[] = {
      {OutputMode::Keyboard,
       OutputMode::SteamVrHook,
       core::ActionTarget::FollowMain,
       {"Keyboard.release(jump)", "Keyboard.release(crouch)", "Keyboard.centre"}},
      {OutputMode::SteamVrHook,
       OutputMode::Pad,
       core::ActionTarget::FollowMain,
       {"SteamVR Hook.release(jump)", "SteamVR Hook.release(crouch)", "SteamVR Hook.release(second)",
        "SteamVR Hook.centre", "Xbox Controller (vJoy).start"}},
      {OutputMode::Pad,
       OutputMode::OpenXrLayer,
       core::ActionTarget::FollowMain,
       {"Xbox Controller (vJoy).release(jump)", "Xbox Controller (vJoy).release(crouch)",
        "Xbox Controller (vJoy).release(second)", "Xbox Controller (vJoy).stop"}},
      {OutputMode::OpenXrLayer,
       OutputMode::VrchatOsc,
       core::ActionTarget::Keyboard,
       {"OpenXR API Layer.release(jump)", "OpenXR API Layer.release(second)", "OpenXR API Layer.centre",
        "VRChat OSC.start"}},
      {OutputMode::VrchatOsc,
       OutputMode::Keyboard,
       core::ActionTarget::VrchatOsc,
       {"VRChat OSC.release(jump)", "VRChat OSC.centre"}},
  };
  for (const auto& row : rows) {
    config = {};
    config.mode = row.from;
    config.crouchTarget = row.crouchTarget;
    for (const OutputMode mode : {OutputMode::Pad, OutputMode::SteamVrHook, OutputMode::OpenXrLayer})
      secondStage(mode, true);
    service.initialize();
    service.updateStick(0, -0.9f);
    service.setJump(true);
    service.setCrouch(true);
    take();
    config.mode = row.to;
    service.applyOutputMode();
    EXPECT_EQ(take(), row.switched) << core::choiceText(row.from);
    service.updateStick(0, -0.9f);
    const Calls walking = take();
    ASSERT_FALSE(walking.empty());
    EXPECT_EQ(walking.front(), std::string(core::choiceText(row.to)) + ".stick(0,0.9)");
    // Applying the same configuration again does nothing.
    service.applyOutputMode();
    EXPECT_THAT(take(), IsEmpty());
    service.cleanup();
    take();
  }
}

TEST_F(OutputServiceTest, ATargetChangedWhileHeldReleasesOnTheOldTargetAtOnce) {
  config.mode = OutputMode::SteamVrHook;
  service.initialize();
  service.setJump(true);
  take();
  config.jumpTarget = core::ActionTarget::Pad;
  service.keepAlive();
  EXPECT_THAT(take(), ElementsAre("SteamVR Hook.release(jump)", "Xbox Controller (vJoy).start",
                                  "Xbox Controller (vJoy).keepAlive", "Keyboard.keepAlive", "SteamVR Hook.keepAlive",
                                  "OpenXR API Layer.keepAlive"));
  service.setJump(true);
  config.jumpTarget = core::ActionTarget::FollowMain;  // the pad is no longer used
  service.setJump(false);
  EXPECT_THAT(take(), ElementsAre("Xbox Controller (vJoy).press(jump)", "Xbox Controller (vJoy).release(jump)",
                                  "Xbox Controller (vJoy).stop", "SteamVR Hook.release(jump)"));
}

TEST(OutputServiceWithoutOutputs, EveryOperationIsANoOp) {
  std::ostringstream logText;
  core::Logger logger{&logText};
  outputs::OutputConfig config;
  outputs::OutputService service(logger, {}, [&] { return &config; });
  for (const auto& entry : core::ChoiceNames<OutputMode>::table) {
    config.mode = entry.value;
    config.secondStage[outputs::slotOf(entry.value)].enabled = true;
    service.initialize();
    service.updateStick(1, -1);
    service.setJump(true);
    service.setCrouch(true);
    service.centerAll();
    service.keepAlive();
    service.applyOutputMode();
    service.cleanup();
  }
  EXPECT_EQ(service.holderOf(Action::SecondStage), std::nullopt);
}

// With the real keyboard output and the settings as the program reads them.
TEST(OutputServiceWithKeyboard, CentringAndLeavingTheKeyboardModeLeaveNoKeyDown) {
  core::Settings settings;
  std::ostringstream logText, out;
  core::Logger logger{&logText};
  testsupport::RecordingKeyInjector keys;
  outputs::KeyboardOutputService keyboard(logger, keys, out);
  outputs::OutputSet set{};
  set[outputs::slotOf(OutputMode::Keyboard)] = &keyboard;
  outputs::OutputConfigReader config(settings.config);
  outputs::OutputService service(logger, set, [&] { return config.changed(); });
  settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  service.initialize();
  service.updateStick(-0.7f, -0.7f);
  service.setJump(true);
  service.setCrouch(true);
  EXPECT_EQ(keys.keysDown(), (Calls{"shift", "ctrl", "space", "A", "W"}));

  service.centerAll();
  EXPECT_THAT(keys.keysDown(), IsEmpty());
  EXPECT_NE(out.str().find("[Keyboard] Reset modifier keys."), std::string::npos);

  // A key changed while crouched: the release lifts the key that went down.
  service.setCrouch(true);
  settings.config.edit([&](core::Config& c) { c.outputs.squat_key = "c"; });
  service.setCrouch(false);
  EXPECT_THAT(keys.keysDown(), IsEmpty());

  // Leaving the keyboard mode while walking lifts the keys too.
  service.updateStick(0, -0.5f);
  ASSERT_EQ(keys.keysDown(), Calls{"W"});
  settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::SteamVrHook; });
  service.applyOutputMode();
  EXPECT_THAT(keys.keysDown(), IsEmpty());
}

}  // namespace

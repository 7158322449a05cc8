#include "app/outputs/output_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "app/outputs/keyboard_output_service.h"
#include "testing/recording_key_injector.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Calls = std::vector<std::string>;

// One recorder standing in for all five backends; every call becomes a line.
class RecordingBackends : public outputs::IKeyboardBackend,
                          public outputs::IVirtualPadBackend,
                          public outputs::IOscOutputBackend,
                          public outputs::IHookBackend,
                          public outputs::IOpenXRWriterBackend {
 public:
  Calls calls;
  Calls take() { return std::exchange(calls, {}); }

  outputs::Backends all() {
    return {static_cast<outputs::IKeyboardBackend*>(this), static_cast<outputs::IVirtualPadBackend*>(this),
            static_cast<outputs::IOscOutputBackend*>(this), static_cast<outputs::IHookBackend*>(this),
            static_cast<outputs::IOpenXRWriterBackend*>(this)};
  }

  // Keyboard
  // Keyboard, pad and OSC share init and update; OSC, hook and OpenXR share cleanup;
  // the mode under test tells them apart.
  void init() override { record("init"); }
  void update(float x, float y) override { record("update", x, y); }
  void pressKey(const std::string& binding) override { record("keyboard.pressKey", binding); }
  void releaseKey(const std::string& binding) override { record("keyboard.releaseKey", binding); }
  void reset() override { record("keyboard.reset"); }
  // Pad
  void shutdown() override { record("pad.shutdown"); }
  void setButton(const std::string& name, bool pressed) override { record("pad.setButton", name, pressed); }
  void submitReport() override { record("pad.submitReport"); }
  // OSC
  void cleanup() override { record("cleanup"); }
  void setJump(bool pressed) override { record("osc.setJump", pressed); }
  // Hook
  void initialize() override { record("initialize"); }
  void sendStick(float x, float y, const std::string& hand) override { record("hook.sendStick", x, y, hand); }
  void buttonEvent(const std::string& button, bool pressed, const std::string& hand) override {
    record("hook.buttonEvent", button, pressed, hand);
  }
  void sendRelease(const std::string& text) override { record("hook.sendRelease", text); }
  void keepAlive() override { record("keepAlive"); }  // hook and OpenXR writer
  // OpenXR
  void center() override { record("openxr.center"); }
  void setStick(const std::string& hand, float x, float y) override { record("openxr.setStick", hand, x, y); }
  void setButton(const std::string& hand, const std::string& button, bool pressed) override {
    record("openxr.setButton", hand, button, pressed);
  }

 private:
  template <class... Args>
  void record(const std::string& name, const Args&... args) {
    std::ostringstream line;
    line << std::boolalpha << name << "(";
    int index = 0;
    ((line << (index++ ? "," : "") << args), ...);
    line << ")";
    calls.push_back(line.str());
  }
};

class OutputServiceTest : public ::testing::Test {
 protected:
  core::Settings settings;
  std::ostringstream logText;
  core::Logger logger{&logText};
  RecordingBackends backends;  // one recorder, so calls keep their order across backends
  outputs::OutputService service{settings, logger, backends.all()};
};

TEST(ButtonSpecification, SplitsAtTheFirstColonAndTrimsBothParts) {
  auto spec = outputs::resolveButtonSpec("Right:  Trigger ", "Left");
  EXPECT_EQ(spec.hand, "Right");
  EXPECT_EQ(spec.button, "Trigger");
  spec = outputs::resolveButtonSpec(" A\t", "Left");
  EXPECT_EQ(spec.hand, "Left");
  EXPECT_EQ(spec.button, "A");
  spec = outputs::resolveButtonSpec("\r\nLeft \n:\tX:Y\r\n", "Right");
  EXPECT_EQ(spec.hand, "Left");
  EXPECT_EQ(spec.button, "X:Y");
  spec = outputs::resolveButtonSpec(" : ", "Left");
  EXPECT_EQ(spec.hand, "");
  EXPECT_EQ(spec.button, "");
  EXPECT_EQ(outputs::handLetter("Right"), "R");
  EXPECT_EQ(outputs::handLetter(""), "");
}

TEST_F(OutputServiceTest, InitializeAndCleanupStartAndStopTheBackendsInOrder) {
  settings.mode = core::OutputMode::VrchatOsc;
  service.initialize();
  EXPECT_NE(logText.str().find("[INFO ] OutputService: Initializing sub-output services..."), std::string::npos);
  // Hook, keyboard, OpenXR writer, then the pad off and the OSC sender on.
  EXPECT_THAT(backends.take(), ElementsAre("initialize()", "init()", "initialize()", "pad.shutdown()", "init()"));
  settings.mode = core::OutputMode::Pad;
  service.applyOutputMode();
  EXPECT_THAT(backends.take(), ElementsAre("osc.setJump(false)", "update(0,0)", "init()", "cleanup()"));
  // The pad's stick centred, then pad, hook, keyboard, OSC sender, OpenXR writer.
  service.cleanup();
  EXPECT_THAT(backends.take(),
              ElementsAre("update(0,0)", "pad.shutdown()", "cleanup()", "keyboard.reset()", "cleanup()", "cleanup()"));
}

TEST_F(OutputServiceTest, StickGoesOnlyToTheSelectedBackend) {
  const std::pair<const char*, const char*> routes[] = {
      {"Xbox Controller (vJoy)", "update(0.25,-0.5)"},
      {"SteamVR Hook", "hook.sendStick(0.25,-0.5,Left)"},
      {"Keyboard", "update(0.25,-0.5)"},
      {"VRChat OSC", "update(0.25,-0.5)"},
      {"OpenXR API Layer", "openxr.setStick(L,0.25,0.5)"},
  };
  for (const auto& [mode, call] : routes) {
    settings.mode = *core::parseChoice<core::OutputMode>(mode);
    service.updateStick(0.25f, -0.5f);
    EXPECT_THAT(backends.take(), ElementsAre(call)) << mode;
  }
}

TEST_F(OutputServiceTest, JumpAndCrouchFollowTheMainOutputOrTheirOwn) {
  settings.mode = core::OutputMode::SteamVrHook;
  settings.jump_output_mode = core::ActionTarget::Keyboard;
  service.updateStick(0, -1);
  service.setJump(true);
  service.setJump(false);
  service.setCrouch(true);
  EXPECT_THAT(backends.take(), ElementsAre("hook.sendStick(0,-1,Left)", "keyboard.pressKey(space)",
                                           "keyboard.releaseKey(space)", "hook.buttonEvent(B,true,Left)"));

  settings.jump_output_mode = core::ActionTarget::FollowMain;
  settings.jump_hook_button = "Right:  Trigger ";
  service.setJump(true);
  settings.jump_hook_button = "A";
  settings.target_controller = core::Hand::Right;
  service.setJump(false);  // released where it was pressed
  service.setCrouch(false);
  EXPECT_THAT(backends.take(), ElementsAre("hook.buttonEvent(Trigger,true,Right)",
                                           "hook.buttonEvent(Trigger,false,Right)", "hook.buttonEvent(B,false,Left)"));

  settings.mode = core::OutputMode::Pad;
  service.setJump(true);
  service.setJump(false);
  settings.mode = core::OutputMode::OpenXrLayer;
  service.setJump(true);
  service.setJump(false);
  service.setCrouch(false);
  settings.mode = core::OutputMode::VrchatOsc;
  service.setJump(true);
  service.setCrouch(true);  // VRChat's OSC input has no crouch
  settings.squat_output_mode = core::ActionTarget::Keyboard;
  service.setCrouch(true);
  EXPECT_THAT(backends.take(),
              ElementsAre("pad.setButton(A,true)", "pad.setButton(A,false)", "openxr.setButton(R,A,true)",
                          "openxr.setButton(R,A,false)", "openxr.setButton(R,B,false)", "osc.setJump(true)",
                          "keyboard.pressKey(ctrl)"));
}

TEST_F(OutputServiceTest, OpenXrSecondThresholdHoldsItsButtonWhileBeyondAndReleasesOnce) {
  settings.mode = core::OutputMode::OpenXrLayer;
  settings.enable_openxr_s2 = true;
  settings.openxr_threshold_2 = 80.0f;
  settings.openxr_button_2 = "Right: Grip";
  service.updateStick(0.1f, -0.79f);  // just short of the 0.80 threshold
  service.updateStick(0.1f, -0.81f);  // just beyond it, on every sample
  service.updateStick(0.1f, -0.81f);
  EXPECT_THAT(backends.take(),
              ElementsAre("openxr.setStick(L,0.1,0.79)", "openxr.setStick(L,0.1,0.81)", "openxr.setButton(R,Grip,true)",
                          "openxr.setStick(L,0.1,0.81)", "openxr.setButton(R,Grip,true)"));
  EXPECT_TRUE(service.openXrS2Held());
  service.updateStick(0, -0.8f);  // no release margin: at the threshold it lets go, once
  service.updateStick(0, -0.5f);
  EXPECT_THAT(backends.take(),
              ElementsAre("openxr.setStick(L,0,0.8)", "openxr.setButton(R,Grip,false)", "openxr.setStick(L,0,0.5)"));
  EXPECT_FALSE(service.openXrS2Held());

  // Switching the second stage off while it is held releases it once.
  service.updateStick(0, -0.9f);
  settings.enable_openxr_s2 = false;
  service.updateStick(0, -0.9f);
  service.updateStick(0, -0.9f);
  EXPECT_THAT(backends.take(),
              ElementsAre("openxr.setStick(L,0,0.9)", "openxr.setButton(R,Grip,true)", "openxr.setStick(L,0,0.9)",
                          "openxr.setButton(R,Grip,false)", "openxr.setStick(L,0,0.9)"));

  // The latch survives a trip through another mode.
  settings.enable_openxr_s2 = true;
  service.updateStick(0, -0.9f);
  settings.mode = core::OutputMode::Keyboard;
  service.updateStick(0, -0.1f);
  settings.mode = core::OutputMode::OpenXrLayer;
  service.updateStick(0, -0.1f);
  EXPECT_THAT(backends.take(),
              ElementsAre("openxr.setStick(L,0,0.9)", "openxr.setButton(R,Grip,true)", "update(0,-0.1)",
                          "openxr.setStick(L,0,0.1)", "openxr.setButton(R,Grip,false)"));
}

TEST_F(OutputServiceTest, CenterAllReleasesJumpAndCrouchThenCentresTheMainOutput) {
  const std::pair<const char*, Calls> centring[] = {
      {"Xbox Controller (vJoy)", {"pad.setButton(A,false)", "pad.setButton(B,false)", "update(0,0)"}},
      {"SteamVR Hook",
       {"hook.buttonEvent(A,false,Left)", "hook.buttonEvent(B,false,Left)", "hook.sendStick(0,0,Left)",
        "hook.sendRelease(L OFF)"}},
      {"Keyboard", {"keyboard.releaseKey(space)", "keyboard.releaseKey(ctrl)", "update(0,0)", "keyboard.reset()"}},
      {"VRChat OSC", {"osc.setJump(false)", "update(0,0)"}},
      {"OpenXR API Layer", {"openxr.setButton(L,A,false)", "openxr.setButton(L,B,false)", "openxr.center()"}},
  };
  for (const auto& [mode, expected] : centring) {
    settings.mode = *core::parseChoice<core::OutputMode>(mode);
    service.centerAll();
    EXPECT_EQ(backends.take(), expected) << mode;
  }
  EXPECT_NE(logText.str().find("[INFO ] OutputService: Centering all outputs..."), std::string::npos);
}

TEST_F(OutputServiceTest, ChangingTheModeLiftsWhatThePreviousOutputHeld) {
  settings.mode = core::OutputMode::Keyboard;
  service.initialize();
  backends.take();
  settings.mode = core::OutputMode::Pad;
  service.applyOutputMode();
  EXPECT_THAT(backends.take(), ElementsAre("keyboard.releaseKey(space)", "keyboard.releaseKey(ctrl)", "update(0,0)",
                                           "keyboard.reset()", "init()", "cleanup()"));
  // Applying the same mode again only restarts the mode's backends.
  service.applyOutputMode();
  EXPECT_THAT(backends.take(), ElementsAre("init()", "cleanup()"));
  // Jump with an output of its own keeps it.
  settings.jump_output_mode = core::ActionTarget::VrchatOsc;
  settings.mode = core::OutputMode::OpenXrLayer;
  service.applyOutputMode();
  EXPECT_THAT(backends.take(), ElementsAre("pad.setButton(B,false)", "update(0,0)", "pad.shutdown()", "cleanup()"));
}

// A press held while its binding, hand, target or the mode changes: the change and
// the release reach exactly what was pressed, and the next press uses the new binding.
TEST_F(OutputServiceTest, ChangesWhileHeldReleaseWhatWasPressedAndTheNextPressUsesTheNewBinding) {
  using S = core::Settings;
  using O = outputs::OutputService;
  using Step = std::function<void(O&)>;
  const Step jumpOn = [](O&o) { o.setJump(true); }, jumpOff = [](O&o) { o.setJump(false); };
  const Step crouchOn = [](O&o) { o.setCrouch(true); }, crouchOff = [](O&o) { o.setCrouch(false); };
  const Step lean = [](O&o) { o.updateStick(0, -0.9f); }, stand = [](O&o) { o.updateStick(0, -0.1f); };
  const struct {
    const char* mode;
    Step hold;
    std::function<void(S&)> change;
    Step release, pressAgain;
    Calls released, pressedAgain;
  } rows[] = {
      // clang-format off
      {"Keyboard", crouchOn, [](S& s) { s.squat_key = "c"; }, crouchOff, crouchOn,
       {"keyboard.releaseKey(ctrl)"}, {"keyboard.pressKey(c)"}},
      {"Xbox Controller (vJoy)", jumpOn, [](S& s) { s.jump_button = "X"; }, jumpOff, jumpOn,
       {"pad.setButton(A,false)"}, {"pad.setButton(X,true)"}},
      {"SteamVR Hook", crouchOn, [](S& s) { s.squat_hook_button = "Right: Grip"; }, crouchOff, crouchOn,
       {"hook.buttonEvent(B,false,Left)"}, {"hook.buttonEvent(Grip,true,Right)"}},
      {"OpenXR API Layer", jumpOn, [](S& s) { s.target_controller = core::Hand::Right; }, jumpOff, jumpOn,
       {"openxr.setButton(L,A,false)"}, {"openxr.setButton(R,A,true)"}},
      // A press on the new target lifts the one on the old target first.
      {"SteamVR Hook", jumpOn, [](S& s) { s.jump_output_mode = core::ActionTarget::Keyboard; }, jumpOn, jumpOff,
       {"hook.buttonEvent(A,false,Left)", "keyboard.pressKey(space)"}, {"keyboard.releaseKey(space)"}},
      // The second stage moves with its button while held, and lets go of the one it holds.
      {"OpenXR API Layer", lean, [](S& s) { s.openxr_button_2 = "Right: Trigger"; }, lean, stand,
       {"openxr.setStick(L,0,0.9)", "openxr.setButton(L,Grip,false)", "openxr.setButton(R,Trigger,true)"},
       {"openxr.setStick(L,0,0.1)", "openxr.setButton(R,Trigger,false)"}},
      // The stick's hand: the old hand's stick comes to rest.
      {"SteamVR Hook", lean, [](S& s) { s.target_controller = core::Hand::Right; }, lean, [](O& o) { o.centerAll(); },
       {"hook.sendStick(0,0,Left)", "hook.sendRelease(L OFF)", "hook.sendStick(0,-0.9,Right)"},
       {"hook.buttonEvent(A,false,Left)", "hook.buttonEvent(B,false,Left)", "hook.sendStick(0,0,Right)",
        "hook.sendRelease(R OFF)"}},
      {"OpenXR API Layer", lean, [](S& s) { s.target_controller = core::Hand::Right; }, lean, jumpOn,
       {"openxr.center()", "openxr.setStick(R,0,0.9)", "openxr.setButton(L,Grip,true)"},
       {"openxr.setButton(R,A,true)"}},
      // clang-format on
  };
  for (const auto& row : rows) {
    core::Settings settings;
    RecordingBackends backends;
    outputs::OutputService service{settings, logger, backends.all()};
    settings.mode = *core::parseChoice<core::OutputMode>(row.mode);
    settings.enable_openxr_s2 = true;
    service.initialize();
    row.hold(service);
    backends.take();
    row.change(settings);
    row.release(service);
    EXPECT_EQ(backends.take(), row.released) << row.mode;
    row.pressAgain(service);
    EXPECT_EQ(backends.take(), row.pressedAgain) << row.mode;
  }

  // The mode switched while walking and crouched: the old output lets go of all of
  // it before the new one starts.
  settings.mode = core::OutputMode::Keyboard;
  service.initialize();
  lean(service);
  crouchOn(service);
  backends.take();
  settings.mode = core::OutputMode::SteamVrHook;
  service.applyOutputMode();
  lean(service);
  EXPECT_THAT(backends.take(),
              ElementsAre("keyboard.releaseKey(space)", "keyboard.releaseKey(ctrl)", "update(0,0)", "keyboard.reset()",
                          "pad.shutdown()", "cleanup()", "hook.sendStick(0,-0.9,Left)"));
}

TEST(OutputServiceWithKeyboard, CentringInKeyboardModeLeavesNoKeyDown) {
  core::Settings settings;
  std::ostringstream logText, out;
  core::Logger logger{&logText};
  testsupport::RecordingKeyInjector keys;
  outputs::KeyboardOutputService keyboard(settings, logger, keys, out);
  outputs::OutputService service(settings, logger, {.keyboard = &keyboard});
  settings.mode = core::OutputMode::Keyboard;
  service.initialize();
  service.updateStick(-0.7f, -0.7f);
  service.setJump(true);
  service.setCrouch(true);
  EXPECT_EQ(keys.keysDown(), (Calls{"shift", "ctrl", "space", "A", "W"}));

  service.centerAll();
  EXPECT_THAT(keys.keysDown(), IsEmpty());
  EXPECT_NE(out.str().find("[Keyboard] Reset modifier keys."), std::string::npos);

  // Leaving the keyboard mode while walking lifts the keys too.
  service.updateStick(0, -0.5f);
  ASSERT_EQ(keys.keysDown(), Calls{"W"});
  settings.mode = core::OutputMode::SteamVrHook;
  service.applyOutputMode();
  EXPECT_THAT(keys.keysDown(), IsEmpty());
}

TEST(OutputServiceWithoutBackends, EveryOperationIsANoOp) {
  core::Settings settings;
  std::ostringstream logText;
  core::Logger logger{&logText};
  outputs::OutputService service(settings, logger, {});
  for (const char* mode : {"Keyboard", "Xbox Controller (vJoy)", "SteamVR Hook", "VRChat OSC", "OpenXR API Layer"}) {
    settings.mode = *core::parseChoice<core::OutputMode>(mode);
    settings.enable_openxr_s2 = true;
    service.initialize();
    service.updateStick(1, -1);
    service.setJump(true);
    service.setCrouch(true);
    service.centerAll();
    service.keepAlive();
    service.applyOutputMode();
    service.cleanup();
  }
  EXPECT_FALSE(service.openXrS2Held());
}

TEST_F(OutputServiceTest, KeepAliveReachesTheHookAndTheOpenXrWriterInEveryMode) {
  service.keepAlive();
  EXPECT_THAT(backends.take(), ElementsAre("keepAlive()", "keepAlive()"));
}

}  // namespace

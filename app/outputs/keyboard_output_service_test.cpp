#include "app/outputs/keyboard_output_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>

#include "app/outputs/key_names.h"
#include "testing/recording_key_injector.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Events = std::vector<std::string>;

class KeyboardOutput : public ::testing::Test {
 protected:
  outputs::OutputConfig config;
  std::ostringstream logText;
  core::Logger logger{&logText};
  testsupport::RecordingKeyInjector keys;
  std::ostringstream out;
  std::unique_ptr<outputs::KeyboardOutputService> keyboard =
      std::make_unique<outputs::KeyboardOutputService>(logger, keys, out);

  Events step(float x, float y) {
    keyboard->stick(x, y);
    return keys.take();
  }
  // Jump bound to `binding`, then pressed or released.
  void jump(const std::string& binding, bool pressed) {
    config.keyboard.jumpKey = binding;
    keyboard->configure(config);
    if (pressed)
      keyboard->press(outputs::Action::Jump);
    else
      keyboard->release(outputs::Action::Jump);
  }
  void edit(const std::function<void(outputs::KeyboardConfig&)>& change) {
    change(config.keyboard);
    keyboard->configure(config);
  }
};

TEST(KeyNames, ResolveLettersDigitsAndTableNames) {
  using outputs::virtualKeyOf;
  EXPECT_EQ(virtualKeyOf("a"), 0x41);
  EXPECT_EQ(virtualKeyOf("A"), 0x41);
  EXPECT_EQ(virtualKeyOf("z"), 0x5A);
  EXPECT_EQ(virtualKeyOf("0"), 0x30);
  EXPECT_EQ(virtualKeyOf("space"), 0x20);
  EXPECT_EQ(virtualKeyOf("win"), 0x5B);
  EXPECT_EQ(virtualKeyOf("f1"), 0x70);
  EXPECT_EQ(virtualKeyOf("f12"), 0x7B);
  EXPECT_EQ(virtualKeyOf("pgdn"), 0x22);
  EXPECT_EQ(virtualKeyOf("scrolllock"), 0x91);
  // Names are exact and case-sensitive; unknown names and punctuation are no key.
  for (const char* none : {",", "Space", "f13", "numpad1", "", " w", "shift+w"})
    EXPECT_EQ(virtualKeyOf(none), 0) << none;

  const auto binding = outputs::parseKeyBinding("Ctrl+Shift+W");
  EXPECT_EQ(binding.modifier, "ctrl");
  EXPECT_EQ(binding.key, "shift+w");
  EXPECT_EQ(outputs::parseKeyBinding("space").modifier, "");
}

TEST_F(KeyboardOutput, StartOnlyLogsThatTheOutputIsReady) {
  keyboard->start();
  EXPECT_NE(logText.str().find("[INFO ] KeyboardOutputService: Backend is ready."), std::string::npos);
  EXPECT_THAT(keys.events(), IsEmpty());
}

TEST_F(KeyboardOutput, EveryDirectionPressesJustBeyondEachStageAndReleasesJustPastItsMargin) {
  // Defaults: S1 at 0.30 and S2 at 0.60, each let go 0.05 below. Each edge is
  // approached from both sides within 2 %. `K` stands for the direction's key.
  const std::pair<float, Events> steps[] = {
      {0.294f, {}},
      {0.306f, {"down K"}},
      {0.255f, {}},  // inside the margin the key stays down
      {0.245f, {"up K"}},
      {0.294f, {}},  // once released, the full threshold applies again
      {0.306f, {"down K"}},
      {0.588f, {}},
      {0.612f, {"up K", "down shift", "down K"}},  // S2 replaces S1
      {0.561f, {}},
      {0.539f, {"up K", "up shift", "down K"}},
      {0.0f, {"up K"}},
      {0.612f, {"down shift", "down K"}},  // from rest straight to S2
      {0.0f, {"up K", "up shift"}},
  };
  const struct {
    char key;
    float x, y;
  } directions[] = {{'W', 0, 1}, {'S', 0, -1}, {'A', -1, 0}, {'D', 1, 0}};
  for (const auto& d : directions) {
    for (const auto& [lean, events] : steps) {
      Events expected = events;
      for (std::string& e : expected)
        if (e.back() == 'K') e.back() = d.key;
      EXPECT_EQ(step(d.x * lean, d.y * lean), expected) << d.key << " at " << lean;
    }
  }
}

TEST_F(KeyboardOutput, StageThresholdsComeFromTheConfiguration) {
  edit([](outputs::KeyboardConfig& k) {
    k.threshold = 0.5f;
    k.threshold2 = 0.7f;
  });
  EXPECT_THAT(step(0, 0.49f), IsEmpty());
  EXPECT_THAT(step(0, 0.51f), ElementsAre("down W"));
  EXPECT_THAT(step(0, 0.46f), IsEmpty());
  EXPECT_THAT(step(0, 0.44f), ElementsAre("up W"));
  EXPECT_THAT(step(0, 0.69f), ElementsAre("down W"));
  EXPECT_THAT(step(0, 0.71f), ElementsAre("up W", "down shift", "down W"));
}

TEST_F(KeyboardOutput, DiagonalBindingsShareTheirModifierUntilBothAreReleased) {
  EXPECT_THAT(step(-0.7f, 0.7f), ElementsAre("down shift", "down A", "down W"));
  EXPECT_EQ(keyboard->heldKeys(), (Events{"shift+a", "shift+w"}));
  // Straightening sideways lifts A; Shift stays down for the still-held "shift+w".
  EXPECT_THAT(step(0, 0.7f), ElementsAre("up A"));
  EXPECT_EQ(keys.keysDown(), (Events{"shift", "W"}));
  EXPECT_THAT(step(0, 0), ElementsAre("up W", "up shift"));
  EXPECT_THAT(keys.keysDown(), IsEmpty());
}

TEST_F(KeyboardOutput, BindingsAreComparedAsTextButResolvedCaseInsensitively) {
  keyboard->syncHeldKeys({"Shift+W"});
  EXPECT_THAT(keys.take(), ElementsAre("down shift", "down W"));
  keyboard->syncHeldKeys({"shift+w"});
  EXPECT_THAT(keys.take(), ElementsAre("up W", "up shift", "down shift", "down W"));
  // A binding edited while held is released under its old meaning.
  keyboard->syncHeldKeys({});
  keys.take();
  EXPECT_THAT(step(0, 0.5f), ElementsAre("down W"));
  edit([](outputs::KeyboardConfig& k) { k.keys[0] = "e"; });
  EXPECT_THAT(step(0, 0.5f), ElementsAre("up W", "down E"));
}

TEST_F(KeyboardOutput, BindingsThatNameNoKeySendNothing) {
  for (const char* binding : {"f13", "numpad1", "ctrl+shift+w", "", ",", "+", "shift+"}) {
    jump(binding, true);
    jump(binding, false);
    EXPECT_THAT(keys.take(), IsEmpty()) << binding;
  }
  edit([](outputs::KeyboardConfig& k) { k.keys[0] = "numpad8"; });
  EXPECT_THAT(step(0, 0.5f), IsEmpty());
  EXPECT_THAT(step(0, 0), IsEmpty());
  // Single characters, table names and modifiers alone do resolve.
  for (const char* binding : {"A", "0", "ctrl", "alt+f4"}) {
    jump(binding, true);
    jump(binding, false);
  }
  EXPECT_THAT(keys.take(), ElementsAre("down A", "up A", "down 0", "up 0", "down ctrl", "up ctrl", "down alt",
                                       "down f4", "up f4", "up alt"));
}

TEST_F(KeyboardOutput, JumpAndCrouchPressesAreReleasedOnceAndNeverStealAHeldKey) {
  jump("space", true);
  jump("space", true);  // a second detection while still down
  EXPECT_THAT(keys.take(), ElementsAre("down space"));
  jump("space", false);
  EXPECT_THAT(keys.take(), ElementsAre("up space"));
  jump("space", false);  // a timed release of a key already up still sends its key-up
  EXPECT_THAT(keys.take(), ElementsAre("up space"));

  // The key changed while held: the release lifts the key that went down, the next
  // press the new one; a press with the new key lifts the old first.
  jump("ctrl", true);
  jump("c", false);
  jump("c", true);
  jump("x", true);
  jump("x", false);
  EXPECT_THAT(keys.take(), ElementsAre("down ctrl", "up ctrl", "down C", "up C", "down X", "up X"));

  // Jump bound to the walking key: the key stays down while either wants it.
  EXPECT_THAT(step(0, 0.5f), ElementsAre("down W"));
  jump("w", true);
  jump("w", false);
  EXPECT_THAT(keys.take(), IsEmpty());
  jump("w", true);
  EXPECT_THAT(step(0, 0), IsEmpty());
  jump("w", false);
  EXPECT_THAT(keys.take(), ElementsAre("up W"));

  // Jump and crouch on one key: it stays down until both let go.
  edit([](outputs::KeyboardConfig& k) { k.crouchKey = "w"; });
  keyboard->press(outputs::Action::Jump);
  keyboard->press(outputs::Action::Crouch);
  keyboard->release(outputs::Action::Jump);
  EXPECT_THAT(keys.take(), ElementsAre("down W"));
  keyboard->release(outputs::Action::Crouch);
  EXPECT_THAT(keys.take(), ElementsAre("up W"));
  keyboard->press(outputs::Action::SecondStage);  // the keyboard has no second-stage key
  EXPECT_THAT(keys.take(), IsEmpty());
}

TEST_F(KeyboardOutput, ResetReleasesEverythingThenTheModifiers) {
  step(-0.7f, 0.4f);                         // "shift+a" and "w"
  keyboard->press(outputs::Action::Jump);    // space
  keyboard->press(outputs::Action::Crouch);  // ctrl
  keys.take();
  keyboard->centre();
  EXPECT_THAT(keys.take(), ElementsAre("up A", "up shift", "up W", "up space", "up ctrl", "up shift", "up ctrl",
                                       "up alt", "up win"));
  EXPECT_EQ(out.str(), "[Keyboard] Reset modifier keys.\n");
  EXPECT_THAT(keys.keysDown(), IsEmpty());
  EXPECT_THAT(keyboard->heldKeys(), IsEmpty());
  for (bool flag : keyboard->directionFlags()) EXPECT_FALSE(flag);
  // After a reset the same lean presses again.
  EXPECT_THAT(step(0, 0.4f), ElementsAre("down W"));
}

TEST_F(KeyboardOutput, DestructionReleasesWhatIsStillDown) {
  step(0, 0.7f);
  keyboard->press(outputs::Action::Crouch);
  keys.take();
  keyboard.reset();
  EXPECT_THAT(keys.keysDown(), IsEmpty());
  EXPECT_EQ(keys.take().size(), 3u);
}

}  // namespace

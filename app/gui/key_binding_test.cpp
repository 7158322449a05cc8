#include "app/gui/key_binding.h"

#include <gtest/gtest.h>

namespace {

using gui::keyNames;
using gui::modifierNames;
using gui::selectionFor;
using gui::withKey;
using gui::withModifier;

TEST(KeyBinding, OffersTheFiveModifiersAndSixtyEightKeysInOrder) {
  EXPECT_EQ(modifierNames(), (std::vector<std::string>{"None", "shift", "ctrl", "alt", "win"}));
  ASSERT_EQ(keyNames().size(), 68u);
  EXPECT_EQ(keyNames()[0], "a");
  EXPECT_EQ(keyNames()[26], "0");
  EXPECT_EQ(keyNames()[36], "f1");
  EXPECT_EQ(keyNames()[48], "up");
  EXPECT_EQ(keyNames().back(), "pause");
}

TEST(KeyBinding, EveryOfferedBindingRoundTripsThroughTheEditor) {
  for (int m = 0; m < static_cast<int>(modifierNames().size()); ++m)
    for (int k = 0; k < static_cast<int>(keyNames().size()); ++k) {
      const std::string binding = withModifier(withKey("", k), m);
      const auto selection = selectionFor(binding);
      EXPECT_EQ(selection.modifier, m) << binding;
      EXPECT_EQ(selection.key, k) << binding;
      EXPECT_EQ(withKey(binding, k), binding);
      EXPECT_EQ(binding, m == 0 ? keyNames()[k] : modifierNames()[m] + "+" + keyNames()[k]);
    }
}

TEST(KeyBinding, UnknownPartsShowAsNoneAndA) {
  // Ctrl+F13: ctrl is offered (case folded), f13 is not -> shows ctrl and a.
  EXPECT_EQ(selectionFor("Ctrl+F13").modifier, 2);
  EXPECT_EQ(selectionFor("Ctrl+F13").key, 0);
  EXPECT_EQ(withKey("Ctrl+F13", 36), "ctrl+f1");
  EXPECT_EQ(withModifier("Ctrl+F13", 3), "alt+f13");
  // A second '+' stays in the key part, which names no key.
  EXPECT_EQ(selectionFor("ctrl+shift+w").key, 0);
  EXPECT_EQ(withModifier("ctrl+shift+w", 0), "shift+w");
  // An unknown modifier shows as None; picking a key then drops it.
  EXPECT_EQ(selectionFor("hyper+w").modifier, 0);
  EXPECT_EQ(selectionFor("hyper+w").key, 22);
  EXPECT_EQ(withKey("hyper+w", 3), "d");
  // The jump key may be a bare modifier name such as "ctrl".
  EXPECT_EQ(selectionFor("ctrl").modifier, 0);
  EXPECT_EQ(selectionFor("").key, 0);
  // Out-of-range picks leave the binding alone.
  EXPECT_EQ(withKey("shift+w", 68), "shift+w");
  EXPECT_EQ(withModifier("shift+w", -1), "shift+w");
}

}  // namespace

#include "app/gui/widgets.h"

#include <gtest/gtest.h>

#include "app/gui/headless_imgui.h"

namespace {

using guitest::HeadlessImGui;

// A slider 400 px wide at a fixed place; the test reads where its track is.
struct SliderHarness {
  HeadlessImGui ui;
  float value = 5;
  bool changed = false;
  int changes = 0;
  std::function<void()> draw = [this] {
    changed = gui::valueSlider("Deadzone", &value, 0, 10, "%.1f deg", 400);
    if (changed) ++changes;
  };
  float left() { return ui.rect("Deadzone").min.x; }
  float trackY() { return ui.rect("Deadzone").centre().y; }
};

TEST(ValueSlider, MapsTheMouseAcrossTheTrackAndClampsAtBothEnds) {
  SliderHarness s;
  s.ui.frame(s.draw);
  const float left = s.left(), y = s.trackY();

  s.ui.drag(ImVec2(left + 100, y), ImVec2(left + 100, y), s.draw);  // a quarter of 400 px
  EXPECT_FLOAT_EQ(s.value, 2.5f);
  s.ui.drag(ImVec2(left + 100, y), ImVec2(left + 300, y), s.draw);
  EXPECT_FLOAT_EQ(s.value, 7.5f);
  s.ui.drag(ImVec2(left + 300, y), ImVec2(left + 2000, y), s.draw);  // far right, past the window
  EXPECT_FLOAT_EQ(s.value, 10.0f);
  s.ui.drag(ImVec2(left + 200, y), ImVec2(left - 500, y), s.draw);  // far left
  EXPECT_FLOAT_EQ(s.value, 0.0f);
  s.ui.release(s.draw);
}

TEST(ValueSlider, ReportsAChangeOnlyWhenTheStoredValueChanges) {
  SliderHarness s;
  s.ui.frame(s.draw);
  const float left = s.left(), y = s.trackY();
  s.value = 2.5f;
  s.ui.drag(ImVec2(left + 100, y), ImVec2(left + 100, y), s.draw);  // pressed exactly on the current value
  EXPECT_EQ(s.changes, 0);
  s.ui.drag(ImVec2(left + 100, y), ImVec2(left + 200, y), s.draw);
  EXPECT_EQ(s.changes, 1);
  s.ui.frame(s.draw);  // still held, mouse not moved
  EXPECT_FALSE(s.changed);
  s.ui.release(s.draw);
  s.ui.frame(s.draw);
  EXPECT_EQ(s.changes, 1);
  EXPECT_FLOAT_EQ(s.value, 5.0f);
}

TEST(ValueSlider, TheLabelRowAndAnEmptyRangeDoNotMoveTheValue) {
  SliderHarness s;
  s.ui.frame(s.draw);
  const float top = s.ui.rect("Deadzone").min.y;
  s.ui.drag(ImVec2(s.left() + 10, top - 10), ImVec2(s.left() + 10, top - 10), s.draw);  // on the label
  EXPECT_FLOAT_EQ(s.value, 5.0f);
  s.ui.release(s.draw);

  HeadlessImGui ui;
  float value = 3;
  auto draw = [&] { gui::valueSlider("Flat", &value, 3, 3, "%.0f", 200); };
  ui.frame(draw);
  const auto r = ui.rect("Flat");
  ui.drag(r.centre(), ImVec2(r.max.x + 50, r.centre().y), draw);
  EXPECT_FLOAT_EQ(value, 3.0f);
}

TEST(DeviceCombo, ShowsSelectDeviceOutsideTheListAndStoresTheChosenIndex) {
  const std::vector<std::string> items{"Tracker A", "Tracker B"};
  EXPECT_STREQ(gui::comboPreview(-1, items), "Select Device...");
  EXPECT_STREQ(gui::comboPreview(2, items), "Select Device...");
  EXPECT_STREQ(gui::comboPreview(0, {}), "Select Device...");
  EXPECT_STREQ(gui::comboPreview(1, items), "Tracker B");

  HeadlessImGui ui;
  int selected = -1, changes = 0;
  auto draw = [&] { changes += gui::deviceCombo("Tracker", &selected, items) ? 1 : 0; };
  ASSERT_TRUE(ui.click("Tracker", draw));
  ASSERT_TRUE(ui.has("Tracker/Tracker B")) << "the list opens";
  ASSERT_TRUE(ui.click("Tracker/Tracker B", draw));
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(changes, 1);
  ui.frame(draw);
  EXPECT_FALSE(ui.has("Tracker/Tracker A")) << "the list closes after a choice";

  // Choosing the entry that is already selected is not a change.
  ASSERT_TRUE(ui.click("Tracker", draw));
  ASSERT_TRUE(ui.click("Tracker/Tracker B", draw));
  EXPECT_EQ(changes, 1);
}

TEST(KeyBindingEditor, DropDownsRewriteTheBindingInPlace) {
  HeadlessImGui ui;
  std::string binding = "Ctrl+F13";
  int changes = 0;
  auto draw = [&] { changes += gui::keyBindingEditor("Forward (S1)", binding) ? 1 : 0; };

  ASSERT_TRUE(ui.click("Forward (S1)/Mod", draw));
  ASSERT_TRUE(ui.click("Forward (S1)/Mod/shift", draw));
  EXPECT_EQ(binding, "shift+f13") << "the key part stays as it was when only the modifier changes";

  ASSERT_TRUE(ui.click("Forward (S1)/Mod", draw));
  ASSERT_TRUE(ui.click("Forward (S1)/Mod/None", draw));
  EXPECT_EQ(binding, "f13");
  EXPECT_EQ(changes, 2);

  // The key list opens on the shown key ("a" for f13) and stores the choice.
  ASSERT_TRUE(ui.click("Forward (S1)/Key", draw));
  ASSERT_TRUE(ui.has("Forward (S1)/Key/a"));
  ASSERT_TRUE(ui.click("Forward (S1)/Key/b", draw));
  EXPECT_EQ(binding, "b");
}

TEST(RaisedAndTabButtons, ClickOnceAndSelectTheirTab) {
  HeadlessImGui ui;
  int clicks = 0, active = 0;
  auto draw = [&] {
    clicks += gui::raisedButton("SAVE SETTINGS", ImVec2(192, 48)) ? 1 : 0;
    gui::tabButton("Main", 0, active);
    gui::tabButton("Jump", 2, active);
    ImGui::NewLine();
  };
  ASSERT_TRUE(ui.click("SAVE SETTINGS", draw));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(ui.rect("SAVE SETTINGS").max.y - ui.rect("SAVE SETTINGS").min.y, 52.0f) << "face plus 4-px base";
  ASSERT_TRUE(ui.click("Jump", draw));
  EXPECT_EQ(active, 2);
  EXPECT_LT(ui.rect("Main").max.x + 9, ui.rect("Jump").min.x) << "10 px between tab buttons";
}

TEST(Cards, EndCardPopsExactlyWhatBeginCardPushed) {
  HeadlessImGui ui;
  ui.frame([] {
    const ImGuiStyle before = ImGui::GetStyle();
    for (bool bordered : {true, false})
      for (bool filled : {true, false}) {
        gui::beginCard("Card", ImVec2(200, 100), bordered, filled);
        EXPECT_EQ(ImGui::GetStyle().WindowPadding.x, 26.0f);
        EXPECT_EQ(ImGui::GetStyle().ChildBorderSize, bordered ? 4.0f : 0.0f);
        EXPECT_EQ(ImGui::GetStyle().Colors[ImGuiCol_ChildBg].w, filled ? 1.0f : 0.0f);
        gui::endCard();
        EXPECT_EQ(ImGui::GetStyle().WindowPadding.x, before.WindowPadding.x);
        EXPECT_EQ(ImGui::GetStyle().ChildBorderSize, before.ChildBorderSize);
      }
  });
}

}  // namespace

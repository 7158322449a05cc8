#pragma once

#include <imgui.h>

#include <map>
#include <string>
#include <vector>

#include "app/gui/theme.h"

// The small set of custom widgets every tab uses. Each draws in the current
// window and returns whether the user changed (or clicked) something.
namespace gui {

// The fonts the widgets use; set once after the fonts are loaded.
void setWidgetFonts(const Fonts& fonts);
const Fonts& widgetFonts();

// A child window used as a card: padding (26, 10), border width 4 when bordered,
// card background when filled (else transparent). endCard pops what beginCard pushed.
bool beginCard(const char* id, ImVec2 size, bool bordered, bool filled, ImGuiWindowFlags flags = 0);
void endCard();

// `text` in the section font, in the accent colour.
void sectionTitle(const char* text);

// A labelled slider: label top left, formatted value top right, a 10-px track and
// a round knob. Dragging in the lower 36 px sets minimum + (mouse x - left) / width
// x (maximum - minimum), clamped. Returns true only when the value changed.
// `width` <= 0 means the available width.
bool valueSlider(const char* label, float* value, float minimum, float maximum, const char* format, float width = 0);

// The text the closed box of a deviceCombo shows.
const char* comboPreview(int selected, const std::vector<std::string>& items);

// A drop-down over `items`; "Select Device..." when `*selected` is outside the
// list. The text of `label` before "##" is drawn above the box. `width` <= 0
// means the available width. Returns true when the user chose another item;
// `chosen`, when given, is set when the user clicked any item (also the selected one).
bool deviceCombo(const char* label, int* selected, const std::vector<std::string>& items, float width = 0,
                 bool* chosen = nullptr);

// A button with a 4-px shadow base; the face drops onto the base while held.
// `size` (0, 0) means label size plus frame padding.
bool raisedButton(const char* label, ImVec2 size = ImVec2(0, 0));

// Modifier and key drop-downs for a key binding, edited in place.
bool keyBindingEditor(const char* label, std::string& binding);

// One header tab button; a click makes `index` the active tab.
bool tabButton(const char* label, int index, int& activeTab);

// Tests find widgets on screen through this: while a locator is installed, every
// widget records its rectangle under its label (popup items as "label/item").
struct ItemLocator {
  struct Rect {
    ImVec2 min, max;
    ImVec2 centre() const { return ImVec2((min.x + max.x) / 2, (min.y + max.y) / 2); }
  };
  std::map<std::string, Rect> items;
};
void setItemLocator(ItemLocator* locator);
// Records the last item's rectangle under `name` (no-op without a locator).
void noteItem(const std::string& name);

}  // namespace gui

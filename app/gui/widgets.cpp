#include "app/gui/widgets.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/gui/key_binding.h"
#include "app/gui/palette.h"

namespace gui {
namespace {

Fonts g_fonts;
ItemLocator* g_locator = nullptr;

void pushFont(ImFont* font) { ImGui::PushFont(font ? font : ImGui::GetIO().Fonts->Fonts[0]); }

// The visible part of a label ("Output Mode##x" -> "Output Mode").
std::string visibleLabel(const char* label) {
  const char* hidden = std::strstr(label, "##");
  return hidden ? std::string(label, hidden) : std::string(label);
}

}  // namespace

void setWidgetFonts(const Fonts& fonts) { g_fonts = fonts; }
const Fonts& widgetFonts() { return g_fonts; }

void setItemLocator(ItemLocator* locator) { g_locator = locator; }
void noteItem(const std::string& name) {
  if (g_locator) g_locator->items[name] = {ImGui::GetItemRectMin(), ImGui::GetItemRectMax()};
}

bool beginCard(const char* id, ImVec2 size, bool bordered, bool filled, ImGuiWindowFlags flags) {
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(26, 10));
  ImGui::PushStyleVar(ImGuiStyleVar_ChildBorderSize, bordered ? 4.0f : 0.0f);
  ImGui::PushStyleColor(ImGuiCol_ChildBg, filled ? palette::rgb(palette::kCardBg) : ImVec4(0, 0, 0, 0));
  // Child windows must be ended whatever BeginChild returns, so the pushes are
  // popped in endCard in every case.
  return ImGui::BeginChild(id, size, bordered, flags);
}

void endCard() {
  ImGui::EndChild();
  ImGui::PopStyleColor(1);
  ImGui::PopStyleVar(2);
}

void sectionTitle(const char* text) {
  pushFont(g_fonts.section);
  ImGui::TextColored(palette::rgb(palette::kAccent), "%s", text);
  ImGui::PopFont();
}

bool valueSlider(const char* label, float* value, float minimum, float maximum, const char* format, float width) {
  const float w = width > 0 ? width : std::max(1.0f, ImGui::GetContentRegionAvail().x);
  const ImVec2 top = ImGui::GetCursorScreenPos();
  ImDrawList* draw = ImGui::GetWindowDrawList();

  // Label and value text on the first line.
  const ImU32 text = ImGui::GetColorU32(ImGuiCol_Text);
  const std::string shown = visibleLabel(label);
  draw->AddText(top, text, shown.c_str());
  char valueText[64];
  std::snprintf(valueText, sizeof valueText, format, *value);
  const float valueWidth = ImGui::CalcTextSize(valueText).x;
  draw->AddText(ImVec2(top.x + w - valueWidth, top.y), text, valueText);

  // The lower 36 px react to the mouse.
  ImGui::PushID(label);
  ImGui::SetCursorScreenPos(ImVec2(top.x, top.y + 22));
  ImGui::InvisibleButton("##track", ImVec2(w, 36));
  const bool hovered = ImGui::IsItemHovered();
  const bool held = ImGui::IsItemActive();
  ImGui::PopID();
  noteItem(label);

  bool changed = false;
  if (held && maximum > minimum) {
    float v = minimum + (ImGui::GetIO().MousePos.x - top.x) / w * (maximum - minimum);
    v = std::clamp(v, minimum, maximum);
    if (v != *value) {
      *value = v;
      changed = true;
    }
  }

  // Track, filled part and knob.
  const float centreY = top.y + 38;
  const float fraction = maximum > minimum ? std::clamp((*value - minimum) / (maximum - minimum), 0.0f, 1.0f) : 0;
  const float knobX = top.x + fraction * w;
  const ImVec2 barMin(top.x, centreY - 5), barMax(top.x + w, centreY + 5);
  draw->AddRectFilled(barMin, barMax, palette::u32(palette::kFrameBg), 5);
  draw->AddRectFilled(barMin, ImVec2(knobX, barMax.y), ImGui::GetColorU32(ImGuiCol_Button), 5);
  draw->AddRect(barMin, barMax, ImGui::GetColorU32(ImGuiCol_Border), 5, 0, 2);
  const ImU32 ring = ImGui::GetColorU32(held      ? ImGuiCol_ButtonActive
                                        : hovered ? ImGuiCol_ButtonHovered
                                                  : ImGuiCol_Button);
  const ImVec2 knob(knobX, centreY);
  draw->AddCircleFilled(knob, 17, palette::u32(palette::kKnob), 32);
  draw->AddCircle(knob, 17, ring, 32, 3);
  for (int i = -1; i <= 1; ++i)
    draw->AddLine(ImVec2(knob.x + 5 * i, knob.y - 5), ImVec2(knob.x + 5 * i, knob.y + 5), ring, 2);
  return changed;
}

const char* comboPreview(int selected, const std::vector<std::string>& items) {
  if (selected < 0 || selected >= static_cast<int>(items.size())) return "Select Device...";
  return items[selected].c_str();
}

namespace {

bool comboImpl(const char* label, const std::string& locatorName, int* selected, const std::vector<std::string>& items,
               bool* chosen, float width) {
  bool changed = false;
  ImGui::PushID(label);
  const std::string shown = visibleLabel(label);
  if (!shown.empty()) ImGui::TextUnformatted(shown.c_str());
  ImGui::PushStyleColor(ImGuiCol_Header, palette::rgb(palette::kAccent));
  ImGui::PushStyleColor(ImGuiCol_HeaderHovered, palette::rgb(palette::kAccent));
  ImGui::PushStyleColor(ImGuiCol_HeaderActive, palette::rgb(palette::kAccentHovered));
  ImGui::SetNextItemWidth(width > 0 ? width : -FLT_MIN);
  const ImVec2 boxMin = ImGui::GetCursorScreenPos();
  const float boxWidth = width > 0 ? width : ImGui::GetContentRegionAvail().x;
  if (g_locator)  // recorded before BeginCombo, which may open the popup window
    g_locator->items[locatorName] = {boxMin, ImVec2(boxMin.x + boxWidth, boxMin.y + ImGui::GetFrameHeight())};
  if (ImGui::BeginCombo("##combo", comboPreview(*selected, items))) {
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
      const bool isSelected = i == *selected;
      if (isSelected) ImGui::PushStyleColor(ImGuiCol_Text, palette::rgb(palette::kDarkText));
      ImGui::PushID(i);
      if (ImGui::Selectable(items[i].c_str(), isSelected)) {
        if (chosen) *chosen = true;
        changed = *selected != i;
        *selected = i;
      }
      ImGui::PopID();
      noteItem(locatorName + "/" + items[i]);
      if (isSelected) {
        ImGui::PopStyleColor();
        ImGui::SetItemDefaultFocus();
      }
    }
    ImGui::EndCombo();
  }
  ImGui::PopStyleColor(3);
  ImGui::PopID();
  return changed;
}

}  // namespace

bool deviceCombo(const char* label, int* selected, const std::vector<std::string>& items, float width, bool* chosen) {
  if (chosen) *chosen = false;
  return comboImpl(label, label, selected, items, chosen, width);
}

bool raisedButton(const char* label, ImVec2 size) {
  pushFont(g_fonts.heading);
  const ImGuiStyle& style = ImGui::GetStyle();
  const std::string shown = visibleLabel(label);
  const ImVec2 textSize = ImGui::CalcTextSize(shown.c_str());
  if (size.x <= 0) size.x = textSize.x + style.FramePadding.x * 2;
  if (size.y <= 0) size.y = textSize.y + style.FramePadding.y * 2;

  const ImVec2 top = ImGui::GetCursorScreenPos();
  const bool clicked = ImGui::InvisibleButton(label, ImVec2(size.x, size.y + 4));
  noteItem(label);
  const bool hovered = ImGui::IsItemHovered();
  const bool held = ImGui::IsItemActive();

  ImDrawList* draw = ImGui::GetWindowDrawList();
  const float rounding = style.FrameRounding;
  const ImU32 shadow = palette::u32(palette::kAccentShadow);
  draw->AddRectFilled(ImVec2(top.x, top.y + 4), ImVec2(top.x + size.x, top.y + 4 + size.y), shadow, rounding);
  const float drop = held ? 4.0f : 0.0f;
  const ImVec2 faceMin(top.x, top.y + drop), faceMax(top.x + size.x, top.y + drop + size.y);
  const ImGuiCol face = held && hovered ? ImGuiCol_ButtonActive : hovered ? ImGuiCol_ButtonHovered : ImGuiCol_Button;
  draw->AddRectFilled(faceMin, faceMax, ImGui::GetColorU32(face), rounding);
  if (style.FrameBorderSize > 0) draw->AddRect(faceMin, faceMax, shadow, rounding, 0, style.FrameBorderSize);
  draw->AddText(ImVec2(faceMin.x + (size.x - textSize.x) / 2, faceMin.y + (size.y - textSize.y) / 2),
                palette::u32(palette::kDarkText), shown.c_str());
  ImGui::PopFont();
  return clicked;
}

bool keyBindingEditor(const char* label, std::string& binding) {
  ImGui::PushID(label);
  ImGui::TextUnformatted(visibleLabel(label).c_str());
  const BindingSelection selection = selectionFor(binding);
  bool changed = false;

  int modifier = selection.modifier;
  if (comboImpl("##Mod", std::string(label) + "/Mod", &modifier, modifierNames(), nullptr,
                ImGui::GetContentRegionAvail().x * 0.4f)) {
    binding = withModifier(binding, modifier);
    changed = true;
  }
  ImGui::SameLine();
  int key = selection.key;
  if (comboImpl("##Key", std::string(label) + "/Key", &key, keyNames(), nullptr,
                ImGui::GetContentRegionAvail().x - 5)) {
    binding = withKey(binding, key);
    changed = true;
  }
  ImGui::PopID();
  return changed;
}

bool tabButton(const char* label, int index, int& activeTab) {
  const ImVec2 textSize = ImGui::CalcTextSize(label);
  const ImVec2 size(textSize.x + 32, textSize.y + 12);
  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(16, 6));
  const ImVec2 top = ImGui::GetCursorScreenPos();
  const bool hovered = ImGui::IsMouseHoveringRect(top, ImVec2(top.x + size.x, top.y + size.y)) &&
                       ImGui::IsWindowHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem);
  const bool lit = activeTab == index || hovered;
  const ImVec4 face = palette::rgb(lit ? palette::kAccent : palette::kTabIdle);
  ImGui::PushStyleColor(ImGuiCol_Button, face);
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, face);
  ImGui::PushStyleColor(ImGuiCol_ButtonActive, face);
  ImGui::PushStyleColor(ImGuiCol_Text, palette::rgb(lit ? palette::kDarkText : palette::kWhite));
  const bool clicked = ImGui::Button(label, size);
  noteItem(label);
  ImGui::PopStyleColor(4);
  ImGui::PopStyleVar();
  if (clicked) activeTab = index;
  ImGui::SameLine(0, 10);
  return clicked;
}

}  // namespace gui

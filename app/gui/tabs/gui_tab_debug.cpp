#include "app/gui/tabs/gui_tab_debug.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <string>

#include "app/gui/palette.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using palette::rgb;

// The scrolling child window a multi-line text box with `label` draws into (the
// library names it after its parent, the label and the label's id).
ImGuiWindow* textBoxWindow(const char* label) {
  const ImGuiID id = ImGui::GetID(label);
  char name[512];
  ImFormatString(name, sizeof name, "%s/%s_%08X", ImGui::GetCurrentWindow()->Name, label, id);
  return ImGui::FindWindowByName(name);
}

}  // namespace

GuiTabDebug::GuiTabDebug(core::Logger& logger) : logger_(logger) {}

void GuiTabDebug::render() {
  std::string text;
  for (const std::string& line : logger_.lines()) {
    text += line;
    text += '\n';
  }
  ImGui::PushStyleVar(ImGuiStyleVar_ChildRounding, 10);
  ImGui::PushStyleColor(ImGuiCol_ChildBg, rgb(palette::kCardBg));
  const bool clear = ImGui::Button("Clear Logs");
  noteItem("Clear Logs");
  if (clear) logger_.clear();
  ImGui::SameLine();
  ImGui::PushStyleColor(ImGuiCol_CheckMark, rgb(palette::kAccent));
  ImGui::Checkbox("Auto-scroll", &autoScroll_);
  ImGui::PopStyleColor();
  noteItem("Auto-scroll");
  ImGui::Separator();

  // Following the newest line: the box's scroll target is set before it is drawn.
  if (autoScroll_) {
    // Past the end of the text; the library clamps the target to the last line.
    if (ImGuiWindow* box = textBoxWindow("##logs")) ImGui::SetScrollY(box, box->ContentSize.y + box->SizeFull.y);
  }
  ImGui::PushStyleColor(ImGuiCol_FrameBg, rgb(palette::kFrameBg));
  ImGui::InputTextMultiline("##logs", text.data(), text.size() + 1, ImVec2(-1, -1), ImGuiInputTextFlags_ReadOnly);
  noteItem("##logs");
  ImGui::PopStyleColor(2);
  ImGui::PopStyleVar();
}

}  // namespace gui::tabs

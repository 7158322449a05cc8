#include "app/gui/tabs/itab.h"

#include <imgui.h>

#include "app/gui/widgets.h"

namespace gui::tabs {

void renderTitleOnly(const char* title) {
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() + 20);
  sectionTitle(title);
}

}  // namespace gui::tabs

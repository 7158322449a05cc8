#pragma once

#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The "Crouch" tab. Shows its title until its content lands.
class GuiTabSquat : public ITab {
 public:
  void render() override { renderTitleOnly("Crouch"); }
};

}  // namespace gui::tabs

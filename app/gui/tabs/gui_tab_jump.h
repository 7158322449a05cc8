#pragma once

#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The "Jump" tab. Shows its title until its content lands.
class GuiTabJump : public ITab {
 public:
  void render() override { renderTitleOnly("Jump"); }
};

}  // namespace gui::tabs

#pragma once

#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The "Debug" tab. Shows its title until its content lands.
class GuiTabDebug : public ITab {
 public:
  void render() override { renderTitleOnly("Debug"); }
};

}  // namespace gui::tabs

#pragma once

#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The "Startup" tab. Shows its title until its content lands.
class GuiTabStartup : public ITab {
 public:
  void render() override { renderTitleOnly("Startup"); }
};

}  // namespace gui::tabs

#pragma once

#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The "Status" tab. Shows its title until its content lands.
class GuiTabStatus : public ITab {
 public:
  void render() override { renderTitleOnly("Status"); }
};

}  // namespace gui::tabs

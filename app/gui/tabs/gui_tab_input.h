#pragma once

#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The "Input" tab. Shows its title until its content lands.
class GuiTabInput : public ITab {
 public:
  void render() override { renderTitleOnly("Input"); }
};

}  // namespace gui::tabs

#pragma once

#include <string>
#include <vector>

#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/itab.h"
#include "app/gui/tabs/live_plots.h"

namespace gui::tabs {

// Crouch detection: the head source, the two height thresholds, the output the
// crouch drives, and a live height gauge.
class GuiTabSquat : public ITab {
 public:
  GuiTabSquat(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions);
  void render() override;

  static const std::vector<core::Source>& sources();

 private:
  void renderColumns();
  void renderSettings();
  void renderGauge();

  core::Settings& settings_;
  const engine::LiveView& live_;
  core::Config::Crouch crouch_;  // this frame's copy, edited by the controls
  const GuiActions& actions_;
  LivePlots plots_;
};

}  // namespace gui::tabs

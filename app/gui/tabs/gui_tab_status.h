#pragma once

#include <vector>

#include "app/core/settings.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/itab.h"
#include "app/gui/tabs/road_panel.h"

namespace gui::tabs {

// The ports the program listens on and the outside components it needs, with
// buttons that repair them.
class GuiTabStatus : public ITab {
 public:
  static constexpr double kRefreshInterval = 1.0;  // seconds between list refreshes

  GuiTabStatus(core::Settings& settings, const GuiActions& actions);
  void render() override;
  const RoadPanel& roadPanel() const { return road_; }

 private:
  void refreshIfDue();
  void renderPorts();
  void renderListening();
  void renderComponents();
  double now() const;

  core::Settings& settings_;
  const GuiActions& actions_;
  bool refreshed_ = false;
  double refreshedAt_ = 0;
  RoadPanel road_;
};

}  // namespace gui::tabs

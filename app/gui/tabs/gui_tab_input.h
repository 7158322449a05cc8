#pragma once

#include <string>
#include <vector>

#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// The body tracker that drives walking: its source and connection, the axis
// mapping and alignment of the phone or SlimeVR tracker, and live values.
class GuiTabInput : public ITab {
 public:
  GuiTabInput(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions);
  void render() override;

  static const std::vector<core::Source>& sources();
  static const std::vector<core::Mounting>& alignments();
  static const std::vector<core::Facing>& facings();
  static const std::vector<std::string>& axes();

 private:
  void renderColumns();
  void renderLeft();
  void renderRight();
  void renderAxisRows(bool slime);
  void renderAlignment(bool slime);
  void renderOscBlock();
  void renderSolarXRBlock();
  void renderPhoneBlock();
  void renderSteamVRBlock();
  void renderConnection();
  void refreshControllers();

  core::Settings& settings_;
  const engine::LiveView& live_;
  core::Config::Tracking tracking_;  // this frame's copies, edited by the controls
  core::Config::Locomotion locomotion_;
  const GuiActions& actions_;
  std::vector<HookController> controllers_;  // the SteamVR tracker cache
};

}  // namespace gui::tabs

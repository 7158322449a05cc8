#pragma once

#include <string>
#include <vector>

#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/itab.h"
#include "app/gui/tabs/live_plots.h"

namespace gui::tabs {

// The output modes offered: four, plus "OpenXR API Layer" while the experimental
// switch is on or it is already the mode.
std::vector<core::OutputMode> outputModeList(const core::Config& config);
// The 18 controller buttons of the SteamVR and OpenXR second thresholds.
const std::vector<std::string>& hookButtonNames();
// The 14 virtual-pad buttons.
const std::vector<std::string>& padButtonNames();

// The SteamVR hook target drop-down's entries and selection for these outputs
// and cached controllers.
struct HookTargetList {
  std::vector<std::string> entries;
  int selected = 0;
};
HookTargetList hookTargetList(const core::Config::Outputs& outputs, const std::vector<HookController>& controllers);

// The walking response curve: |v| raised to 3^p, with the sign of v (p = 0: unchanged).
float responseCurve(float v, float progression);

// The first tab: output mode and its options, the walking curve, and what the
// engine does right now (stick, curve, jump). The output controls edit a copy of
// the output section, published once after the frame's controls when it changed.
class GuiTabMain : public ITab {
 public:
  GuiTabMain(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions);
  void render() override;

 private:
  void renderColumns(const core::Config& config);
  void renderSettings(const core::Config& config);
  void renderModeBlock();
  void renderKeyboardBlock();
  void renderSecondThreshold(const char* title, bool& enabled, float& threshold, std::string& button,
                             const std::vector<std::string>& buttons);
  void renderHookTarget();
  void renderOpenXRTarget();
  void renderVRChat();
  void renderVisuals();
  void renderJump();
  void refreshControllers();
  double now() const;

  core::Settings& settings_;
  const engine::LiveView& live_;
  const GuiActions& actions_;
  core::Config::Outputs outputs_;  // this frame's copies, edited by the controls
  core::Config::Locomotion locomotion_;
  std::vector<HookController> controllers_;
  double controllersTime_ = 0;
  bool controllersRead_ = false;
  LivePlots plots_;
};

}  // namespace gui::tabs

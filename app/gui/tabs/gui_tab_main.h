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
std::vector<core::OutputMode> outputModeList(const core::Settings& settings);
// The 18 controller buttons of the SteamVR and OpenXR second thresholds.
const std::vector<std::string>& hookButtonNames();
// The 14 virtual-pad buttons.
const std::vector<std::string>& padButtonNames();

// The SteamVR hook target drop-down's entries and selection for these settings
// and cached controllers.
struct HookTargetList {
  std::vector<std::string> entries;
  int selected = 0;
};
HookTargetList hookTargetList(const core::Settings& settings, const std::vector<HookController>& controllers);

// The walking response curve: |v| raised to 3^p, with the sign of v (p = 0: unchanged).
float responseCurve(float v, float progression);

// The first tab: output mode and its options, the walking curve, and what the
// engine does right now (stick, curve, jump).
class GuiTabMain : public ITab {
 public:
  GuiTabMain(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions);
  void render() override;

 private:
  void renderSettings();
  void renderModeBlock();
  void renderKeyboardBlock();
  void renderSecondThreshold(const char* title, std::atomic<bool>& enabled, std::atomic<float>& threshold,
                             core::SharedText& button, const std::vector<std::string>& buttons);
  void renderHookTarget();
  void renderOpenXRTarget();
  void renderVRChat();
  void renderVisuals();
  void renderJump();
  void refreshControllers();
  void save();
  double now() const;

  core::Settings& settings_;
  const engine::LiveView& live_;
  const GuiActions& actions_;
  std::vector<HookController> controllers_;
  double controllersTime_ = 0;
  bool controllersRead_ = false;
  LivePlots plots_;
};

}  // namespace gui::tabs

#pragma once

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/itab.h"
#include "app/gui/tabs/live_plots.h"

namespace gui::tabs {

// The change of each angle against the oldest sample of the last 0.5 s, wrapped
// into [-180, 180] degrees, divided by 45 and clamped to [-1, 1].
class OrientationHistory {
 public:
  static constexpr double kSpan = 0.5;  // seconds kept
  // Adds a sample (degrees) at `now` and returns the three bar values.
  std::array<float, 3> add(double now, const std::array<float, 3>& angles);

 private:
  struct Sample {
    double time;
    std::array<float, 3> angles;
  };
  std::deque<Sample> samples_;
};

// Jump detection: the head or phone source, the detector's thresholds, the
// output the jump drives, and live data.
class GuiTabJump : public ITab {
 public:
  GuiTabJump(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions);
  void render() override;

  static const std::vector<core::Source>& sources();

 private:
  void renderColumns();
  void renderSettings(core::Source source);
  void renderOpenVRDevice();
  void renderSolarXRTracker();
  void renderHeightPanel();
  void renderAccelerationPanel();
  void renderVisuals(core::Source source);
  double now() const;

  core::Settings& settings_;
  const engine::LiveView& live_;
  core::Config::Jump jump_;  // this frame's copy, edited by the controls
  const GuiActions& actions_;
  OrientationHistory history_;
  LivePlots plots_;
};

}  // namespace gui::tabs

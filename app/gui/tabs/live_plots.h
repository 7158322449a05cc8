#pragma once

#include <imgui.h>

#include <functional>
#include <vector>

#include "app/core/live_history.h"
#include "app/core/settings.h"

namespace gui::tabs {

// The live plots: the last seconds of the engine's sample history against the
// settings that act on it, drawn with the window's draw list. Each plot copies
// what it shows out of its ring into a buffer kept between frames.
class LivePlots {
 public:
  // The engine clock through `engineNow` (when set), else the newest sample's time.
  static double timeNow(const std::function<double()>& engineNow, const core::LiveHistory& history);

  // `now`: the engine clock, the right edge of every plot.
  // Main tab: lean on both stick axes (10 s) with the dead-zone band and the maximum angles.
  void lean(const core::LiveHistory& history, const core::Settings& settings, double now, float height);
  // Main tab: the stick sent to the output over the same 10 s, forward and right positive.
  void stick(const core::LiveHistory& history, double now, float height);
  // Jump tab: the jump signal (5 s) with the threshold and a marker per jump fired or suppressed.
  void jump(const core::LiveHistory& history, const core::Settings& settings, double now, float height);
  // Crouch tab: head height (10 s) with both thresholds and the crouched stretches shaded.
  void crouch(const core::LiveHistory& history, const core::Settings& settings, double now, float height);

 private:
  std::vector<core::LeanSample> lean_;
  std::vector<core::JumpSample> jump_;
  std::vector<core::CrouchSample> crouch_;
};

// The vertical range a plot of values `values` spans: at least [low, high], widened
// to every value, never zero high.
struct PlotRange {
  float low, high;
  float y(float value, float top, float bottom) const;
};

}  // namespace gui::tabs

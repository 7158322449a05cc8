#pragma once

#include <optional>

#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/itab.h"

namespace gui::tabs {

// Start-up behaviour, the in-VR toggle gestures, sound feedback, update checks
// and experimental switches. Every switch publishes its change at once; the volume
// slider when it is let go after a change.
class GuiTabStartup : public ITab {
 public:
  static constexpr float kTapScale = 80;  // the tap value and sensitivity shown as a fraction of this

  GuiTabStartup(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions);
  void render() override;

 private:
  void renderCard();
  void renderToggleBindings();
  void renderAudio();
  void renderApplication();

  core::Settings& settings_;
  const engine::LiveView& live_;
  const GuiActions& actions_;
  core::Config::Program program_;       // this frame's copy, edited by the controls
  std::optional<float> draggedVolume_;  // the volume while its slider is dragged
};

}  // namespace gui::tabs

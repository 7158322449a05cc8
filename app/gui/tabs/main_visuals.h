#pragma once

#include <string>

#include "app/core/settings.h"
#include "app/engine/live_view.h"

// The Main tab's live pictures: stick, response curve, jump.
namespace gui::tabs {

// A square as wide as the available width: thresholds of the current mode, the
// key or button labels, and the stick as a dot.
void drawStickVisualizer(const core::Settings& settings, const engine::LiveView& live);

// The response curve for `progression` over 0..1, in a 128-px box.
void drawCurvePreview(float progression);

// A disc lit while `jumping`, over a bar of the jump rise (height sources) or of
// the averaged acceleration (phone and SolarXR sources).
void drawJumpIndicator(const core::Settings& settings, const engine::LiveView& live, bool jumping);

// The averaged acceleration on `axis`; 0 for a non-finite value.
float accelerationOnAxis(const engine::LiveView& live, core::AccelAxis axis);

// What a keyboard-mode label shows for one direction.
struct KeyLabel {
  std::string text;  // the S2 binding past the S2 threshold, else the S1 binding
  bool lit = false;  // past the S1 threshold (strict)
};
// `deflection` is the stick's value towards this direction (positive = towards it).
KeyLabel keyLabel(float deflection, float threshold1, float threshold2, const std::string& binding1,
                  const std::string& binding2);

}  // namespace gui::tabs

#pragma once

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"

namespace gui {

// The program's window function: opens the window, loads fonts, style and logo,
// and draws the user interface until the window closes; `live` is what the engine
// publishes for it. Returns 0, or 1 when no graphics device could be created.
int runWindow(core::Settings& settings, const engine::LiveView& live, core::Logger& logger, const GuiActions& actions);

// Decodes the PNG at `path` to RGBA and hands it to `upload`; null when the file
// cannot be decoded or uploaded.
void* loadLogoTexture(const std::string& path,
                      const std::function<void*(int width, int height, const unsigned char* rgba)>& upload);

}  // namespace gui

// StrivoVR: the program with its window. Start-up, services and engine come from
// the composition root; the window is the user interface it runs.
#include "app/application.h"
#include "app/gui/window.h"
#include "platform/open_url.h"

int main() {
  Application application;
  gui::GuiActions actions;
  actions.saveSettings = [&] { return application.settingsFile().save(application.settings()); };
  actions.isJumping = [&] { return application.detectors().isJumping(); };
  actions.openUrl = platform::openUrl;
  actions.resetOutputs = [&] { application.engine().resetOutputs(); };
  actions.setCenter = [&] { application.engine().setCenter(); };
  actions.applyOutputMode = [&] { application.outputService().applyOutputMode(); };
  // Still to be connected as their services land: listControllers, isSteamVRRunning,
  // installComponent, restartSteamVR.
  return application.run([&] { return gui::runWindow(application.settings(), application.logger(), actions); });
}

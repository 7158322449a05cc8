#pragma once

#include <imgui.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "app/core/settings.h"
#include "app/engine/live_view.h"
#include "app/gui/gui_actions.h"
#include "app/gui/tabs/calibration_wizard.h"
#include "app/gui/tabs/itab.h"
#include "app/gui/theme.h"

namespace gui {

// Everything the window draws each frame: header (logo, name, tab buttons,
// START/STOP), the scrolling content (prompt cards, then the active tab) and the
// footer (DEBUG MODE, SAVE SETTINGS). Runs on the main thread only.
class UserInterface {
 public:
  enum Tab { Main, Input, Jump, Crouch, Status, Startup, Debug, TabCount };

  UserInterface(core::Settings& settings, const engine::LiveView& live, core::Logger& logger, GuiActions actions);
  ~UserInterface();

  void setFonts(const Fonts& fonts);
  void setLogo(ImTextureID logo) { logo_ = logo; }

  // Lays out one frame between ImGui::NewFrame and ImGui::Render, filling io.DisplaySize.
  void drawFrame();
  // Whether anything the active tab, the header or the prompts show changed since
  // the last drawFrame (live values, log lines, prompts, plot data).
  bool contentChanged();

  int activeTab() const { return activeTab_; }
  void setActiveTab(int tab) { activeTab_ = tab; }

  // The header's tab labels in button order.
  static const char* tabLabel(int tab);

  const tabs::CalibrationWizard& wizard() const { return wizard_; }

 private:
  void createTabs();
  void drawHeader(float width);
  void drawPrompts();
  void drawFooter(float width);
  void openDownloadUrl(const std::string& url);
  bool steamVRRunning();
  double now() const;
  // A digest of everything shown that can change without an input event.
  std::uint64_t shownState();

  core::Settings& settings_;
  const engine::LiveView& live_;
  core::Logger& logger_;
  GuiActions actions_;
  Fonts fonts_;
  ImTextureID logo_ = nullptr;
  int activeTab_ = Main;
  std::vector<std::unique_ptr<tabs::ITab>> tabs_;
  // Whether SteamVR runs is asked at most every 2 s (the check lists processes).
  bool steamVRRunning_ = false;
  double steamVRCheckedAt_ = 0;
  bool steamVRChecked_ = false;
  std::uint64_t drawnState_ = 0;
  tabs::CalibrationWizard wizard_{settings_, actions_};
};

}  // namespace gui

#include "app/gui/user_interface.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "app/gui/palette.h"
#include "app/gui/tabs/gui_tab_debug.h"
#include "app/gui/tabs/gui_tab_input.h"
#include "app/gui/tabs/gui_tab_jump.h"
#include "app/gui/tabs/gui_tab_main.h"
#include "app/gui/tabs/gui_tab_squat.h"
#include "app/gui/tabs/gui_tab_startup.h"
#include "app/gui/tabs/gui_tab_status.h"
#include "app/gui/widgets.h"
#include "app/system/component_service.h"
#include "app/system/update_check.h"
#include "platform/open_url.h"

namespace gui {
namespace {

using palette::rgb;

constexpr float kHeaderHeight = 56;
constexpr float kFooterHeight = 82;

void pushFontOrDefault(ImFont* font) { ImGui::PushFont(font ? font : ImGui::GetIO().Fonts->Fonts[0]); }

// A fixed bar (header or footer): bordered, no rounding, frame background.
bool beginBar(const char* id, ImVec2 size, ImVec2 padding) {
  ImGui::PushStyleVar(ImGuiStyleVar_ChildRounding, 0);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, padding);
  ImGui::PushStyleColor(ImGuiCol_ChildBg, rgb(palette::kFrameBg));
  return ImGui::BeginChild(id, size, true, ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
}
void endBar() {
  ImGui::EndChild();
  ImGui::PopStyleColor();
  ImGui::PopStyleVar(2);
}

struct Prompt {
  const char* id;
  const char* icon;
  std::string title;
  const char* description;
  const char* primary;
  const char* secondary;
};

// Draws one prompt card; returns 1 when the primary button was clicked, 2 for the secondary.
int drawPrompt(const Prompt& prompt, ImFont* headingFont) {
  int clicked = 0;
  ImGui::Spacing();
  ImGui::SetCursorPosX(ImGui::GetCursorPosX() + 20);
  const float width = ImGui::GetContentRegionAvail().x - 40;
  ImGui::PushStyleVar(ImGuiStyleVar_ChildRounding, 12);
  ImGui::PushStyleColor(ImGuiCol_ChildBg, rgb(palette::kCardBg));
  ImGui::PushStyleColor(ImGuiCol_Border, rgb(palette::kAccent));
  if (ImGui::BeginChild(prompt.id, ImVec2(width, 80), true, ImGuiWindowFlags_NoScrollbar)) {
    ImGui::SetCursorPos(ImVec2(15, 15));
    ImGui::TextColored(rgb(palette::kAccent), "%s", prompt.icon);
    ImGui::SetCursorPos(ImVec2(55, 15));
    pushFontOrDefault(headingFont);
    ImGui::TextUnformatted(prompt.title.c_str());
    ImGui::PopFont();
    ImGui::SetCursorPos(ImVec2(55, 42));
    ImGui::TextColored(rgb(palette::kWhite), "%s", prompt.description);

    ImGui::SetCursorPos(ImVec2(width - 320, 20));
    ImGui::PushStyleVar(ImGuiStyleVar_FrameRounding, 8);
    ImGui::PushStyleColor(ImGuiCol_Button, rgb(palette::kAccent));
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, rgb(palette::kAccentHovered));
    ImGui::PushStyleColor(ImGuiCol_Text, rgb(palette::kDarkText));
    if (ImGui::Button(prompt.primary, ImVec2(200, 40))) clicked = 1;
    noteItem(std::string(prompt.id) + "/" + prompt.primary);
    ImGui::PopStyleColor(3);
    ImGui::SetCursorPos(ImVec2(width - 320 + 210, 20));
    ImGui::PushStyleColor(ImGuiCol_Button, ImVec4(0, 0, 0, 0));
    ImGui::PushStyleColor(ImGuiCol_Text, rgb(palette::kWhite));
    if (ImGui::Button(prompt.secondary, ImVec2(100, 40))) clicked = 2;
    noteItem(std::string(prompt.id) + "/" + prompt.secondary);
    ImGui::PopStyleColor(2);
    ImGui::PopStyleVar();
  }
  ImGui::EndChild();
  ImGui::PopStyleColor(2);
  ImGui::PopStyleVar();
  ImGui::Spacing();
  return clicked;
}

}  // namespace

UserInterface::UserInterface(core::Settings& settings, const engine::LiveView& live, core::Logger& logger,
                             GuiActions actions)
    : settings_(settings), live_(live), logger_(logger), actions_(std::move(actions)) {
  if (!actions_.startCalibration) actions_.startCalibration = [this] { wizard_.start(); };
}

UserInterface::~UserInterface() = default;

void UserInterface::setFonts(const Fonts& fonts) {
  fonts_ = fonts;
  setWidgetFonts(fonts);
}

const char* UserInterface::tabLabel(int tab) {
  static const char* const labels[TabCount] = {"Main", "Input", "Jump", "Crouch", "Status", "Startup", "Debug"};
  return tab >= 0 && tab < TabCount ? labels[tab] : "";
}

void UserInterface::createTabs() {
  tabs_.push_back(std::make_unique<tabs::GuiTabMain>(settings_, live_, actions_));
  tabs_.push_back(std::make_unique<tabs::GuiTabInput>(settings_, live_, actions_));
  tabs_.push_back(std::make_unique<tabs::GuiTabJump>(settings_, live_, actions_));
  tabs_.push_back(std::make_unique<tabs::GuiTabSquat>(settings_, live_, actions_));
  tabs_.push_back(std::make_unique<tabs::GuiTabStatus>(settings_, actions_));
  tabs_.push_back(std::make_unique<tabs::GuiTabStartup>(settings_, live_, actions_));
  tabs_.push_back(std::make_unique<tabs::GuiTabDebug>(logger_));
}

namespace {

// FNV-1a over the bytes of the values fed in.
class Digest {
 public:
  template <class T>
  Digest& add(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (std::size_t i = 0; i < sizeof value; ++i) hash_ = (hash_ ^ bytes[i]) * 1099511628211ull;
    return *this;
  }
  Digest& add(const std::string& text) {
    for (const char c : text) add(c);
    return add(text.size());
  }
  Digest& add(const core::AtomicVec3& v) { return add(v.get()); }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 1469598103934665603ull;
};

}  // namespace

std::uint64_t UserInterface::shownState() {
  const core::Settings& s = settings_;
  const engine::LiveView& live = live_;
  Digest d;
  d.add(activeTab_)
      .add(s.tracking_active.load())
      .add(s.config.snapshot()->program.debug_mode)
      .add(static_cast<int>(s.config.snapshot()->outputs.mode));
  if (const services::ComponentPrompts* prompts = actions_.componentPrompts) {
    d.add(prompts->driverAsked()).add(prompts->padBusAsked());
    if (prompts->restartNeeded()) d.add(steamVRRunning());
  }
  if (actions_.updatePrompt) {
    const std::optional<services::UpdateFound> update = actions_.updatePrompt->shown();
    d.add(update.has_value());
    if (update) d.add(update->version);
  }
  if (actions_.testOutputActive) d.add(actions_.testOutputActive());
  d.add(wizard_.shownState());
  if (wizard_.active()) return d.value();
  // Plot data counts only where a plot shows it; the pacer caps how often it redraws.
  const core::LiveHistory* history = actions_.history;
  if (history && activeTab_ == Main) d.add(history->lean.written());
  if (history && activeTab_ == Jump && s.config.snapshot()->tracking.hmd_source != core::Source::Disabled)
    d.add(history->jump.written());
  if (history && activeTab_ == Crouch && s.config.snapshot()->tracking.squat_source != core::Source::Disabled)
    d.add(history->crouch.written());
  const bool jumping = actions_.isJumping ? actions_.isJumping() : live.jumping.load();
  switch (activeTab_) {
    case Main:
      d.add(live.stick[0].load()).add(live.stick[1].load()).add(jumping).add(live.jump_rise.load());
      d.add(live.averaged_acceleration).add(live.jump_suppressed.load());
      break;
    case Input: {
      const double engineNow = actions_.engineNow ? actions_.engineNow() : 0;
      d.add(live.stick[0].load())
          .add(live.stick[1].load())
          .add(live.centered_orientation)
          .add(live.raw_orientation.get());
      const double lastSample = actions_.lastSampleTime ? actions_.lastSampleTime() : 0;
      d.add(engineNow - lastSample < 2.0);
      if (actions_.solarxr.statusText) d.add(actions_.solarxr.statusText());
      if (actions_.solarxr.trackerNames)
        for (const std::string& name : actions_.solarxr.trackerNames()) d.add(name);
      if (actions_.hasSession) d.add(actions_.hasSession());
      break;
    }
    case Jump:
      d.add(jumping).add(live.jump_tracker_orientation).add(live.averaged_acceleration).add(live.compensation.load());
      d.add(live.jump_rise.load()).add(live.jump_suppressed.load());
      if (actions_.headDevices)
        for (const HeadDevice& device : actions_.headDevices()) d.add(device.id).add(device.name);
      break;
    case Crouch:
      d.add(live.head_height.load()).add(live.crouching.load());
      break;
    case Status:  // its lists refresh once a second while shown, its rates as soon as they change
      d.add(static_cast<long long>(now() / tabs::GuiTabStatus::kRefreshInterval));
      if (!tabs_.empty())
        d.add(static_cast<const tabs::GuiTabStatus&>(*tabs_[Status]).roadPanel().ratesShown(settings_, actions_));
      break;
    case Startup:
      d.add(live.tap_value.load());
      break;
    case Debug:
      d.add(logger_.changes());
      break;
    default:
      break;
  }
  return d.value();
}

bool UserInterface::contentChanged() { return shownState() != drawnState_; }

void UserInterface::drawFrame() {
  if (tabs_.empty()) createTabs();
  drawnState_ = shownState();
  // The Debug tab exists only while debug mode is on.
  if (activeTab_ == Debug && !settings_.config.snapshot()->program.debug_mode) activeTab_ = Main;

  const ImGuiIO& io = ImGui::GetIO();
  pushFontOrDefault(fonts_.body);
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(io.DisplaySize);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0);
  const ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                 ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                                 ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings |
                                 ImGuiWindowFlags_NoBringToFrontOnFocus;
  ImGui::Begin("StrivoVR", nullptr, flags);
  ImGui::PopStyleVar(3);
  const float width = ImGui::GetWindowWidth();

  drawHeader(width);

  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::PushStyleColor(ImGuiCol_ChildBg, ImVec4(0, 0, 0, 0));
  const float contentHeight = ImGui::GetContentRegionAvail().y - kFooterHeight;
  ImGui::BeginChild("ScrollableContent", ImVec2(0, contentHeight > 1 ? contentHeight : 1), false);
  ImGui::PopStyleColor();
  ImGui::PopStyleVar();
  drawPrompts();
  if (activeTab_ == Debug && !settings_.config.snapshot()->program.debug_mode) activeTab_ = Main;
  // The wizard takes the content area while it runs.
  if (wizard_.active())
    wizard_.render();
  else
    tabs_[activeTab_]->render();
  ImGui::EndChild();

  drawFooter(width);
  // The footer's check box may have switched debug mode off this frame.
  if (activeTab_ == Debug && !settings_.config.snapshot()->program.debug_mode) activeTab_ = Main;
  ImGui::End();
  ImGui::PopFont();
}

void UserInterface::drawHeader(float width) {
  beginBar("HeaderArea", ImVec2(width, kHeaderHeight), ImVec2(20, 10));
  ImGui::SetCursorPos(ImVec2(20, 8));
  if (logo_) {
    ImGui::Image(logo_, ImVec2(32, 32));
    ImGui::SameLine(0, 15);
  }
  pushFontOrDefault(fonts_.title);
  ImGui::TextUnformatted("Strivo");
  ImGui::SameLine(0, 5);
  ImGui::TextColored(rgb(palette::kAccent), "VR");
  ImGui::PopFont();

  ImGui::SetCursorPos(ImVec2(240, 12));
  const int tabCount = settings_.config.snapshot()->program.debug_mode ? TabCount : Debug;
  for (int tab = 0; tab < tabCount; ++tab) tabButton(tabLabel(tab), tab, activeTab_);

  ImGui::SetCursorPos(ImVec2(width - 125, 12));
  const bool active = settings_.tracking_active.load();
  const ImVec4 face = rgb(active ? palette::kBad : palette::kGood);
  ImGui::PushStyleColor(ImGuiCol_Button, face);
  ImGui::PushStyleColor(ImGuiCol_ButtonHovered, face);
  ImGui::PushStyleColor(ImGuiCol_Text, rgb(palette::kDarkText));
  if (ImGui::Button(active ? "STOP" : "START", ImVec2(100, 32))) {
    settings_.tracking_active = !active;
    if (active) callIfSet(actions_.resetOutputs);
  }
  noteItem("START/STOP");
  ImGui::PopStyleColor(3);
  endBar();
}

void UserInterface::drawPrompts() {
  if (services::ComponentPrompts* prompts = actions_.componentPrompts) {
    if (prompts->driverAsked()) {
      const int choice = drawPrompt({"DriverPrompt", "( ! )", "SteamVR Driver Required",
                                     "Register the driver to enable direct SteamVR integration.", "INSTALL", "SKIP"},
                                    fonts_.heading);
      if (choice == 1) callIfSet(actions_.installComponent, std::string("SteamVR"));
      if (choice != 0) prompts->dismissDriver();
    }
    if (settings_.config.snapshot()->outputs.mode == core::OutputMode::Pad && prompts->padBusAsked()) {
      const int choice =
          drawPrompt({"ViGEmDriverPrompt", "( ! )", "ViGEmBus Driver Required",
                      "The ViGEmBus driver is required for Xbox 360 controller emulation.", "INSTALL", "SKIP"},
                     fonts_.heading);
      if (choice == 1) callIfSet(actions_.installComponent, std::string("ViGEmBus"));
      if (choice != 0) prompts->dismissPadBus();
    }
    if (prompts->restartNeeded() && steamVRRunning()) {
      const int choice = drawPrompt({"RestartPrompt", "( # )", "SteamVR Restart Required",
                                     "Restart SteamVR for driver changes to take effect.", "RESTART NOW", "LATER"},
                                    fonts_.heading);
      if (choice == 1) callIfSet(actions_.restartSteamVR);
      if (choice == 2) prompts->dismissRestart();
    }
  }
  const std::optional<services::UpdateFound> update =
      actions_.updatePrompt ? actions_.updatePrompt->shown() : std::nullopt;
  if (update) {
    char title[160];
    std::snprintf(title, sizeof title, "New Update Available: v%s", update->version.c_str());
    const int choice = drawPrompt(
        {"UpdatePrompt", "( ^ )", title, "A newer version of StrivoVR is available for download.", "DOWNLOAD", "SKIP"},
        fonts_.heading);
    if (choice == 1) openDownloadUrl(update->downloadUrl);
    if (choice == 2) actions_.updatePrompt->dismiss();
  }
}

double UserInterface::now() const {
  if (actions_.now) return actions_.now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

bool UserInterface::steamVRRunning() {
  if (!actions_.isSteamVRRunning) return false;
  const double t = now();
  if (!steamVRChecked_ || t - steamVRCheckedAt_ >= 2.0) {
    steamVRRunning_ = actions_.isSteamVRRunning();
    steamVRCheckedAt_ = t;
    steamVRChecked_ = true;
  }
  return steamVRRunning_;
}

void UserInterface::openDownloadUrl(const std::string& url) {
  logger_.info("[Update] Attempting to open URL: " + url);
  // The address comes from the network: hand the desktop web addresses only, never
  // a path or command it would run.
  if (!platform::isWebAddress(url)) {
    logger_.error("[Update] Refusing to open an address that is not a web address: " + url);
    return;
  }
  if (!actions_.openUrl) return;
  const long result = actions_.openUrl(url);
  if (result <= 32) logger_.error("[Update] ShellExecuteA failed with code: " + std::to_string(result));
}

void UserInterface::drawFooter(float width) {
  beginBar("FooterArea", ImVec2(width, kFooterHeight), ImVec2(30, 0));
  ImGui::SetCursorPosY(11);
  ImGui::PushStyleColor(ImGuiCol_CheckMark, rgb(palette::kAccent));
  bool debug = settings_.config.snapshot()->program.debug_mode;
  if (ImGui::Checkbox("DEBUG MODE", &debug))
    settings_.config.edit([debug](core::Config& config) { config.program.debug_mode = debug; });
  noteItem("DEBUG MODE");
  ImGui::PopStyleColor();
  ImGui::SetCursorPos(ImVec2(width - 222, 7));
  if (raisedButton("SAVE SETTINGS", ImVec2(192, 48))) callIfSet(actions_.saveSettings);
  endBar();
}

}  // namespace gui

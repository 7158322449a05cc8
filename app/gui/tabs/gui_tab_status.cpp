#include "app/gui/tabs/gui_tab_status.h"

#include <imgui.h>

#include <chrono>
#include <string>

#include "app/gui/palette.h"
#include "app/gui/tabs/tab_controls.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using palette::rgb;

// A round status light at the cursor, then the cursor 25 px past it.
void statusDot(bool good) {
  const ImVec2 at = ImGui::GetCursorScreenPos();
  ImGui::GetWindowDrawList()->AddCircleFilled(ImVec2(at.x + 10, at.y + 10), 8,
                                              palette::u32(good ? palette::kGood : palette::kBad), 16);
  ImGui::Dummy(ImVec2(20, 20));
  ImGui::SameLine(0, 25);
}

void introduce(const char* title, const char* line) {
  ImGui::SetCursorPosX(30);
  sectionTitle(title);
  ImGui::SetCursorPosX(30);
  ImGui::TextColored(rgb(palette::kWhite), "%s", line);
  ImGui::Spacing();
  ImGui::Spacing();
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

GuiTabStatus::GuiTabStatus(core::Settings& settings, const GuiActions& actions)
    : settings_(settings), actions_(actions) {}

double GuiTabStatus::now() const {
  if (actions_.now) return actions_.now();
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void GuiTabStatus::refreshIfDue() {
  const double t = now();
  if (refreshed_ && t - refreshedAt_ < kRefreshInterval) return;
  callIfSet(actions_.refreshSystemStatus);
  refreshed_ = true;
  refreshedAt_ = t;
}

void GuiTabStatus::render() {
  refreshIfDue();
  ImGui::SetCursorPos(ImVec2(30, ImGui::GetCursorPosY() + 20));
  ImGui::PushStyleVar(ImGuiStyleVar_ItemSpacing, ImVec2(8, 4));
  if (beginCard("SystemDashboard", ImVec2(ImGui::GetContentRegionAvail().x - 30, 0), true, true)) {
    road_.render(settings_, actions_);
    introduce("NETWORK STATUS & PORTS", "Monitor active tracking ports and fix firewall blocks.");
    renderPorts();
    ImGui::SetCursorPosX(30);
    ImGui::TextColored(rgb(palette::kWhite), "%s",
                       "FIX FIREWALL allows the port and StrivoVR on private networks only, and replaces only the "
                       "StrivoVR_* rules it made.");
    renderListening();
    ImGui::Spacing();
    introduce("EXTERNAL COMPONENTS", "Verify external SteamVR driver, OpenXR API Layer, and Xbox 360 emulation hooks.");
    renderComponents();
  }
  endCard();
  ImGui::PopStyleVar();
}

void GuiTabStatus::renderPorts() {
  const std::vector<PortStatus> ports = actions_.ports ? actions_.ports() : std::vector<PortStatus>{};
  for (const PortStatus& entry : ports) {
    ImGui::PushID(entry.port);
    statusDot(!entry.inUse);
    ImGui::BeginGroup();
    ImGui::Text("%s (Port %d)", entry.name.c_str(), entry.port);
    ImGui::TextColored(rgb(palette::kWhite), "Protocol: %s", entry.protocol.c_str());
    ImGui::EndGroup();
    ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - 180);
    if (raisedButton("FIX FIREWALL", ImVec2(160, 30))) callIfSet(actions_.repairFirewall, entry.port, entry.protocol);
    noteItem("FIX FIREWALL/" + std::to_string(entry.port));
    ImGui::Dummy(ImVec2(0, 2));
    ImGui::Separator();
    ImGui::PopID();
  }
}

// The bridge and OSC ports hear this computer only unless the user opens them.
void GuiTabStatus::renderListening() {
  core::Config config = *settings_.config.snapshot();
  struct Row {
    const char* label;
    bool& setting;
    const char* allows;
  } rows[] = {
      {"Open the bridge port 55666 to the network", config.outputs.bridge_listen_all,
       "Other computers on your network can then press the virtual pad's buttons (Guide too) and move its sticks."},
      {"Open the SlimeVR OSC port to the network", config.tracking.osc_listen_all,
       "Other computers on your network can then send tracker data and toggle tracking."},
  };
  for (const Row& row : rows) {
    ImGui::SetCursorPosX(30);
    if (settingCheckbox(row.label, row.setting)) {
      const bool bridge = config.outputs.bridge_listen_all, osc = config.tracking.osc_listen_all;
      settings_.config.edit([bridge, osc](core::Config& c) {
        c.outputs.bridge_listen_all = bridge;
        c.tracking.osc_listen_all = osc;
      });
      callIfSet(actions_.reopenListeners);
    }
    ImGui::SetCursorPosX(30);
    ImGui::TextColored(rgb(palette::kWhite), "%s",
                       row.setting ? row.allows : "Off: only this computer can send to it.");
  }
}

void GuiTabStatus::renderComponents() {
  const std::vector<ComponentStatus> components =
      actions_.components ? actions_.components() : std::vector<ComponentStatus>{};
  const bool openxr = settings_.config.snapshot()->program.enable_experimental_openxr;
  for (const ComponentStatus& entry : components) {
    const bool experimental = contains(entry.name, "OpenXR");
    if (experimental && !openxr) continue;
    ImGui::PushID(entry.name.c_str());
    statusDot(entry.installed);
    ImGui::BeginGroup();
    const std::string name = experimental ? entry.name + " (Experimental)" : entry.name;
    ImGui::TextUnformatted(name.c_str());
    noteItem("Component/" + name);
    if (entry.installed)
      ImGui::TextColored(rgb(palette::kGood), "Status: REGISTERED");
    else
      ImGui::TextColored(rgb(palette::kBad), "Status: MISSING / NOT FOUND");
    ImGui::EndGroup();
    ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - 180);
    const ImVec2 size(160, 30);
    if (!entry.installed) {
      if (raisedButton("REGISTER/FIX", size)) callIfSet(actions_.installComponent, entry.name);
      noteItem("REGISTER/FIX/" + entry.name);
    } else if (entry.removable) {
      if (raisedButton("UNINSTALL", size)) callIfSet(actions_.uninstallComponent, entry.name);
      noteItem("UNINSTALL/" + entry.name);
    } else {
      ImGui::BeginDisabled();
      ImGui::Button("REGISTERED", size);
      ImGui::EndDisabled();
      noteItem("REGISTERED/" + entry.name);
    }
    ImGui::Dummy(ImVec2(0, 2));
    ImGui::Separator();
    ImGui::PopID();
  }
}

}  // namespace gui::tabs

#include "app/gui/tabs/gui_tab_input.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "app/gui/palette.h"
#include "app/gui/tabs/main_visuals.h"
#include "app/gui/tabs/tab_controls.h"
#include "app/gui/widgets.h"

namespace gui::tabs {
namespace {

using palette::rgb;

constexpr float kFieldX = 180;
// A sample younger than this (engine seconds) counts as a live connection.
constexpr double kConnectedAge = 2.0;

void fieldRow(const char* label) {
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted(label);
  ImGui::SameLine(kFieldX);
  ImGui::SetNextItemWidth(ImGui::GetContentRegionAvail().x - 10);
}

bool isSlime(core::Source source) { return source == core::Source::SlimeOsc || source == core::Source::SlimeSolarXr; }

}  // namespace

const std::vector<core::Source>& GuiTabInput::sources() {
  using core::Source;
  static const std::vector<Source> list{Source::Phone, Source::SlimeOsc, Source::SlimeSolarXr, Source::SteamVrTracker};
  return list;
}
const std::vector<core::Mounting>& GuiTabInput::alignments() {
  using core::Mounting;
  static const std::vector<Mounting> list{Mounting::Portrait, Mounting::LandscapeLeft, Mounting::LandscapeRight,
                                          Mounting::Raw};
  return list;
}
const std::vector<core::Facing>& GuiTabInput::facings() {
  using core::Facing;
  static const std::vector<Facing> list{Facing::Outward, Facing::Inward, Facing::Raw};
  return list;
}
const std::vector<std::string>& GuiTabInput::axes() {
  static const std::vector<std::string> list{"X", "Y", "Z", "-X", "-Y", "-Z", "None"};
  return list;
}

GuiTabInput::GuiTabInput(core::Settings& settings, const engine::LiveView& live, const GuiActions& actions)
    : settings_(settings), live_(live), actions_(actions) {}

void GuiTabInput::render() {
  // The controls edit copies of the tracking and locomotion sections, published
  // after the frame's controls; the tracking service follows its notice.
  const core::ConfigStore::Snapshot config = settings_.config.snapshot();
  tracking_ = config->tracking;
  locomotion_ = config->locomotion;
  renderColumns();
  if (!(tracking_ == config->tracking)) settings_.config.edit([this](core::Config& c) { c.tracking = tracking_; });
  if (!(locomotion_ == config->locomotion))
    settings_.config.edit([this](core::Config& c) { c.locomotion = locomotion_; });
}

void GuiTabInput::renderColumns() {
  const float available = ImGui::GetContentRegionAvail().x;
  ImGui::Columns(2, "InputRedesignCols", false);
  ImGui::SetColumnWidth(0, available * 0.60f);
  ImGui::SetColumnWidth(1, available * 0.40f);
  renderLeft();
  ImGui::NextColumn();
  renderRight();
  ImGui::Columns(1);
}

void GuiTabInput::renderLeft() {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("InputLeft", ImVec2(0, height), true, true)) {
    sectionTitle("Connection");
    int selected = indexOf(sources(), tracking_.tracker_source);
    static const std::vector<std::string> labels = choiceLabels(sources());
    if (deviceCombo("Loco Source", &selected, labels)) tracking_.tracker_source = sources()[selected];
    // Read after the choice, so the rows below edit the new source's settings this frame.
    const core::Source source = tracking_.tracker_source;
    const bool slime = isSlime(source);
    ImGui::Separator();
    sectionTitle("Locomotion Axis Mapping");
    renderAxisRows(slime);
    ImGui::Separator();
    sectionTitle("Tracker Alignment");
    renderAlignment(slime);
    if (source == core::Source::SlimeOsc) renderOscBlock();
    if (source == core::Source::SlimeSolarXr) renderSolarXRBlock();
    if (source == core::Source::Phone) renderPhoneBlock();
    if (source == core::Source::SteamVrTracker) renderSteamVRBlock();
    renderConnection();
  }
  endCard();
}

void GuiTabInput::renderAxisRows(bool slime) {
  struct Row {
    const char* label;
    const char* id;
    int& setting;
    int angle;
  };
  core::Config::Locomotion& l = locomotion_;
  const Row rows[] = {
      {"Roll ->", "##MapRoll", slime ? l.slime_map_roll : l.phone_map_roll, 0},
      {"Pitch ->", "##MapPitch", slime ? l.slime_map_pitch : l.phone_map_pitch, 1},
      {"Yaw ->", "##MapYaw", slime ? l.slime_map_yaw : l.phone_map_yaw, 2},
  };
  for (const Row& row : rows) {
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(row.label);
    ImGui::SameLine(kFieldX);
    deviceCombo(row.id, &row.setting, axes(), 100);
    ImGui::SameLine();
    const float width = std::max(10.0f, ImGui::GetContentRegionAvail().x - 10);
    liveBar(ImVec2(width, 18), barFraction(live_.centered_orientation[row.angle], 90));
  }
}

void GuiTabInput::renderAlignment(bool slime) {
  core::Mounting& alignment = slime ? locomotion_.slime_orientation : locomotion_.orientation;
  core::Facing& facing = slime ? locomotion_.slime_facing : locomotion_.screen_facing;
  fieldRow("Alignment:");
  int selected = std::max(0, indexOf(alignments(), alignment));
  static const std::vector<std::string> alignmentLabels = choiceLabels(alignments());
  if (deviceCombo("##Alignment", &selected, alignmentLabels, ImGui::GetContentRegionAvail().x - 10))
    alignment = alignments()[selected];
  fieldRow(slime ? "Slime Facing:" : "Screen Facing:");
  selected = std::max(0, indexOf(facings(), facing));
  static const std::vector<std::string> facingLabels = choiceLabels(facings());
  if (deviceCombo("##Facing", &selected, facingLabels, ImGui::GetContentRegionAvail().x - 10))
    facing = facings()[selected];
}

void GuiTabInput::renderOscBlock() {
  ImGui::Separator();
  sectionTitle("SlimeVR Settings");
  fieldRow("Select Tracker ID");
  settingInt("##SlimeTrackerId", tracking_.slime_tracker_id, 0, 255);
  fieldRow("Listening Port");
  settingInt("##OscPort", tracking_.osc_input_port, 1, 65535);
}

void GuiTabInput::renderSolarXRBlock() {
  ImGui::Separator();
  sectionTitle("SolarXR (WebSocket) Settings");
  ImGui::TextUnformatted("Server Address: 127.0.0.1");
  fieldRow("SolarXR Port:");
  settingInt("##SolarXRPort", tracking_.solarxr_port, 1, 65535);
  hint("SlimeVR default is 21110.");

  std::vector<std::string> names =
      actions_.solarxr.trackerNames ? actions_.solarxr.trackerNames() : std::vector<std::string>{};
  const std::string saved = tracking_.slime_tracker_name;
  if (!saved.empty() && saved != "None" && indexIn(names, saved) < 0) names.push_back(saved);
  fieldRow("Select Tracker:");
  int selected = std::max(0, indexIn(names, saved));
  if (deviceCombo("##SlimeTracker", &selected, names, ImGui::GetContentRegionAvail().x - 10))
    tracking_.slime_tracker_name = names[selected];
  ImGui::Separator();
  sectionTitle("Status");
  ImGui::TextUnformatted("Client Status:");
  ImGui::SameLine();
  const std::string status = actions_.solarxr.statusText ? actions_.solarxr.statusText() : std::string();
  ImGui::TextColored(rgb(palette::kInfo), "%s", status.c_str());
}

void GuiTabInput::renderPhoneBlock() {
  ImGui::Separator();
  sectionTitle("Phone Connection");
  const std::string address = actions_.localAddress ? actions_.localAddress() : std::string("127.0.0.1");
  // What the phone app needs, in the large title font so it can be read from a
  // headset's desktop view.
  const Fonts& fonts = widgetFonts();
  ImGui::PushFont(fonts.title ? fonts.title : ImGui::GetIO().Fonts->Fonts[0]);
  ImGui::SetWindowFontScale(fonts.title ? 1.4f : 2.5f);
  ImGui::TextColored(rgb(palette::kInfo), "%s : %d", address.c_str(), tracking_.owotrack_input_port);
  noteItem("PhoneAddress");
  ImGui::SetWindowFontScale(1.0f);
  ImGui::PopFont();
  fieldRow("Local IP:");
  ImGui::TextColored(rgb(palette::kInfo), "%s", address.c_str());
  fieldRow("Phone Port:");
  settingInt("##PhonePort", tracking_.owotrack_input_port, 1, 65535);
  hint("Enter these in your phone tracking app.");
  // Only this phone drives walking; another takes over after 5 s of its silence.
  fieldRow("Following:");
  const std::string phone = actions_.followedPhone ? actions_.followedPhone() : std::string();
  ImGui::TextColored(rgb(phone.empty() ? palette::kWhite : palette::kInfo), "%s",
                     phone.empty() ? "No phone yet (waiting for its handshake)" : phone.c_str());
  noteItem("FollowedPhone");
}

void GuiTabInput::refreshControllers() {
  controllers_ = actions_.listControllers ? actions_.listControllers() : std::vector<HookController>{};
}

void GuiTabInput::renderSteamVRBlock() {
  ImGui::Separator();
  sectionTitle("SteamVR Tracker Settings");
  if (controllers_.empty()) {
    refreshControllers();
  } else {
    const bool refresh = ImGui::Button("Refresh Devices", ImVec2(ImGui::GetContentRegionAvail().x, 0));
    noteItem("Refresh Devices");
    if (refresh) refreshControllers();
  }
  std::vector<std::string> names{"None"};
  int selected = -1;
  const int id = tracking_.steamvr_tracker_id;
  if (id == -1) selected = 0;
  for (const HookController& device : controllers_) {
    if (device.index == id) selected = static_cast<int>(names.size());
    names.push_back(device.name);
  }
  fieldRow("Select Device:");
  if (deviceCombo("##SteamVRTrackerSelect", &selected, names, ImGui::GetContentRegionAvail().x - 10)) {
    if (selected == 0) {
      tracking_.steamvr_tracker_id = -1;
      tracking_.steamvr_tracker_name = "None";
    } else {
      const HookController& device = controllers_[selected - 1];
      tracking_.steamvr_tracker_id = device.index;
      tracking_.steamvr_tracker_name = device.name;
    }
  }
  ImGui::TextUnformatted("Status:");
  ImGui::SameLine();
  if (actions_.hasSession && actions_.hasSession())
    ImGui::TextColored(rgb(palette::kGood), "OpenVR Active");
  else
    ImGui::TextColored(rgb(palette::kBad), "Waiting for SteamVR...");
}

void GuiTabInput::renderConnection() {
  ImGui::Separator();
  sectionTitle("Connection");
  const double now = actions_.engineNow ? actions_.engineNow() : 0;
  const double last = actions_.lastSampleTime ? actions_.lastSampleTime() : 0;
  const bool connected = last > 0 && now - last < kConnectedAge;
  if (connected)
    ImGui::TextColored(rgb(palette::kGood), "CONNECTED");
  else
    ImGui::TextColored(rgb(palette::kBad), "DISCONNECTED");
  noteItem(connected ? "CONNECTED" : "DISCONNECTED");
}

void GuiTabInput::renderRight() {
  const float height = std::max(ImGui::GetContentRegionAvail().y, 560.0f);
  if (beginCard("InputRight", ImVec2(0, height), true, true)) {
    sectionTitle("Output Visual (Live)");
    drawStickVisualizer(settings_, live_);
    if (raisedButton("CALIBRATE", ImVec2(ImGui::GetContentRegionAvail().x, 48))) callIfSet(actions_.startCalibration);
    const bool debug = settings_.config.snapshot()->program.debug_mode;
    if (tracking_.tracker_source != core::Source::SlimeOsc) {
      ImGui::Separator();
      sectionTitle("Quick Controls");
      const float width = ImGui::GetContentRegionAvail().x;
      if (ImGui::Button("Reset Center", ImVec2(width, 48))) callIfSet(actions_.setCenter);
      noteItem("Reset Center");
      if (debug) {
        if (ImGui::Button("RESET OFFSET", ImVec2(width, 48))) callIfSet(actions_.clearCenter);
        noteItem("RESET OFFSET");
        settingCheckbox("Fix Angle Jumps (Hack)", locomotion_.fix_angle_discontinuity);
      }
    }
    auto angleRows = [](const char* const(&labels)[3], const std::array<float, 3>& angles) {
      for (int i = 0; i < 3; ++i) {
        ImGui::TextUnformatted(labels[i]);
        ImGui::SameLine(150);
        ImGui::Text("%.1f deg", angles[i]);
      }
    };
    sectionTitle("Live Tracking Data");
    angleRows({"Roll:", "Pitch:", "Yaw:"}, live_.centered_orientation.get());
    if (debug) {
      ImGui::Separator();
      sectionTitle("Raw Tracking Data");
      noteItem("Raw Tracking Data");
      angleRows({"Roll (Raw):", "Pitch (Raw):", "Yaw (Raw):"}, live_.raw_orientation.get());
    }
    ImGui::Separator();
    sectionTitle("Output Monitor");
    const char* const labels[2] = {"Stick X:", "Stick Y:"};
    for (int i = 0; i < 2; ++i) {
      ImGui::TextUnformatted(labels[i]);
      ImGui::SameLine(100);
      const float value = live_.stick[i].load();
      ImGui::ProgressBar(std::clamp((value + 1) / 2, 0.0f, 1.0f), ImVec2(-1, 0), "");
    }
  }
  endCard();
}

}  // namespace gui::tabs

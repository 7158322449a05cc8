// Scenario tests of the Input, Jump, Crouch, Status, Startup and Debug tabs,
// driven headless with the mouse.
#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "app/gui/headless_imgui.h"
#include "app/gui/tabs/gui_tab_debug.h"
#include "app/gui/tabs/gui_tab_input.h"
#include "app/gui/tabs/gui_tab_jump.h"
#include "app/gui/tabs/gui_tab_squat.h"
#include "app/gui/tabs/gui_tab_startup.h"
#include "app/gui/tabs/gui_tab_status.h"
#include "app/gui/tabs/road_panel.h"
#include "app/tracking/fake_receivers.h"
#include "app/tracking/tracking_service.h"

namespace {

using guitest::HeadlessImGui;

struct Counters {
  int saves = 0, clears = 0;
  gui::GuiActions actions;
  core::Settings& settings;
  int trackingNotices = 0;  // what the tracking service would hear
  core::ConfigStore::Subscription subscription;
  explicit Counters(core::Settings& s)
      : settings(s),
        subscription(s.config.subscribe(core::kTrackingSection, [this](const core::Config&) { ++trackingNotices; })) {
    actions.saveSettings = [this] { return ++saves, true; };
    actions.clearCenter = [this] { ++clears; };
  }
  // The tracking notices so far; each change counted on its own when read after it.
  int trackingChanges() { return settings.config.flush(), trackingNotices; }
};

bool choose(HeadlessImGui& ui, const std::string& combo, const std::string& item, const std::function<void()>& draw) {
  return ui.click(combo, draw) && ui.click(combo + "/" + item, draw);
}

TEST(InputTab, SourceSwitchEditsTheOtherSettingsAtOnceAndEachBlockDrivesItsService) {
  HeadlessImGui ui(1200, 1600);
  core::Settings s;
  s.config.edit([](core::Config& c) { c.program.debug_mode = false; });
  Counters c(s);
  double engineNow = 10, lastSample = 0;
  c.actions.engineNow = [&] { return engineNow; };
  c.actions.lastSampleTime = [&] { return lastSample; };
  c.actions.localAddress = [] { return std::string("192.168.1.20"); };
  c.actions.solarxr.trackerNames = [] { return std::vector<std::string>{"Hip"}; };
  c.actions.listControllers = [] { return std::vector<gui::HookController>{{"Tracker A", "S-1", 3}}; };
  engine::LiveView live;
  gui::tabs::GuiTabInput tab(s, live, c.actions);
  auto draw = [&] { tab.render(); };

  ui.frame(draw);
  EXPECT_TRUE(ui.has("PhoneAddress") && ui.has("##PhonePort"));
  EXPECT_TRUE(ui.has("Reset Center"));
  EXPECT_FALSE(ui.has("RESET OFFSET") || ui.has("Fix Angle Jumps (Hack)") || ui.has("Raw Tracking Data"));
  ASSERT_TRUE(choose(ui, "##MapRoll", "Z", draw));
  EXPECT_EQ(s.config.snapshot()->locomotion.phone_map_roll, 2);
  EXPECT_EQ(c.saves, 0) << "axis choices stay in memory";

  ASSERT_TRUE(choose(ui, "Loco Source", "SlimeVR (OSC)", draw));
  EXPECT_EQ(c.trackingChanges(), 1);
  EXPECT_EQ(c.saves, 0) << "the saver that listens writes it";
  // The frame of the choice already drew the SlimeVR block and no Quick Controls.
  EXPECT_TRUE(ui.has("##OscPort"));
  EXPECT_FALSE(ui.has("##PhonePort") || ui.has("Reset Center"));
  ASSERT_TRUE(choose(ui, "##MapRoll", "-X", draw));
  EXPECT_EQ(s.config.snapshot()->locomotion.slime_map_roll, 3);
  EXPECT_EQ(s.config.snapshot()->locomotion.phone_map_roll, 2);
  ASSERT_TRUE(choose(ui, "##Alignment", "None (Raw)", draw));
  EXPECT_EQ(s.config.snapshot()->locomotion.slime_orientation, core::Mounting::Raw);
  EXPECT_EQ(s.config.snapshot()->locomotion.orientation, core::Mounting::Portrait);

  // A saved SolarXR tracker that is not reported stays selectable.
  s.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeSolarXr; });
  s.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "Chest"; });
  ui.frame(draw);
  EXPECT_TRUE(ui.has("##SlimeTracker"));
  ASSERT_TRUE(choose(ui, "##SlimeTracker", "Hip", draw));
  EXPECT_EQ(s.config.snapshot()->tracking.slime_tracker_name, "Hip");
  s.config.edit([&](core::Config& c) { c.tracking.slime_tracker_name = "Chest"; });
  ASSERT_TRUE(choose(ui, "##SlimeTracker", "Chest", draw));

  s.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SteamVrTracker; });
  s.config.edit([&](core::Config& c) { c.tracking.steamvr_tracker_id = 7; });
  const int changes = c.trackingChanges();
  ASSERT_TRUE(choose(ui, "##SteamVRTrackerSelect", "Tracker A", draw));
  EXPECT_EQ(s.config.snapshot()->tracking.steamvr_tracker_id, 3);
  EXPECT_EQ(s.config.snapshot()->tracking.steamvr_tracker_name, "Tracker A");
  EXPECT_EQ(c.trackingChanges(), changes + 1);
  ASSERT_TRUE(choose(ui, "##SteamVRTrackerSelect", "None", draw));
  EXPECT_EQ(s.config.snapshot()->tracking.steamvr_tracker_id, -1);
  EXPECT_EQ(s.config.snapshot()->tracking.steamvr_tracker_name, "None");
  EXPECT_EQ(c.trackingChanges(), changes + 2);

  s.config.edit([](core::Config& c) { c.program.debug_mode = true; });
  ASSERT_TRUE(ui.click("RESET OFFSET", draw));
  EXPECT_EQ(c.clears, 1);
  ASSERT_TRUE(ui.click("Fix Angle Jumps (Hack)", draw));
  EXPECT_TRUE(s.config.snapshot()->locomotion.fix_angle_discontinuity);
  EXPECT_EQ(c.saves, 0) << "published; the saver that listens writes it";
  EXPECT_TRUE(ui.has("Raw Tracking Data"));

  // Connected while the last sample is younger than 2 s.
  for (const auto& [age, connected] : {std::pair{1.99, true}, std::pair{2.01, false}}) {
    lastSample = engineNow - age;
    ui.frame(draw);
    EXPECT_EQ(ui.has("CONNECTED"), connected) << age;
    EXPECT_EQ(ui.has("DISCONNECTED"), !connected) << age;
  }
}

TEST(JumpTab, SourcePanelsBindingAndALongKey) {
  HeadlessImGui ui(1200, 1600);
  core::Settings s;
  s.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  Counters c(s);
  int deviceRefreshes = 0;
  c.actions.headDevices = [] { return std::vector<gui::HeadDevice>{{1, "Headset"}}; };
  c.actions.refreshHeadDevices = [&] { ++deviceRefreshes; };
  engine::LiveView live;
  gui::tabs::GuiTabJump tab(s, live, c.actions);
  auto draw = [&] { tab.render(); };

  ui.frame(draw);
  EXPECT_FALSE(ui.has("Hold Time (s)") || ui.has("Threshold (cm)") || ui.has("##Output Mode"));

  ASSERT_TRUE(choose(ui, "HMD Source", "Phone (Acceleration)", draw));
  EXPECT_EQ(s.config.snapshot()->tracking.hmd_source, core::Source::PhoneAcceleration);
  EXPECT_EQ(c.trackingChanges(), 1);
  EXPECT_TRUE(ui.has("Accel Axis") && ui.has("Hold Time (s)"));
  EXPECT_FALSE(ui.has("Threshold (cm)"));

  ASSERT_TRUE(choose(ui, "HMD Source", "SteamVR (OpenVR)", draw));
  EXPECT_TRUE(ui.has("Threshold (cm)") && ui.has("Comp Axis"));
  EXPECT_EQ(c.trackingChanges(), 2);
  ASSERT_TRUE(choose(ui, "Device ID", "Headset", draw));
  EXPECT_EQ(s.config.snapshot()->tracking.openvr_hmd_id, 1);
  EXPECT_EQ(c.trackingChanges(), 3);
  ASSERT_TRUE(ui.click("Refresh", draw));
  EXPECT_EQ(deviceRefreshes, 1);
  ASSERT_TRUE(choose(ui, "Comp Axis", "Pitch (P)", draw));
  EXPECT_EQ(s.config.snapshot()->jump.jump_comp_axis, core::RotationAxis::Pitch);

  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::VrchatOsc; });
  ui.frame(draw);
  EXPECT_TRUE(ui.has("Fixed: /input/Jump"));
  EXPECT_FALSE(ui.has("##JumpKey"));

  // A key text past the field's 31 characters is shown cut; an edit (End, then
  // Backspace) stores what is shown less one character.
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  ImGuiIO& io = ImGui::GetIO();
  io.KeyMap[ImGuiKey_End] = 35;
  io.KeyMap[ImGuiKey_Backspace] = 8;
  for (const auto& [length, stored] : {std::pair{31, 30}, std::pair{32, 30}, std::pair{40, 30}}) {
    s.config.edit([&](core::Config& c) { c.outputs.jump_key = std::string(length, 'k'); });
    ui.frame(draw);
    ASSERT_TRUE(ui.click("##JumpKey", draw));
    for (int key : {35, 8}) {
      io.KeysDown[key] = true;
      ui.frame(draw);
      io.KeysDown[key] = false;
      ui.frame(draw);
    }
    EXPECT_EQ(s.config.snapshot()->outputs.jump_key, std::string(stored, 'k')) << length;
    io.MousePos = ImVec2(1, 1);  // click outside the field so the next text is read afresh
    io.MouseDown[0] = true;
    ui.frame(draw);
    io.MouseDown[0] = false;
    ui.frame(draw);
  }
}

TEST(JumpTab, OrientationChangeWrapsAndKeepsHalfASecond) {
  gui::tabs::OrientationHistory history;
  history.add(0, {0, 0, 179});
  auto v = history.add(0.4, {0, 0, -179});
  EXPECT_NEAR(v[2], 2.0f / 45, 1e-5) << "179 to -179 is +2 degrees";
  v = history.add(0.5, {90, -90, -179});
  EXPECT_FLOAT_EQ(v[0], 1);
  EXPECT_FLOAT_EQ(v[1], -1);
  // At 0.51 s the sample of time 0 is gone; the oldest is the one of 0.4 s.
  v = history.add(0.51, {std::numeric_limits<float>::quiet_NaN(), 9, -179});
  EXPECT_EQ(v[0], 0) << "non-finite counts as 0";
  EXPECT_NEAR(v[1], 9.0f / 45, 1e-5);
  EXPECT_EQ(v[2], 0);
}

TEST(CrouchTab, SourceThresholdClampHoldAndBinding) {
  HeadlessImGui ui(1200, 1600);
  core::Settings s;
  Counters c(s);
  engine::LiveView live;
  gui::tabs::GuiTabSquat tab(s, live, c.actions);
  auto draw = [&] { tab.render(); };
  ui.frame(draw);
  EXPECT_FALSE(ui.has("Upper Threshold (cm)"));
  ASSERT_TRUE(choose(ui, "Crouch Source", "SteamVR (OpenVR)", draw));
  EXPECT_EQ(c.trackingChanges(), 1);
  EXPECT_EQ(c.saves, 0) << "the saver that listens writes it";
  ASSERT_TRUE(ui.has("Upper Threshold (cm)"));

  // The lower threshold is kept below the upper one.
  s.config.edit([&](core::Config& c) { c.crouch.squat_upper_threshold = 140; });
  for (const auto& [lower, shown] : {std::pair{150.0f, 139.0f}, std::pair{140.0f, 139.0f}, std::pair{139.9f, 139.9f}}) {
    s.config.edit([&](core::Config& c) { c.crouch.squat_lower_threshold = lower; });
    ui.frame(draw);
    EXPECT_FLOAT_EQ(s.config.snapshot()->crouch.squat_lower_threshold, shown) << lower;
  }
  const auto upper = ui.rect("Upper Threshold (cm)");
  ui.drag(upper.centre(), ImVec2(upper.min.x - 50, upper.centre().y), draw);
  ui.release(draw);
  EXPECT_FLOAT_EQ(s.config.snapshot()->crouch.squat_upper_threshold, 50);
  EXPECT_FLOAT_EQ(s.config.snapshot()->crouch.squat_lower_threshold, 49);

  ASSERT_TRUE(ui.click("Hold mode", draw));
  EXPECT_TRUE(s.config.snapshot()->crouch.squat_is_hold);
  s.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Pad; });
  ASSERT_TRUE(choose(ui, "##vJoy Button", "X", draw));
  EXPECT_EQ(s.config.snapshot()->outputs.squat_button, "X");
  ASSERT_TRUE(choose(ui, "##Output Mode", "SteamVR Hook", draw));
  EXPECT_EQ(s.config.snapshot()->outputs.squat_output_mode, core::ActionTarget::SteamVrHook);
  EXPECT_TRUE(ui.has("##Hook Button"));
}

TEST(StatusTab, RefreshesOncePerSecondHidesOpenXRAndRepairs) {
  HeadlessImGui ui;
  core::Settings s;
  double now = 100;
  int refreshes = 0;
  std::vector<std::string> calls;
  gui::GuiActions actions;
  actions.now = [&] { return now; };
  actions.refreshSystemStatus = [&] { ++refreshes; };
  actions.ports = [] { return std::vector<gui::PortStatus>{{"Phone", 6969, "UDP", true}}; };
  actions.components = [] {
    return std::vector<gui::ComponentStatus>{
        {"Hook (SteamVR)", false, false}, {"ViGEmBus", true, false}, {"OpenXR API Layer", true, true}};
  };
  actions.installComponent = [&](const std::string& name) { calls.push_back("install " + name); };
  actions.uninstallComponent = [&](const std::string& name) { calls.push_back("remove " + name); };
  actions.repairFirewall = [&](int port, const std::string& protocol) {
    calls.push_back("firewall " + std::to_string(port) + " " + protocol);
  };
  actions.saveSettings = [&] { return calls.push_back("save"), true; };
  actions.reopenListeners = [&] { calls.push_back("reopen"); };
  gui::tabs::GuiTabStatus tab(s, actions);
  auto draw = [&] { tab.render(); };

  ui.frame(draw);
  now += 0.99;
  ui.frame(draw);
  EXPECT_EQ(refreshes, 1);
  now += 0.02;
  ui.frame(draw);
  EXPECT_EQ(refreshes, 2);

  EXPECT_FALSE(ui.has("Component/OpenXR API Layer (Experimental)"));
  EXPECT_TRUE(ui.has("Component/ViGEmBus"));
  s.config.edit([](core::Config& c) { c.program.enable_experimental_openxr = true; });
  ui.frame(draw);
  EXPECT_TRUE(ui.has("Component/OpenXR API Layer (Experimental)"));

  ASSERT_TRUE(ui.click("FIX FIREWALL/6969", draw));
  ASSERT_TRUE(ui.click("REGISTER/FIX/Hook (SteamVR)", draw));
  ASSERT_TRUE(ui.click("REGISTERED/ViGEmBus", draw));
  ASSERT_TRUE(ui.click("UNINSTALL/OpenXR API Layer", draw));
  EXPECT_EQ(calls, (std::vector<std::string>{"firewall 6969 UDP", "install Hook (SteamVR)", "remove OpenXR API Layer"}))
      << "the disabled REGISTERED button does nothing";

  // Opening a port to the network is published and the listeners bind again at once.
  calls.clear();
  ASSERT_TRUE(ui.click("Open the bridge port 55666 to the network", draw));
  EXPECT_TRUE(s.config.snapshot()->outputs.bridge_listen_all);
  ASSERT_TRUE(ui.click("Open the SlimeVR OSC port to the network", draw));
  EXPECT_TRUE(s.config.snapshot()->tracking.osc_listen_all);
  EXPECT_EQ(calls, (std::vector<std::string>{"reopen", "reopen"}));
}

// The road panel over counters the services would fill, on a clock the test moves.
struct RoadScenario {
  std::int64_t nowNs = 1'000'000'000'000;
  core::RoadStats stats{[this] { return nowNs; }};
  core::Settings settings;
  gui::GuiActions actions;
  gui::DriverAnswer driver;
  bool registered = true, layer = false;
  std::vector<std::string> opened;
  gui::tabs::GuiTabStatus tab{settings, actions};
  HeadlessImGui ui{1200, 1400};
  RoadScenario() {
    actions.localAddress = [] { return std::string("192.168.1.20"); };
    actions.ports = [] { return std::vector<gui::PortStatus>{{"Phone", 6969, "UDP", false}}; };
    actions.openUrl = [this](const std::string& url) { return opened.push_back(url), 42L; };
    actions.road.stats = &stats;
    actions.road.driverAnswer = [this] { return driver; };
    actions.road.steamVrDriverRegistered = [this] { return registered; };
    actions.road.layerRunning = [this] { return layer; };
  }
  void draw() { tab.render(); }
  // One second of a streaming phone at 60 packets a second, each sent on in `latencyNs`.
  void stream(std::int64_t latencyNs = 1'000'000) {
    const std::int64_t end = nowNs + 1'000'000'000;
    for (int i = 0; i < 60; ++i) {
      stats.trackerPacket(stats.phone, 0xC0A8011Eu, 50123);  // 192.168.1.30
      stats.engineSample();
      nowNs += latencyNs;
      stats.outputSent(0.0f, -0.5f);
      nowNs += 1'000'000'000 / 60 - latencyNs;
    }
    nowNs = end;
    ui.frame([this] { draw(); });
  }
  bool lit(const char* stage, const char* light) const { return ui.has(std::string("Road/") + stage + "/" + light); }
  std::string help(const std::string& stage) const {
    for (const auto& row : tab.roadPanel().rows())
      if (row.stage == stage) return row.help;
    return "(no row)";
  }
};

TEST(RoadPanel, PhoneOnTheHookRoadGreenWhileStreamingAndTheDriverAnswers) {
  RoadScenario r;
  r.driver = {true, 2, 30};
  r.ui.frame([&] { r.draw(); });  // the first look only sets the baseline
  r.stream();
  for (const char* stage : {"Tracker", "Engine", "Output", "SteamVR driver"})
    EXPECT_TRUE(r.lit(stage, "green")) << stage;
  EXPECT_FALSE(r.ui.has("RoadHelp/Tracker") || r.ui.has("RoadHelp/SteamVR driver"));
  const auto& rows = r.tab.roadPanel().rows();
  EXPECT_EQ(rows[0].figures.substr(0, 43), "Phone: 60 packets/s, last 0.0 s ago, from 1");
  EXPECT_NE(rows[0].figures.find("from 192.168.1.30:50123"), std::string::npos);
  EXPECT_NE(rows[1].figures.find("stick 0.00, -0.50"), std::string::npos);
  EXPECT_EQ(rows[3].figures, "answers: 2 controller(s), last override 0.0 s ago");
  // Above the ports.
  EXPECT_LT(r.ui.rect("Road/SteamVR driver/green").max.y, r.ui.rect("FIX FIREWALL/6969").min.y);

  // Latency over the last 10 s: mostly 1 ms, a tail of 10 ms; a slow sample 11 s old no longer counts.
  r.stats.trackerPacket(r.stats.phone);
  r.nowNs += 50'000'000;
  r.stats.outputSent(0, 0);
  r.nowNs += 1'000'000'000;
  for (int second = 0; second < 9; ++second) r.stream(second == 8 ? 10'000'000 : 1'000'000);
  r.nowNs += 1'000'000'000;
  r.ui.frame([&] { r.draw(); });
  EXPECT_EQ(r.tab.roadPanel().lines().back(),
            "Latency (datagram to output, last 10 s): median 1.000 ms, p99 10.000 ms, 540 samples");

  // The driver stops answering: red, with the cause that fits its registration.
  r.driver = {};
  r.stream();
  EXPECT_TRUE(r.lit("SteamVR driver", "red"));
  EXPECT_NE(r.help("SteamVR driver").find("not loaded"), std::string::npos);
  r.registered = false;
  r.stream();
  EXPECT_NE(r.help("SteamVR driver").find("not registered: REGISTER/FIX below"), std::string::npos);
  r.driver = {true, 0, -1};  // loaded, but no controller to drive
  r.stream();
  EXPECT_TRUE(r.lit("SteamVR driver", "amber"));
}

TEST(RoadPanel, ASilentPhoneIsRedWithTheAddressToTypeAndTheFirewall) {
  RoadScenario r;
  r.settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::OpenXrLayer; });
  r.ui.frame([&] { r.draw(); });
  EXPECT_TRUE(r.lit("Tracker", "red"));
  EXPECT_EQ(r.help("Tracker"),
            "Nothing from the phone: put it on this PC's network and type 192.168.1.20 port 6969 in the app; if it "
            "is, the firewall blocks it (FIX FIREWALL below).");
  EXPECT_TRUE(r.lit("OpenXR layer", "red"));
  EXPECT_TRUE(r.lit("Engine", "amber") && r.lit("Output", "amber"));
  // A phone that went quiet: amber under three seconds, red from three on.
  r.stream();
  r.nowNs += 2'900'000'000;
  r.ui.frame([&] { r.draw(); });
  EXPECT_TRUE(r.lit("Tracker", "amber"));
  r.nowNs += 100'000'000;
  r.ui.frame([&] { r.draw(); });
  EXPECT_TRUE(r.lit("Tracker", "red"));
  // SlimeVR's hint names its port; a running layer is green.
  r.settings.config.edit([&](core::Config& c) { c.tracking.tracker_source = core::Source::SlimeOsc; });
  r.layer = true;
  r.ui.frame([&] { r.draw(); });
  EXPECT_EQ(r.help("Tracker"), "Nothing from SlimeVR: start the SlimeVR server and let it send OSC to port 9000.");
  EXPECT_TRUE(r.lit("OpenXR layer", "green"));

  // The report button hands the panel's lines over and opens the folder of the file written.
  std::vector<std::string> handed;
  r.actions.road.saveSupportReport = [&](const std::vector<std::string>& lines) {
    handed = lines;
    return std::string("/data/StrivoVR/support-report-1.txt");
  };
  ASSERT_TRUE(r.ui.click("SAVE SUPPORT REPORT", [&] { r.draw(); }));
  ASSERT_FALSE(handed.empty());
  EXPECT_EQ(handed[0].substr(0, 22), "Tracker [red] SlimeVR ");
  EXPECT_EQ(r.opened, std::vector<std::string>{"/data/StrivoVR"});
}

TEST(StartupTab, SwitchesPublishAtOnceAndTheVolumeOnRelease) {
  HeadlessImGui ui(1200, 1200);
  core::Settings s;
  Counters c(s);
  int checks = 0;
  c.actions.checkForUpdatesNow = [&] { ++checks; };
  int notices = 0;
  const auto subscription = s.config.subscribe(core::kProgramSection, [&](const core::Config&) { ++notices; });
  auto published = [&] {
    s.config.flush();
    return notices;
  };
  // The tracking service as the program runs it, with a recording head thread.
  s.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::Disabled; });
  tracking::Calls calls;
  tracking::FakeOpenVr openvr(calls);
  core::Logger logger(nullptr);
  tracking::TrackingService tracking(s, logger, tracking::Receivers{.openvrHmd = &openvr});
  tracking.initialize();
  calls.clear();
  engine::LiveView live;
  gui::tabs::GuiTabStartup tab(s, live, c.actions);
  auto draw = [&] { tab.render(); };

  ASSERT_TRUE(ui.click("Start tracking on application launch", draw));
  EXPECT_FALSE(s.config.snapshot()->program.start_on_launch);
  EXPECT_EQ(published(), 1);
  EXPECT_FALSE(ui.has("Sensitivity") || ui.has("TapStrength") || ui.has("Z"));
  ASSERT_TRUE(ui.click("Triple-Tap to toggle (Phone/SlimeVR)", draw));
  EXPECT_EQ(published(), 2);  // each change counted on its own: changes in a row may share a notice
  EXPECT_TRUE(ui.has("Sensitivity") && ui.has("TapStrength") && ui.has("Z"));
  ASSERT_TRUE(ui.click("X", draw));
  EXPECT_EQ(s.config.snapshot()->program.slimevr_tap_axis, 0);
  EXPECT_EQ(published(), 3);
  ASSERT_TRUE(ui.click("X", draw));
  EXPECT_EQ(published(), 3) << "choosing the current axis again changes nothing";
  EXPECT_EQ(calls, tracking::Calls{}) << "no restart for the tap switches";
  ASSERT_TRUE(ui.click("Hold SteamVR Thumbstick", draw));
  EXPECT_EQ(published(), 4);
  EXPECT_EQ(calls, tracking::Calls{"openvr.start 0"}) << "the thread that watches the thumbstick runs at once";
  ASSERT_TRUE(ui.click("Right", draw));
  EXPECT_EQ(s.config.snapshot()->program.steamvr_toggle_hand, 1);
  EXPECT_EQ(published(), 5);

  // Dragging the volume publishes nothing until the mouse is let go, then once.
  const auto volume = ui.rect("Volume");
  ui.drag(volume.centre(), ImVec2(volume.min.x + (volume.max.x - volume.min.x) * 0.2f, volume.centre().y), draw);
  ui.frame(draw);
  EXPECT_EQ(published(), 5);
  ui.release(draw);
  ui.frame(draw);
  EXPECT_NEAR(s.config.snapshot()->program.audio_volume, 0.2f, 0.01f);
  EXPECT_EQ(published(), 6);
  const ImVec2 atValue(volume.min.x + (volume.max.x - volume.min.x) * s.config.snapshot()->program.audio_volume,
                       volume.centre().y);
  ui.drag(atValue, atValue, draw);
  ui.release(draw);
  EXPECT_EQ(published(), 6) << "a press that changes nothing publishes nothing";

  ASSERT_TRUE(ui.click("Check Now", draw));
  EXPECT_EQ(checks, 1);
  ASSERT_TRUE(ui.click("Enable Experimental OpenXR Support", draw));
  EXPECT_TRUE(s.config.snapshot()->program.enable_experimental_openxr);
  EXPECT_EQ(published(), 7);
  EXPECT_EQ(c.saves, 0) << "the tab leaves the writing to the saver that listens";
  tracking.cleanup();
}

// The scrolling window of the log box.
ImGuiWindow* logBox() {
  for (ImGuiWindow* window : ImGui::GetCurrentContext()->Windows)
    if (std::string(window->Name).find("##logs") != std::string::npos) return window;
  return nullptr;
}

TEST(DebugTab, FollowsTheNewestLineWhileAutoScrollIsOnAndClears) {
  HeadlessImGui ui;
  std::ostringstream echo;
  core::Logger logger(&echo);
  for (int i = 0; i < 200; ++i) logger.info("line " + std::to_string(i));
  gui::tabs::GuiTabDebug tab(logger);
  auto draw = [&] { tab.render(); };
  for (int i = 0; i < 3; ++i) ui.frame(draw);
  ImGuiWindow* box = logBox();
  ASSERT_NE(box, nullptr);
  EXPECT_GT(box->ScrollMax.y, 0);
  EXPECT_FLOAT_EQ(box->Scroll.y, box->ScrollMax.y);

  ASSERT_TRUE(ui.click("Auto-scroll", draw));
  EXPECT_FALSE(tab.autoScroll());
  const float held = box->Scroll.y;
  for (int i = 0; i < 50; ++i) logger.info("more");
  for (int i = 0; i < 3; ++i) ui.frame(draw);
  EXPECT_FLOAT_EQ(box->Scroll.y, held);
  EXPECT_GT(box->ScrollMax.y, held) << "new lines stay below while auto-scroll is off";

  ASSERT_TRUE(ui.click("Auto-scroll", draw));
  for (int i = 0; i < 2; ++i) ui.frame(draw);
  EXPECT_FLOAT_EQ(box->Scroll.y, box->ScrollMax.y);

  ASSERT_TRUE(ui.click("Clear Logs", draw));
  EXPECT_TRUE(logger.lines().empty());
}

}  // namespace

#include "app/gui/user_interface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

#include "app/core/settings_file.h"
#include "app/engine/engine.h"
#include "app/engine/fake_output_port.h"
#include "app/gui/headless_imgui.h"
#include "app/system/component_service.h"
#include "app/system/update_check.h"
#include "testing/support/temp_folder.h"

namespace {

using guitest::HeadlessImGui;

// The whole frame, as the window draws it, with recording actions.
struct Frame {
  HeadlessImGui ui;
  core::Settings settings;
  engine::LiveView live;
  std::ostringstream logText;
  core::Logger logger{&logText};
  services::ComponentService components{settings, logger, {}};
  services::UpdateCheckLauncher updates{services::UpdateServer{}};
  int resets = 0, saves = 0;
  std::vector<std::string> installs;
  long urlResult = 42;
  std::vector<std::string> urls;
  std::unique_ptr<gui::UserInterface> window;
  std::function<void()> draw = [this] { window->drawFrame(); };

  explicit Frame(std::function<void(gui::GuiActions&)> adjust = {}) {
    gui::GuiActions actions;
    actions.resetOutputs = [this] { ++resets; };
    actions.saveSettings = [this] { return ++saves, true; };
    actions.installComponent = [this](const std::string& name) { installs.push_back(name); };
    actions.openUrl = [this](const std::string& url) { return urls.push_back(url), urlResult; };
    actions.componentPrompts = &components.prompts();
    actions.updatePrompt = &updates.prompt();
    if (adjust) adjust(actions);
    window = std::make_unique<gui::UserInterface>(settings, live, logger, actions);
  }
  bool click(const std::string& name) { return ui.click(name, draw, true); }
  void frame() { ui.frame(draw, true); }
  // Two frames: the first lays columns and child windows out provisionally.
  void settle() { frame(), frame(); }
};

TEST(UserInterface, StartStopFlipsTrackingAndStopResetsTheOutputs) {
  Frame f;
  f.settings.tracking_active = true;
  ASSERT_TRUE(f.click("START/STOP"));
  EXPECT_FALSE(f.settings.tracking_active.load());
  EXPECT_EQ(f.resets, 1);
  ASSERT_TRUE(f.click("START/STOP"));
  EXPECT_TRUE(f.settings.tracking_active.load());
  EXPECT_EQ(f.resets, 1) << "starting does not reset";
}

TEST(UserInterface, SaveSettingsWritesTheSettingsFile) {
  testsupport::TempFolder folder("gui_save");
  std::ostringstream out, err;
  core::SettingsFile file([&] { return folder.path().string(); }, "none.json", out, err);
  Frame f([&](gui::GuiActions& actions) { actions.saveSettings = [&] { return file.save(f.settings); }; });
  f.settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = 7.5f; });
  ASSERT_TRUE(f.click("SAVE SETTINGS"));
  std::string written = testsupport::readFile(file.path());
  std::erase(written, '\r');  // the file has the platform's line ends
  EXPECT_EQ(written, core::serializeSettings(f.settings));
  EXPECT_NE(written.find("\"deadzone\": 7.5"), std::string::npos);
}

TEST(UserInterface, ChoosingAnOutputModePublishesItAtOnceButMovingASliderDoesNot) {
  Frame f;
  int outputNotices = 0;
  const auto subscription =
      f.settings.config.subscribe(core::kOutputsSection, [&](const core::Config&) { ++outputNotices; });
  f.settle();
  const auto deadzone = f.ui.rect("Deadzone");
  f.ui.drag(ImVec2(deadzone.min.x + 1, deadzone.centre().y), ImVec2(deadzone.max.x, deadzone.centre().y), f.draw, true);
  f.ui.release(f.draw, true);
  EXPECT_FLOAT_EQ(f.settings.config.snapshot()->locomotion.deadzone, 10.0f);
  f.settings.config.flush();
  EXPECT_EQ(outputNotices, 0);

  ASSERT_TRUE(f.click("Output Mode"));
  ASSERT_TRUE(f.click("Output Mode/Keyboard"));
  EXPECT_TRUE(f.settings.config.snapshot()->outputs.mode == core::OutputMode::Keyboard);
  f.settings.config.flush();
  EXPECT_EQ(outputNotices, 1) << "the output service and the saver hear of it";
  EXPECT_EQ(f.saves, 0) << "the tab calls neither";
  EXPECT_TRUE(f.ui.has("Forward (S1)/Key")) << "the keyboard block replaced the hook block";
}

TEST(UserInterface, DebugTabFallsBackToMainWhenDebugModeGoesOff) {
  Frame f;
  f.settings.config.edit([](core::Config& c) { c.program.debug_mode = true; });
  ASSERT_TRUE(f.click("Debug"));
  EXPECT_EQ(f.window->activeTab(), gui::UserInterface::Debug);
  // Unticking DEBUG MODE in the footer switches to Main in that same frame.
  f.settle();
  f.ui.drag(f.ui.rect("DEBUG MODE").centre(), f.ui.rect("DEBUG MODE").centre(), f.draw, true);
  f.ui.release(f.draw, true);
  EXPECT_FALSE(f.settings.config.snapshot()->program.debug_mode);
  EXPECT_EQ(f.window->activeTab(), gui::UserInterface::Main);
  f.frame();
  EXPECT_FALSE(f.ui.has("Debug")) << "the Debug button is gone";
  EXPECT_TRUE(f.ui.has("Crouch"));

  // Switched off from elsewhere (settings edited by another tab): Main at the next frame.
  f.settings.config.edit([](core::Config& c) { c.program.debug_mode = true; });
  f.window->setActiveTab(gui::UserInterface::Debug);
  f.settings.config.edit([](core::Config& c) { c.program.debug_mode = false; });
  f.frame();
  EXPECT_EQ(f.window->activeTab(), gui::UserInterface::Main);
}

TEST(UserInterface, ViGEmPromptFollowsTheOutputModeAndInstallClearsIt) {
  Frame f;
  f.components.prompts().askForPadBus();
  f.settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Keyboard; });
  f.frame();
  EXPECT_FALSE(f.ui.has("ViGEmDriverPrompt/INSTALL"));
  f.settings.config.edit([&](core::Config& c) { c.outputs.mode = core::OutputMode::Pad; });
  f.frame();
  ASSERT_TRUE(f.ui.has("ViGEmDriverPrompt/INSTALL"));
  ASSERT_TRUE(f.click("ViGEmDriverPrompt/INSTALL"));
  EXPECT_EQ(f.installs, std::vector<std::string>{"ViGEmBus"});
  EXPECT_FALSE(f.components.prompts().padBusAsked());
  f.frame();
  EXPECT_FALSE(f.ui.has("ViGEmDriverPrompt/INSTALL"));
}

TEST(UserInterface, UpdatePromptOpensTheAddressLogsFailuresAndSkipHidesIt) {
  Frame f;
  f.updates.prompt().publish({"1.2.0", "https://example.invalid/get"});
  f.urlResult = 2;  // the shell's "file not found"
  ASSERT_TRUE(f.click("UpdatePrompt/DOWNLOAD"));
  EXPECT_EQ(f.urls, std::vector<std::string>{"https://example.invalid/get"});
  const std::string log = f.logText.str();
  EXPECT_NE(log.find("[INFO ] [Update] Attempting to open URL: https://example.invalid/get"), std::string::npos);
  EXPECT_NE(log.find("[ERROR] [Update] ShellExecuteA failed with code: 2"), std::string::npos);
  EXPECT_TRUE(f.ui.has("UpdatePrompt/SKIP")) << "the prompt stays until SKIP";
  ASSERT_TRUE(f.click("UpdatePrompt/SKIP"));
  EXPECT_FALSE(f.updates.prompt().shown());
  f.frame();
  EXPECT_FALSE(f.ui.has("UpdatePrompt/SKIP"));
}

TEST(UserInterface, DownloadNeverHandsTheDesktopAnAddressThatIsNotAWebAddress) {
  Frame f;
  f.updates.prompt().publish({"", "C:\\Windows\\System32\\cmd.exe"});
  ASSERT_TRUE(f.click("UpdatePrompt/DOWNLOAD"));
  EXPECT_TRUE(f.urls.empty());
  EXPECT_NE(f.logText.str().find("[ERROR] [Update] Refusing to open an address that is not a web address: "),
            std::string::npos);
}

TEST(UserInterface, RestartPromptNeedsARunningSteamVR) {
  bool running = false;
  int restarts = 0, checks = 0;
  double now = 50;
  Frame f([&](gui::GuiActions& actions) {
    actions.isSteamVRRunning = [&] { return ++checks, running; };
    actions.restartSteamVR = [&] { ++restarts; };
    actions.now = [&] { return now; };
  });
  f.frame();
  EXPECT_EQ(checks, 0) << "asked only while a restart is needed";
  f.components.prompts().askForRestart();
  f.frame();
  EXPECT_FALSE(f.ui.has("RestartPrompt/RESTART NOW"));
  running = true;
  f.frame();
  EXPECT_EQ(checks, 1) << "the process list is read at most every 2 s, not every frame";
  now += 2;
  f.frame();
  EXPECT_EQ(checks, 2);
  ASSERT_TRUE(f.click("RestartPrompt/RESTART NOW"));
  EXPECT_EQ(restarts, 1);
  ASSERT_TRUE(f.click("RestartPrompt/LATER"));
  EXPECT_FALSE(f.components.prompts().restartNeeded());
}

// A scripted tracker for the calibration wizard: 100 samples a second of the
// mapped orientation, leaning the way the wizard's current step asks (default
// phone mapping: the first angle forward, the third angle to the left), and of
// a head standing at 170 cm that in the head step jumps twice by `jumpRise` and
// crouches 60 cm, while an injected engine clock moves on 50 ms a frame.
struct TrackerScript {  // made before the Frame that points at it
  double clock = 500;
  double lastSample = 500;
  std::unique_ptr<core::LiveHistory> history = std::make_unique<core::LiveHistory>();
  bool silent = false;
  float jumpRise = 20;
};
struct Calibrating : TrackerScript, Frame {
  Calibrating()
      : Frame([this](gui::GuiActions& a) {
          a.engineNow = [this] { return clock; };
          a.history = history.get();
        }) {}

  void tick() {
    using Wizard = gui::tabs::CalibrationWizard;
    const auto& wizard = window->wizard();
    const bool recording = wizard.phase() == Wizard::Phase::Recording;
    const float lean = !recording || wizard.step() >= Wizard::kHeadStep
                           ? 0.0f
                           : std::array{0.0f, 20.0f, -24.0f, 15.0f, -18.0f}[wizard.step()];
    const bool sideways = wizard.step() >= 3;
    const bool head = recording && wizard.step() == Wizard::kHeadStep;
    for (clock += 0.05; !silent && lastSample + 0.01 <= clock;) {
      lastSample += 0.01;
      core::LeanSample s;
      s.time = lastSample;
      s.mapped[0] = 2.0f + (sideways ? 0.0f : lean);
      s.mapped[2] = 1.0f + (sideways ? lean : 0.0f);
      history->lean.push(s);
      const double jumping = lastSample - wizard.jumpsFrom(), crouching = lastSample - wizard.crouchFrom();
      double rise = 0, down = 0;
      if (head && crouching < 0)
        for (const double peak : {0.8, 2.4}) rise += jumpRise * std::max(0.0, 1 - std::fabs(jumping - peak) / 0.15);
      if (head && crouching >= 0) down = std::clamp(std::min(crouching - 0.5, 3.5 - crouching) * 2, 0.0, 1.0);
      history->jump.push({lastSample, static_cast<float>(rise), 0});
      history->crouch.push({lastSample, static_cast<float>(170 - 60 * down), false});
    }
    frame();
  }
  // Runs frames until the wizard reaches `phase` (bounded).
  bool runUntil(gui::tabs::CalibrationWizard::Phase phase) {
    for (int i = 0; i < 1000 && window->wizard().phase() != phase; ++i) tick();
    EXPECT_EQ(window->wizard().phase(), phase) << window->wizard().problem() << " at step " << window->wizard().step();
    return window->wizard().phase() == phase;
  }
};

using Phase = gui::tabs::CalibrationWizard::Phase;

TEST(UserInterface, CalibrationWizardStepsThroughAndApplySavesItsValues) {
  Calibrating f;
  f.settings.config.edit([&](core::Config& c) { c.locomotion.deadzone = 6; });
  f.settings.config.edit([&](core::Config& c) { c.tracking.hmd_source = core::Source::OpenVr; });
  f.settings.config.edit([&](core::Config& c) { c.tracking.squat_source = core::Source::OpenVr; });
  ASSERT_TRUE(f.click("CALIBRATE"));
  ASSERT_TRUE(f.window->wizard().active());
  f.frame();
  EXPECT_TRUE(f.ui.has("CalibrationProgress"));
  ASSERT_TRUE(f.runUntil(Phase::Offer));
  // Five steps of 2 s countdown and 3 s recording each.
  EXPECT_NEAR(f.clock - 500, 5 * 5.0, 0.5);  // each phase ends on the first 50-ms frame after it
  // The head step: jumps too small to measure stop it, RETRY with real jumps gets through.
  f.jumpRise = 2;
  ASSERT_TRUE(f.click("START"));
  ASSERT_TRUE(f.runUntil(Phase::Failed));
  EXPECT_EQ(f.window->wizard().step(), gui::tabs::CalibrationWizard::kHeadStep);
  EXPECT_NE(f.window->wizard().problem().find("Jump higher"), std::string::npos) << f.window->wizard().problem();
  f.jumpRise = 20;
  ASSERT_TRUE(f.click("RETRY"));
  ASSERT_TRUE(f.runUntil(Phase::Review));
  ASSERT_TRUE(f.click("APPLY"));
  EXPECT_FALSE(f.window->wizard().active());
  EXPECT_EQ(f.settings.config.snapshot()->locomotion.center_offset, (std::array<float, 3>{2, 0, 1}));
  EXPECT_EQ(f.settings.config.snapshot()->locomotion.deadzone, 1.0f);           // a still tracker: the floor
  EXPECT_EQ(f.settings.config.snapshot()->locomotion.max_angle_y, 20.0f);       // the smaller of forward 20 and back 24
  EXPECT_EQ(f.settings.config.snapshot()->locomotion.max_angle_x, 15.0f);       // the smaller of left 15 and right 18
  EXPECT_NEAR(f.settings.config.snapshot()->jump.jump_threshold, 12.0f, 0.2f);  // 0.6 of the 20 cm jumps
  EXPECT_NEAR(f.settings.config.snapshot()->crouch.squat_lower_threshold, 134.0f,
              0.5f);  // 170 less 0.6 of the 60 cm crouch
  EXPECT_NEAR(f.settings.config.snapshot()->crouch.squat_upper_threshold, 152.0f, 0.5f);  // 170 less 0.3 of it
  EXPECT_EQ(f.settings.config.snapshot()->jump.jump_accel_threshold, 15.0f) << "the other detector's threshold stays";
  EXPECT_EQ(f.saves, 1);
}

TEST(UserInterface, CalibrationStopsOnASilentTrackerAndCancelChangesNothing) {
  Calibrating f;
  f.settings.config.edit([&](core::Config& c) {
    c.tracking.hmd_source = core::Source::Disabled;
  });  // and no crouch source: the head step is skipped
  const std::string before = core::serializeSettings(f.settings);
  ASSERT_TRUE(f.click("CALIBRATE"));
  ASSERT_TRUE(f.runUntil(Phase::Recording));
  for (int i = 0; i < 20; ++i) f.tick();  // one second in
  f.silent = true;
  ASSERT_TRUE(f.runUntil(Phase::Failed));
  EXPECT_EQ(f.window->wizard().step(), 0);
  ASSERT_TRUE(f.click("RETRY"));
  EXPECT_EQ(f.window->wizard().phase(), Phase::Ready);
  f.silent = false;
  ASSERT_TRUE(f.runUntil(Phase::Review));
  EXPECT_TRUE(f.ui.has("CalibrationSkipped"));
  ASSERT_TRUE(f.click("CANCEL"));
  EXPECT_FALSE(f.window->wizard().active());
  EXPECT_EQ(core::serializeSettings(f.settings), before);
  EXPECT_EQ(f.saves, 0);
}

// TEST OUTPUT through the real engine: forward at once, held, then released once.
TEST(UserInterface, TestOutputPushesThenReleasesExactlyOnce) {
  engine::ManualClock clock;
  engine::RecordingOutputPort port;
  core::Settings engineSettings;
  core::Logger engineLog{nullptr};
  core::ServiceManager services{engineSettings, engineLog};
  engine::Engine engine(engineSettings, engineLog, services, clock, port, {}, {}, {});
  Frame f([&](gui::GuiActions& a) { a.testOutput = [&] { engine.startTestPush(1.0); }; });
  ASSERT_TRUE(f.click("TEST OUTPUT"));
  EXPECT_EQ(port.y, -1.0f);
  for (int pass = 1; pass <= 100; ++pass) {
    clock.t = 100.0 + pass * 0.02;
    engine.runPass(clock.t);
    if (clock.t < 100.99) {
      EXPECT_EQ(port.y, -1.0f) << "released early at " << clock.t;
    }
  }
  EXPECT_EQ(port.y, 0.0f);
  EXPECT_EQ(std::count(port.calls.begin(), port.calls.end(), "stick"), 51) << "the push, 49 holds, one release";
}

// The window rests: a frame only when something shown changed.
TEST(UserInterface, ContentChangesOnlyWithWhatTheActiveTabShows) {
  std::int64_t statsNs = 1'000'000'000'000;
  core::RoadStats stats{[&] { return statsNs; }};
  Frame f([&](gui::GuiActions& a) {
    a.road.stats = &stats;
    a.now = [] { return 100.2; };  // the Status tab's once-a-second tick stands still
  });
  f.frame();
  EXPECT_FALSE(f.window->contentChanged());
  f.live.head_height = 120;  // the Crouch tab's, not shown on Main
  EXPECT_FALSE(f.window->contentChanged());
  f.live.stick[1] = -0.5f;
  EXPECT_TRUE(f.window->contentChanged());
  f.frame();
  EXPECT_FALSE(f.window->contentChanged());
  f.logger.info("a line");  // shown on the Debug tab only
  EXPECT_FALSE(f.window->contentChanged());
  f.window->setActiveTab(gui::UserInterface::Debug);
  f.frame();
  f.logger.info("another line");
  EXPECT_TRUE(f.window->contentChanged());

  // The Status tab's rates: redrawn as soon as a rate window ends with a new rate, not only on the tick.
  f.window->setActiveTab(gui::UserInterface::Status);
  f.frame();
  for (int second = 0; second < 2; ++second) {
    for (int i = 0; i < 60; ++i) stats.engineSample();
    statsNs += 999'000'000;
    EXPECT_FALSE(f.window->contentChanged()) << "within the rate window";
    statsNs += 1'000'000;
    EXPECT_EQ(f.window->contentChanged(), second == 0) << "60 samples/s, then 60 again";
    f.frame();
  }
}

}  // namespace

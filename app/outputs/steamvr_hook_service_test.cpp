#include "app/outputs/steamvr_hook_service.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "app/outputs/hook_driver_monitor.h"
#include "platform/last_stop.h"
#include "testing/support/manual_wait_clock.h"

namespace {

using namespace std::chrono_literals;

using outputs::SteamVRHookService;

// A real UDP receiver on an ephemeral loopback port standing in for the driver.
class HookServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(driver.open());
    ASSERT_TRUE(driver.bind(platform::Endpoint::loopback(0)));
    ASSERT_TRUE(driver.setReceiveTimeout(100));
    ASSERT_TRUE(driver.localEndpoint(at));
    service = std::make_unique<SteamVRHookService>(settings, logger, nullptr, at, out);
  }
  // Everything received until the line goes quiet.
  std::vector<std::string> received() {
    std::vector<std::string> texts;
    char buffer[2048];
    for (int i = 0; i < 100; ++i) {
      const auto r = driver.receiveFrom(std::as_writable_bytes(std::span(buffer)));
      if (r.status != platform::ReceiveStatus::Received) break;
      texts.emplace_back(buffer, r.bytes);
    }
    return texts;
  }
  std::vector<std::string> infoLines() {
    std::vector<std::string> messages;
    for (const std::string& line : logger.lines()) {
      const auto tag = line.find("] ");
      if (tag != std::string::npos) messages.push_back(line.substr(tag + 2));
    }
    return messages;
  }
  using Texts = std::vector<std::string>;

  core::Settings settings;
  core::Logger logger{nullptr};
  std::ostringstream out;
  platform::UdpSocket driver;
  platform::Endpoint at;
  std::unique_ptr<SteamVRHookService> service;
};

TEST_F(HookServiceTest, NothingIsSentBeforeInitialiseOrAfterCleanUp) {
  service->sendStick(0, -1, "Left");
  service->buttonEvent("A", true, "Left");
  service->sendRelease("L OFF");
  EXPECT_TRUE(received().empty());
  service->initialize();
  EXPECT_EQ(out.str(), "[SteamVR Hook] UDP Client initialized (Port " + std::to_string(at.port) + ")\n");
  EXPECT_EQ(infoLines(), Texts{"SteamVRHookService: Initializing..."});
  service->sendStick(0, -1, "Left");
  EXPECT_EQ(received(), Texts{"L 0.0000 1.0000"});
  service->cleanup();
  EXPECT_EQ(received(), Texts{"L OFF"});  // the stick it held
  service->sendStick(0, -1, "Left");
  EXPECT_TRUE(received().empty());
  EXPECT_FALSE(service->socketOpen());
}

TEST_F(HookServiceTest, StickTurnsForwardPositiveAndAddressesTheHand) {
  service->initialize();
  service->sendStick(0.25f, -0.5f, "Left");
  service->sendStick(-1.0f, 0.75f, "Right");
  service->sendStick(0.0f, 0.0f, "left");  // only "Left" means the left hand
  service->sendStick(0.0f, 0.0f, "L");
  EXPECT_EQ(received(), (Texts{"L 0.2500 0.5000", "R -1.0000 -0.7500", "R 0.0000 -0.0000", "R 0.0000 -0.0000"}));
}

TEST_F(HookServiceTest, ThumbstickPseudoButtonsHoldTheStick) {
  service->initialize();
  service->buttonEvent("Thumbstick Forward", true, "Left");
  service->sendStick(0.1f, 0.05f, "Left");
  service->sendStick(0.1f, 0.05f, "Right");  // the other hand is not held
  service->buttonEvent("Thumbstick Back", true, "Left");
  service->sendStick(0.0f, -0.3f, "Left");  // back wins over forward
  service->buttonEvent("Thumbstick Back", false, "Left");
  service->buttonEvent("Thumbstick Forward", false, "Left");
  service->sendStick(0.0f, -0.3f, "Left");
  EXPECT_EQ(received(), (Texts{"L 0.0000 1.0000", "L 0.1000 1.0000", "R 0.1000 -0.0500", "L 0.0000 -1.0000",
                               "L 0.0000 -1.0000", "L 0.0000 0.0000", "L 0.0000 0.0000", "L 0.0000 0.3000"}));
}

TEST_F(HookServiceTest, SecondStagePressesAboveTheThresholdAndLogsOncePerCrossing) {
  settings.enable_steamvr_s2 = true;
  settings.steamvr_threshold_2 = 80.0f;
  settings.steamvr_button_2 = "Left: Trigger";
  service->initialize();
  logger.clear();
  service->sendStick(0, -0.79f, "Left");  // just short of the 0.80 threshold
  service->sendStick(0, -0.81f, "Left");  // just beyond it
  service->sendStick(0, -0.95f, "Left");
  service->sendStick(0, -0.8f, "Left");  // no release margin: at the threshold it lets go
  service->sendStick(0, -0.4f, "Left");
  EXPECT_EQ(received(), (Texts{"L 0.0000 0.7900", "L 0.0000 0.8100", "L BTN trigger ON", "L 0.0000 0.9500",
                               "L BTN trigger ON", "L 0.0000 0.8000", "L BTN trigger OFF", "L 0.0000 0.4000"}));
  EXPECT_EQ(infoLines(),
            (Texts{"SteamVR S2 Threshold Crossed: Pressing Trigger", "SteamVR S2 Threshold Left: Releasing Trigger"}));
}

TEST_F(HookServiceTest, SecondStageForcedByForwardAndDroppedWhenDisabled) {
  settings.enable_steamvr_s2 = true;
  settings.steamvr_threshold_2 = 99.0f;
  settings.steamvr_button_2 = "Grip";  // no colon: the hand is target_controller
  settings.target_controller = core::Hand::Right;
  service->initialize();
  service->buttonEvent("Thumbstick Forward", true, "Right");
  service->sendStick(0, -0.1f, "Right");
  settings.enable_steamvr_s2 = false;
  logger.clear();
  service->sendStick(0, -0.1f, "Right");
  service->sendStick(0, -0.1f, "Right");
  EXPECT_EQ(received(), (Texts{"R 0.0000 1.0000", "R 0.0000 1.0000", "R BTN grip ON", "R 0.0000 1.0000",
                               "R BTN grip OFF", "R 0.0000 1.0000"}));
  EXPECT_TRUE(infoLines().empty());  // released without a log line
}

TEST_F(HookServiceTest, CleanUpReleasesAHeldSecondStage) {
  settings.enable_steamvr_s2 = true;
  settings.steamvr_button_2 = "Left: A";
  service->initialize();
  service->sendStick(0, -1.0f, "Left");
  received();
  service->cleanup();
  EXPECT_EQ(received(), (Texts{"L BTN a OFF", "L OFF"}));
}

TEST_F(HookServiceTest, HeldPressesRepeatAndAreReleasedWhereTheyWentAndCleanUpReleasesTheRest) {
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  service = std::make_unique<SteamVRHookService>(settings, logger, nullptr, at, out, clock);
  settings.enable_steamvr_s2 = true;
  settings.steamvr_threshold_2 = 80.0f;
  settings.steamvr_button_2 = "Left: Trigger";
  service->initialize();
  service->keepAlive();  // nothing held: nothing sent
  service->buttonEvent("A", true, "Right");
  service->buttonEvent("Thumbstick Back", true, "Left");
  service->sendStick(0, -0.9f, "Right");
  EXPECT_EQ(received(), (Texts{"R BTN a ON", "L 0.0000 -1.0000", "R 0.0000 0.9000", "L BTN trigger ON"}));

  clock->advance(SteamVRHookService::kRepeatInterval - 1ms);
  service->keepAlive();
  EXPECT_TRUE(received().empty());
  clock->advance(1ms);
  service->keepAlive();
  const Texts repeats{"R BTN a ON", "L 0.0000 -1.0000", "L BTN trigger ON"};
  EXPECT_EQ(received(), repeats);
  platform::LastStopView crash;
  ASSERT_TRUE(platform::lastStopDatagrams(static_cast<std::size_t>(platform::LastStopSlot::Hook), crash));
  Texts crashTexts;
  for (std::size_t i = 0; i < crash.count; ++i) crashTexts.emplace_back(crash.bytes[i], crash.lengths[i]);
  EXPECT_EQ(crashTexts, (Texts{"L OFF", "R OFF", "R BTN a OFF", "L 0.0000 0.0000", "L BTN trigger OFF"}));
  EXPECT_EQ(crash.to, at);

  // Bindings change while held: each release still goes where its press went.
  settings.steamvr_button_2 = "Right: Grip";
  settings.hook_target_serial = "LHR-9";
  service->buttonEvent("A", false, "Right");
  service->sendStick(0, -0.5f, "Right");
  EXPECT_EQ(received(), (Texts{"R BTN a OFF", "SN:LHR-9 0.0000 0.5000", "L BTN trigger OFF"}));
  clock->advance(SteamVRHookService::kRepeatInterval);
  service->keepAlive();
  EXPECT_EQ(received(), Texts{"L 0.0000 -1.0000"});

  service->cleanup();
  EXPECT_EQ(received(), (Texts{"L 0.0000 0.0000", "L OFF", "R OFF", "SN:LHR-9 OFF"}));
  EXPECT_FALSE(platform::lastStopDatagrams(static_cast<std::size_t>(platform::LastStopSlot::Hook), crash));
}

TEST_F(HookServiceTest, AStickSampleCarriesAHeldPseudoButtonSoNoRepeatComesOnTop) {
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  service = std::make_unique<SteamVRHookService>(settings, logger, nullptr, at, out, clock);
  service->initialize();
  service->buttonEvent("Thumbstick Back", true, "Left");
  clock->advance(150ms);
  service->sendStick(0.5f, 0.0f, "Left");
  clock->advance(100ms);
  service->keepAlive();  // 250 ms after the press, 100 ms after the sample
  clock->advance(100ms);
  service->keepAlive();
  EXPECT_EQ(received(), (Texts{"L 0.0000 -1.0000", "L 0.5000 -1.0000", "L 0.0000 -1.0000"}));
}

TEST_F(HookServiceTest, ThumbstickButtonAddsTheJoystickCompanionWithTheHandLetter) {
  settings.hook_target_serial = "LHR-1234";
  service->initialize();
  service->buttonEvent("Thumbstick", true, "Left");
  service->buttonEvent("A", false, "Right");
  service->sendStick(0.5f, 0.0f, "Left");
  service->sendRelease("L OFF");
  EXPECT_EQ(received(), (Texts{"SN:LHR-1234 BTN thumbstick ON", "L BTN joystick ON", "SN:LHR-1234 BTN a OFF",
                               "SN:LHR-1234 0.5000 -0.0000", "SN:LHR-1234 OFF"}));
}

TEST_F(HookServiceTest, ReleaseNeedsAnOffText) {
  service->initialize();
  service->sendRelease("L OFF");
  service->sendRelease("R OFF");
  service->sendRelease("X OFF");  // any other letter means right
  service->sendRelease("OFF");    // too short
  service->sendRelease("L ON ");  // no " OFF"
  service->sendRelease("");
  EXPECT_EQ(received(), (Texts{"L OFF", "R OFF", "R OFF"}));
}

TEST(HookServiceDriverPrompt, RaisedOnlyWhenFilesExistButTheDriverIsNotRegistered) {
  struct Case {
    bool registered, files, prompt;
  };
  for (const Case c : {Case{false, true, true}, Case{true, true, false}, Case{false, false, false}}) {
    core::Settings settings;
    core::Logger logger{nullptr};
    std::ostringstream out;
    SteamVRHookService service(
        settings, logger,
        [&] {
          return outputs::DriverComponentStatus{c.registered, c.files};
        },
        platform::Endpoint::loopback(9), out);
    service.initialize();
    EXPECT_EQ(settings.show_steamvr_driver_prompt.load(), c.prompt);
    bool logged = false;
    for (const auto& line : logger.lines())
      logged |= line.find("SteamVRHookService: Driver missing but files exist. Prompting.") != std::string::npos;
    EXPECT_EQ(logged, c.prompt);
  }
}

// A driver that predates the ping (it only classifies datagrams with hook::parse):
// the monitored hook still drives its stick, the pings are nothing to it and no
// answer line appears. Once a driver answers, the line does.
TEST_F(HookServiceTest, AnOldDriverIgnoresThePingAndStillDrivesTheStick) {
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  outputs::HookDriverMonitor monitor(logger, clock, at);
  outputs::MonitoredHookBackend hook(*service, monitor);
  hook.initialize();
  const auto t0 = clock->now();
  for (int step = 1; step <= 12; ++step) {
    ASSERT_TRUE(clock->waitForSleeper(t0 + step * outputs::HookDriverMonitor::kPollStep));
    hook.sendStick(0, -1, "Left");
    clock->advance(outputs::HookDriverMonitor::kPollStep);
  }
  int pings = 0, sticks = 0;
  for (const std::string& text : received()) {
    const hook::Message m = hook::parse(text);
    pings += m.kind == hook::Kind::Ignored && text.rfind("PING ", 0) == 0;
    sticks += m.kind == hook::Kind::HandStick && m.stick.y == 1.0f;
  }
  EXPECT_EQ(pings, 2);  // at 0 and 1 s
  EXPECT_EQ(sticks, 12);
  EXPECT_FALSE(monitor.view().answering);

  // The same port now answers like a current driver.
  ASSERT_TRUE(clock->waitForSleeper(clock->now() + outputs::HookDriverMonitor::kPollStep));
  clock->advance(900ms);  // the next ping is due
  char buffer[64];
  const auto ping = driver.receiveFrom(std::as_writable_bytes(std::span(buffer)));
  ASSERT_EQ(ping.status, platform::ReceiveStatus::Received);
  ASSERT_TRUE(driver.sendTo(hook::statusMessage({3, 1, 5}), ping.from));
  ASSERT_TRUE(clock->waitForSleeper(clock->now() + outputs::HookDriverMonitor::kPollStep));
  clock->advance(outputs::HookDriverMonitor::kPollStep);
  EXPECT_TRUE(testsupport::eventually([&] { return monitor.view().answering; }));
  const Texts lines = infoLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "[SteamVR Hook] Driver answered: 1 controller(s)"), 1);
  hook.cleanup();
  EXPECT_FALSE(monitor.running());
}

}  // namespace

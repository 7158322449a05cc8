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

using core::Hand;
using outputs::Action;
using outputs::SteamVRHookService;

// A real UDP receiver on an ephemeral loopback port standing in for the driver.
class HookServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(driver.open());
    ASSERT_TRUE(driver.bind(platform::Endpoint::loopback(0)));
    ASSERT_TRUE(driver.setReceiveTimeout(100));
    ASSERT_TRUE(driver.localEndpoint(at));
    make(core::steadyWaitClock());
  }
  void make(std::shared_ptr<core::WaitClock> clock) {
    service = std::make_unique<SteamVRHookService>(logger, nullptr, nullptr, at, out, std::move(clock));
    service->configure(config);
  }
  // `action` bound to `button` on `hand`.
  void bind(Action action, Hand hand, const std::string& button) {
    outputs::HookConfig& hook = config.hook;
    (action == Action::Jump ? hook.jump : action == Action::Crouch ? hook.crouch : hook.second) = {hand, button};
    service->configure(config);
  }
  void stickHand(Hand hand) {
    config.hook.hand = hand;
    service->configure(config);
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

  outputs::OutputConfig config;
  core::Logger logger{nullptr};
  std::ostringstream out;
  platform::UdpSocket driver;
  platform::Endpoint at;
  std::unique_ptr<SteamVRHookService> service;
};

TEST_F(HookServiceTest, NothingIsSentBeforeStartOrAfterStop) {
  service->stick(0, 1);
  service->press(Action::Jump);
  service->centre();
  EXPECT_TRUE(received().empty());
  service->start();
  EXPECT_EQ(out.str(), "[SteamVR Hook] UDP Client initialized (Port " + std::to_string(at.port) + ")\n");
  EXPECT_EQ(infoLines(), Texts{"SteamVRHookService: Initializing..."});
  service->stick(0, 1);
  EXPECT_EQ(received(), Texts{"L 0.0000 1.0000"});
  service->stop();
  EXPECT_EQ(received(), Texts{"L OFF"});  // the stick it held
  service->stick(0, 1);
  EXPECT_TRUE(received().empty());
  EXPECT_FALSE(service->socketOpen());
}

TEST_F(HookServiceTest, StickGoesToTheConfiguredHandAndAChangedHandRestsTheOldOne) {
  service->start();
  service->stick(0.25f, 0.5f);
  stickHand(Hand::Right);
  service->stick(-1.0f, -0.75f);
  service->centre();
  EXPECT_EQ(received(),
            (Texts{"L 0.2500 0.5000", "L 0.0000 0.0000", "L OFF", "R -1.0000 -0.7500", "R 0.0000 0.0000", "R OFF"}));
}

TEST_F(HookServiceTest, ThumbstickPseudoButtonsHoldTheirHandsStick) {
  service->start();
  bind(Action::Jump, Hand::Left, "Thumbstick Forward");
  bind(Action::Crouch, Hand::Right, "Thumbstick Back");
  service->press(Action::Jump);
  service->press(Action::Crouch);
  service->stick(0.1f, -0.05f);  // forward held on this hand; the other hand's back does not count
  bind(Action::SecondStage, Hand::Left, "Thumbstick Back");
  service->press(Action::SecondStage);
  service->stick(0.0f, 0.3f);  // back wins over forward
  service->release(Action::SecondStage);
  service->release(Action::Jump);
  service->stick(0.0f, 0.3f);
  EXPECT_EQ(received(), (Texts{"L 0.0000 1.0000", "R 0.0000 -1.0000", "L 0.1000 1.0000", "L 0.0000 -1.0000",
                               "L 0.0000 -1.0000", "L 0.0000 0.0000", "L 0.0000 0.0000", "L 0.0000 0.3000"}));
}

TEST_F(HookServiceTest, SecondStageLogsOncePerPressAndHoldersOfOneButtonStayApart) {
  bind(Action::SecondStage, Hand::Left, "Trigger");
  service->start();
  logger.clear();
  service->press(Action::SecondStage);
  service->press(Action::SecondStage);  // sent again, not logged again
  service->release(Action::SecondStage);
  EXPECT_EQ(received(), (Texts{"L BTN trigger ON", "L BTN trigger ON", "L BTN trigger OFF"}));
  EXPECT_EQ(infoLines(),
            (Texts{"SteamVR S2 Threshold Crossed: Pressing Trigger", "SteamVR S2 Threshold Left: Releasing Trigger"}));

  bind(Action::Jump, Hand::Left, "Trigger");
  service->press(Action::Jump);
  service->press(Action::SecondStage);
  service->release(Action::SecondStage);  // the jump still holds it
  service->release(Action::Jump);
  EXPECT_EQ(received(), (Texts{"L BTN trigger ON", "L BTN trigger ON", "L BTN trigger OFF"}));
}

TEST_F(HookServiceTest, StopReleasesAHeldSecondStage) {
  bind(Action::SecondStage, Hand::Left, "A");
  service->start();
  service->stick(0, 1.0f);
  service->press(Action::SecondStage);
  received();
  service->stop();
  EXPECT_EQ(received(), (Texts{"L BTN a OFF", "L OFF"}));
}

TEST_F(HookServiceTest, HeldPressesRepeatAndAreReleasedWhereTheyWentAndStopReleasesTheRest) {
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  make(clock);
  bind(Action::SecondStage, Hand::Left, "Trigger");
  service->start();
  service->keepAlive();  // nothing held: nothing sent
  bind(Action::Jump, Hand::Right, "A");
  service->press(Action::Jump);
  bind(Action::Crouch, Hand::Left, "Thumbstick Back");
  service->press(Action::Crouch);
  stickHand(Hand::Right);
  service->stick(0, 0.9f);
  service->press(Action::SecondStage);
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
  bind(Action::SecondStage, Hand::Right, "Grip");
  config.hook.serial = "LHR-9";
  service->configure(config);
  service->release(Action::Jump);
  service->stick(0, 0.5f);
  service->release(Action::SecondStage);
  EXPECT_EQ(received(), (Texts{"R BTN a OFF", "SN:LHR-9 0.0000 0.5000", "L BTN trigger OFF"}));
  clock->advance(SteamVRHookService::kRepeatInterval);
  service->keepAlive();
  EXPECT_EQ(received(), Texts{"L 0.0000 -1.0000"});

  service->stop();
  EXPECT_EQ(received(), (Texts{"L 0.0000 0.0000", "L OFF", "R OFF", "SN:LHR-9 OFF"}));
  EXPECT_FALSE(platform::lastStopDatagrams(static_cast<std::size_t>(platform::LastStopSlot::Hook), crash));
}

TEST_F(HookServiceTest, AStickSampleCarriesAHeldPseudoButtonSoNoRepeatComesOnTop) {
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  make(clock);
  bind(Action::Crouch, Hand::Left, "Thumbstick Back");
  service->start();
  service->press(Action::Crouch);
  clock->advance(150ms);
  service->stick(0.5f, 0.0f);
  clock->advance(100ms);
  service->keepAlive();  // 250 ms after the press, 100 ms after the sample
  clock->advance(100ms);
  service->keepAlive();
  EXPECT_EQ(received(), (Texts{"L 0.0000 -1.0000", "L 0.5000 -1.0000", "L 0.0000 -1.0000"}));
}

TEST_F(HookServiceTest, ThumbstickButtonAddsTheJoystickCompanionAndCentringReleasesIt) {
  config.hook.serial = "LHR-1234";
  bind(Action::Jump, Hand::Left, "Thumbstick");
  bind(Action::Crouch, Hand::Right, "A");
  service->start();
  service->press(Action::Jump);
  service->release(Action::Crouch);  // not held: the current binding is released anyway
  service->stick(0.5f, 0.0f);
  service->centre();
  EXPECT_EQ(received(), (Texts{"SN:LHR-1234 BTN thumbstick ON", "L BTN joystick ON", "SN:LHR-1234 BTN a OFF",
                               "SN:LHR-1234 0.5000 0.0000", "SN:LHR-1234 BTN thumbstick OFF", "L BTN joystick OFF",
                               "SN:LHR-1234 0.0000 0.0000", "SN:LHR-1234 OFF"}));
}

TEST(HookServiceDriverPrompt, RaisedOnlyWhenFilesExistButTheDriverIsNotRegistered) {
  struct Case {
    bool registered, files, prompt;
  };
  for (const Case c : {Case{false, true, true}, Case{true, true, false}, Case{false, false, false}}) {
    core::Logger logger{nullptr};
    std::ostringstream out;
    bool prompted = false;
    SteamVRHookService service(
        logger,
        [&] {
          return outputs::DriverComponentStatus{c.registered, c.files};
        },
        [&] { prompted = true; }, platform::Endpoint::loopback(9), out);
    service.start();
    EXPECT_EQ(prompted, c.prompt);
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
  outputs::MonitoredHookOutput hook(*service, monitor);
  hook.start();
  const auto t0 = clock->now();
  for (int step = 1; step <= 12; ++step) {
    ASSERT_TRUE(clock->waitForSleeper(t0 + step * outputs::HookDriverMonitor::kPollStep));
    hook.stick(0, 1);
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
  hook.stop();
  EXPECT_FALSE(monitor.running());
}

}  // namespace

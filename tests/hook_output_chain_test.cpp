// The program's side and the driver together: the output service in "SteamVR Hook"
// mode drives the SteamVR hook output, whose datagrams reach the built driver library
// loaded into the fake SteamVR server on the real port.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/core/settings.h"
#include "app/outputs/output_service.h"
#include "app/outputs/steamvr_hook_service.h"
#include "common/hook/hook_protocol.h"
#include "testing/fake_vrserver/fake_vrserver.h"
#include "testing/fake_vrserver/loaded_driver_test.h"

namespace {

using namespace std::chrono_literals;
using fakevr::FakeVrServer;

const char* const kThumbY = "/input/thumbstick/y";

class HookOutputChain : public fakevr::LoadedDriverTest {
 protected:
  void SetUp() override {
    loadDriver();
    if (!loaded()) return;
    left = &server.addController(1, "LHR-LEFT", FakeVrServer::thumbstickAxes(), {"/input/a/click"});
    right = &server.addController(2, "LHR-RIGHT", {"/input/joystick/x", "/input/joystick/y"}, {"/input/b/click"});
    ASSERT_TRUE(settings.config.snapshot()->outputs.mode == core::OutputMode::SteamVrHook);
    output.initialize();
  }
  void TearDown() override {
    output.cleanup();
    LoadedDriverTest::TearDown();
  }

  core::Settings settings;
  core::Logger logger{nullptr};
  std::ostringstream out;
  outputs::SteamVRHookService hook{logger, {}, {}, platform::Endpoint::loopback(hook::kDriverPort), out};
  outputs::OutputConfigReader config{settings.config};
  outputs::OutputService output{logger, hookOnly(), [this] { return config.changed(); }};

  outputs::OutputSet hookOnly() {
    outputs::OutputSet set{};
    set[outputs::slotOf(core::OutputMode::SteamVrHook)] = &hook;
    return set;
  }
  fakevr::FakeController* left = nullptr;
  fakevr::FakeController* right = nullptr;
};

TEST_F(HookOutputChain, EngineStickReachesTheLeftThumbstickWithinOneFrame) {
  server.frame();
  output.updateStick(0.0f, -0.6f);  // the engine's forward is negative
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.6f);
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/y"), 0.0f);

  left->setReal(kThumbY, 0.2f);  // the user's own stick, beyond the dead radius, wins
  output.updateStick(0.0f, -0.6f);
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.2f);
}

TEST_F(HookOutputChain, OverrideLapsesAfterTheLastSampleWithOnePushOfTheRealValues) {
  left->setReportsEachFrame(false);
  left->setReal(kThumbY, 0.03f);
  left->report();
  server.start();
  for (int i = 0; i < 10; ++i) {
    output.updateStick(0.0f, -0.5f);
    std::this_thread::sleep_for(20ms);
  }
  const auto lastSample = std::chrono::steady_clock::now();
  ASSERT_TRUE(server.waitFor([&] { return value(left, kThumbY) == 0.53f; }, 2s));
  ASSERT_TRUE(server.waitFor([&] { return value(left, kThumbY) == 0.03f; }, 3s));
  std::this_thread::sleep_for(100ms);
  server.stop();
  const auto updates = server.updatesOf(left->handle(kThumbY));
  ASSERT_GE(updates.size(), 3u);
  EXPECT_FLOAT_EQ(updates.back().value, 0.03f);
  EXPECT_FLOAT_EQ(updates[updates.size() - 2].value, 0.53f);  // one push of the real value
  EXPECT_GE(updates.back().at - lastSample, 450ms);
}

TEST_F(HookOutputChain, JumpPressesAndReleasesTheConfiguredButton) {
  settings.config.edit([&](core::Config& c) { c.outputs.jump_hook_button = "Right: B"; });
  output.setJump(true);
  server.frame();
  server.frame();
  EXPECT_TRUE(pressed(right, "/input/b/click"));
  EXPECT_FALSE(pressed(left, "/input/a/click"));
  output.setJump(false);
  server.frame();
  EXPECT_FALSE(pressed(right, "/input/b/click"));
}

TEST_F(HookOutputChain, SerialAddressingReachesOnlyThatController) {
  settings.config.edit([&](core::Config& c) { c.outputs.hook_target_serial = "LHR-RIGHT"; });
  output.updateStick(0.0f, -1.0f);
  server.frame();
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/y"), 1.0f);
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.0f);
}

TEST_F(HookOutputChain, CentringHandsTheStickBack) {
  output.updateStick(0.5f, -0.5f);
  server.frame();
  EXPECT_FLOAT_EQ(value(left, "/input/thumbstick/x"), 0.5f);
  output.centerAll();
  server.frame();
  server.frame();
  EXPECT_FLOAT_EQ(value(left, "/input/thumbstick/x"), 0.0f);
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.0f);
}

}  // namespace

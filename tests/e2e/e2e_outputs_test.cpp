// The phone's lean through each output the game can listen to: VRChat's OSC input,
// simulated keys, the virtual pad, the SteamVR driver and the OpenXR layer.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/hook/hook_protocol.h"
#include "platform/port_probe.h"
#include "testing/fake_vrserver/fake_vrserver.h"
#include "testing/support/free_port.h"
#include "testing/support/xvfb_server.h"
#include "testing/uinput_stand_in/uinput_stand_in.h"
#include "testing/xr_game/xr_chain.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {
namespace {

TEST(EndToEnd, PhoneToVRChatWalksJumpsAndComesToRestWhenThePhoneStops) {
  VrchatListener vrchat;
  ASSERT_TRUE(vrchat.listening());
  UserHome home;
  const int phonePort = testsupport::freeUdpPort();
  home.writeSettings(R"j("mode": "VRChat OSC", "tracker_source": "Phone", "hmd_source": "Phone (Acceleration)", )j"
                     R"("owotrack_input_port": )" +
                     std::to_string(phonePort) + R"(, "vrchat_osc_port": )" + std::to_string(vrchat.port()));
  PackagedProgram program(home);
  ASSERT_TRUE(program.started()) << program.log();

  auto phone = startPhone(phonePort, {"--seconds", "2", "--rate", "100", "--lean", "0:0,0.3:30", "--jump", "1.2"});
  EXPECT_TRUE(vrchat.waitFor([](const OscValue& m) { return m.address == "/input/Vertical" && m.value > 0.5; }))
      << program.log();
  EXPECT_TRUE(vrchat.waitFor([](const OscValue& m) { return m.address == "/input/Jump" && m.value == 1; }))
      << program.log();
  EXPECT_EQ(phone->waitForExit(30s), 0) << phone->errors();
  // The phone fell silent while leaning: the watchdog brings VRChat to rest.
  EXPECT_TRUE(vrchat.waitForLast("/input/Vertical", [](double v) { return v == 0; })) << program.log();
  EXPECT_EQ(vrchat.last("/input/Jump"), 0);
  EXPECT_EQ(program.stop(), 0) << program.log();
}

// A phone on a free port and the program reading it, in the given output mode.
struct PhoneRoad {
  explicit PhoneRoad(const std::string& members, const std::map<std::string, std::string>& environment = {}) {
    home.writeSettings(R"("tracker_source": "Phone", "owotrack_input_port": )" + std::to_string(port) + ", " + members);
    program = std::make_unique<PackagedProgram>(home, environment);
  }
  UserHome home;
  int port = testsupport::freeUdpPort();
  std::unique_ptr<PackagedProgram> program;
};

TEST(EndToEnd, PhoneToKeysHoldsWWhileLeaningAndLeavesNothingDown) {
  testsupport::XvfbServer xvfb;
  ASSERT_TRUE(xvfb.running()) << xvfb.problem();
  if (access("/dev/uinput", W_OK) == 0) GTEST_SKIP() << "/dev/uinput is writable: keys go through uinput, not XTest";
  PhoneRoad road(R"("mode": "Keyboard")", {{"DISPLAY", xvfb.display()}});
  ASSERT_TRUE(road.program->started()) << road.program->log();
  testsupport::XKeyboardObserver keyboard(xvfb.display());
  ASSERT_TRUE(keyboard.connected());

  // Lean, stand straight, then lean again and quit mid-lean.
  auto phone = startPhone(road.port, {"--seconds", "3", "--lean", "0:0,0.3:25,1.8:25,2.1:0"});
  EXPECT_TRUE(eventually([&] { return keyboard.isDown(XK_w); }, 10s)) << road.program->log();
  EXPECT_FALSE(keyboard.isDown(XK_s));
  EXPECT_TRUE(eventually([&] { return !keyboard.isDown(XK_w); }, 10s));
  ASSERT_EQ(phone->waitForExit(30s), 0);
  EXPECT_EQ(keyboard.keysDown(), 0);
  auto again = startPhone(road.port, {"--seconds", "3", "--lean", "0:0,0.3:25"});
  EXPECT_TRUE(eventually([&] { return keyboard.isDown(XK_w); }, 10s));
  EXPECT_EQ(road.program->stop(), 0) << road.program->log();
  EXPECT_EQ(keyboard.keysDown(), 0);
}

// Run by run.sh under umockdev's preload, which records what reaches /dev/uinput.
TEST(EndToEnd, PhoneToPadPushesTheLeftStickAndUnplugsCentred) {
  testsupport::UinputStandIn device;
  ASSERT_EQ(device.problem(), "");
  PhoneRoad road(R"j("mode": "Xbox Controller (vJoy)")j");
  ASSERT_TRUE(road.program->started()) << road.program->log();
  ASSERT_TRUE(road.program->waitFor("[ViGEm] Xbox 360 controller initialized and plugged in.")) << road.program->log();
  const auto padConnection = [](const std::vector<testsupport::UinputStep>& steps) {
    for (const auto& step : steps)
      if (step.request == UI_DEV_SETUP && step.setup.id.vendor == 0x045e && step.setup.id.product == 0x028e)
        return step.connection;
    return 0;
  };
  EXPECT_EQ(runPhone(road.port, {"--seconds", "1.5", "--lean", "0:0,0.3:30"}), 0);
  EXPECT_TRUE(device.waitFor(
      [&](const std::vector<testsupport::UinputStep>& steps) {
        const int pad = padConnection(steps);
        for (const auto& step : steps)
          if (pad != 0 && step.connection == pad)
            for (const input_event& event : step.events)
              if (event.type == EV_ABS && event.code == ABS_Y && event.value < -16384) return true;
        return false;
      },
      5s))
      << road.program->log();
  EXPECT_EQ(road.program->stop(), 0) << road.program->log();
  const int pad = padConnection(device.steps());
  ASSERT_NE(pad, 0);
  const auto state = testsupport::reportedState(device.events(pad));
  EXPECT_EQ(state.at({EV_ABS, ABS_X}), 0);
  EXPECT_GE(state.at({EV_ABS, ABS_Y}), -1);  // centred (y is inverted, so 0 may read -1)
  for (const auto& [key, value] : state) {
    if (key.first == EV_KEY) {
      EXPECT_EQ(value, 0) << "button " << key.second << " left down";
    }
  }
  EXPECT_EQ(device.requests(pad).back(), UI_DEV_DESTROY);
  EXPECT_TRUE(device.allClosed());
}

TEST(EndToEnd, PhoneToSteamVrDriverMovesTheThumbstickAndPressesJump) {
  if (platform::isPortInUse(hook::kDriverPort, platform::PortProtocol::Udp))
    GTEST_SKIP() << "port " << hook::kDriverPort << " is in use by another process";
  fakevr::FakeVrServer server;
  std::string error;
  ASSERT_TRUE(server.loadDriver(packaged("drivers/gaitrelay/bin/linux64/driver_gaitrelay.so"), error)) << error;
  ASSERT_EQ(server.init(), vr::VRInitError_None);
  auto& left = server.addController(1, "LHR-LEFT", fakevr::FakeVrServer::thumbstickAxes(), {"/input/a/click"});
  auto& right = server.addController(2, "LHR-RIGHT", fakevr::FakeVrServer::thumbstickAxes(), {"/input/a/click"});
  server.start();
  const auto stickY = [&] { return server.realInput().component(left.handle("/input/thumbstick/y")).scalar; };
  const auto jumpDown = [&] { return server.realInput().component(right.handle("/input/a/click")).boolean; };
  {
    PhoneRoad road(R"j("mode": "SteamVR Hook", "hmd_source": "Phone (Acceleration)", "jump_hook_button": "Right: A")j");
    ASSERT_TRUE(road.program->started()) << road.program->log();
    auto phone = startPhone(road.port, {"--seconds", "2", "--lean", "0:0,0.3:25", "--jump", "1.0"});
    EXPECT_TRUE(server.waitFor([&] { return stickY() > 0.3f; }, 5s)) << road.program->log();
    EXPECT_TRUE(server.waitFor(jumpDown, 5s)) << road.program->log();
    EXPECT_TRUE(server.waitFor([&] { return !jumpDown(); }, 5s));
    EXPECT_EQ(phone->waitForExit(30s), 0);
    // Once the phone is silent the driver hands the stick back to the real controller.
    EXPECT_TRUE(server.waitFor([&] { return stickY() == 0.0f; }, 5s)) << road.program->log();
    EXPECT_EQ(road.program->stop(), 0) << road.program->log();
  }
  server.cleanup();
}

TEST(EndToEnd, PhoneToOpenXrLayerMovesTheGamesStick) {
  forgetStaleOpenXrRecords();
  PhoneRoad road(R"("mode": "OpenXR API Layer", "hmd_source": "Disabled")");
  ASSERT_TRUE(road.program->started()) << road.program->log();
  ASSERT_EQ(registerPackagedLayer(road.home), "");
  const std::string dataHome = road.home.file(".local/share");
  auto chain = testsupport::makeLoaderChain({.registeredDataHome = dataHome.c_str()});
  ASSERT_EQ(chain->error(), "");
  const float origin[3] = {0, 0, 0}, level[4] = {0, 0, 0, 1};
  chain->runtime().SetPose("/user/head", origin, level);
  chain->runtime().SetInput("/user/hand/left/input/thumbstick", 0, 0);
  {
    testsupport::XrGame game(chain->getProcAddr(), chain->createInstance());
    ASSERT_EQ(game.start(), XR_SUCCESS);
    const XrAction move = game.action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
    ASSERT_EQ(
        game.suggest("/interaction_profiles/oculus/touch_controller", {{move, "/user/hand/left/input/thumbstick"}}),
        XR_SUCCESS);
    ASSERT_EQ(game.attach(), XR_SUCCESS);
    ASSERT_EQ(game.begin(), XR_SUCCESS);
    auto phone = startPhone(road.port, {"--seconds", "2", "--lean", "0:0,0.3:25"});
    const auto stickForward = [&](bool forward) {
      return eventually(
          [&] {
            const auto stick = game.stick(move);
            return game.frame(true) == XR_SUCCESS && stick.isActive && (stick.currentState.y > 0.3f) == forward;
          },
          8s);
    };
    EXPECT_TRUE(stickForward(true)) << road.program->log();
    EXPECT_EQ(phone->waitForExit(30s), 0);
    EXPECT_TRUE(stickForward(false)) << road.program->log();
    EXPECT_EQ(chain->runtime().refusals(), "");
  }
  EXPECT_EQ(road.program->stop(), 0) << road.program->log();
}

}  // namespace
}  // namespace e2e

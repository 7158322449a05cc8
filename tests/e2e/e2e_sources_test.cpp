// Every tracking source through the packaged program, seen where the user sees it:
// SlimeVR's OSC stream and its SolarXR feed walking in VRChat, and the head from
// SteamVR or from an OpenXR game jumping and crouching.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "testing/support/free_port.h"
#include "testing/support/xvfb_server.h"
#include "testing/xr_game/xr_chain.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {
namespace {

const auto walking = [](const OscValue& m) { return m.address == "/input/Vertical" && m.value > 0.5; };
// Standing straight: the stick settles toward zero through its smoothing.
const auto settled = [](double vertical) { return vertical >= 0 && vertical < 0.01; };
const auto jumpAt = [](double value) {
  return [value](const OscValue& m) { return m.address == "/input/Jump" && m.value == value; };
};

// The SlimeVR server's OSC stream, played by liblo's oscsend.
void slimeVr(int port, const std::string& address, const std::vector<std::string>& floats) {
  std::vector<std::string> arguments{"127.0.0.1", std::to_string(port), address, std::string(floats.size(), 'f')};
  arguments.insert(arguments.end(), floats.begin(), floats.end());
  ChildProcess send("/usr/bin/oscsend", arguments, {}, "");
  ASSERT_EQ(send.waitForExit(5s), 0) << send.errors();
}

TEST(EndToEnd, SlimeVrOscLeanWalksInVRChatTheHeadJumpsAndLevelStops) {
  VrchatListener vrchat;
  ASSERT_TRUE(vrchat.listening());
  UserHome home;
  const int oscPort = testsupport::freeUdpPort();
  home.writeSettings(R"j("mode": "VRChat OSC", "tracker_source": "SlimeVR (OSC)", "slime_tracker_id": 3, )j"
                     R"j("hmd_source": "SlimeVR (OSC)", "osc_input_port": )j" +
                     std::to_string(oscPort) + R"(, "vrchat_osc_port": )" + std::to_string(vrchat.port()));
  PackagedProgram program(home);
  ASSERT_TRUE(program.started()) << program.log();

  // Another tracker's sideways lean moves nothing; tracker 3 swaying around 30 degrees forward walks straight.
  slimeVr(oscPort, "/tracking/trackers/1/rotation", {"0", "0", "30"});
  for (int i = 0; i < 8; ++i) slimeVr(oscPort, "/tracking/trackers/3/rotation", {std::to_string(30 + i % 2), "0", "0"});
  ASSERT_TRUE(vrchat.waitFor(walking)) << program.log();
  for (const OscValue& m : vrchat.received())
    EXPECT_TRUE(m.address != "/input/Horizontal" || m.value == 0) << "sideways " << m.value;

  // The head rising 25 cm: VRChat jumps once and lands.
  const std::size_t beforeJump = vrchat.received().size();
  slimeVr(oscPort, "/tracking/trackers/head/position", {"0", "1.60", "0"});
  slimeVr(oscPort, "/tracking/trackers/head/position", {"0", "1.85", "0"});
  EXPECT_TRUE(vrchat.waitFor(jumpAt(0), 8s, beforeJump)) << program.log();
  EXPECT_TRUE(vrchat.waitFor(jumpAt(1), 1s, beforeJump));
  EXPECT_EQ(countOf(program.log(), "Engine: Jump detected (Height)!"), 1u) << program.log();

  // Standing up straight stops the walk while tracking goes on: the watchdog has no part in it.
  for (int i = 0; i < 30; ++i)
    slimeVr(oscPort, "/tracking/trackers/3/rotation", {std::to_string(0.5 * (i % 2)), "0", "0"});
  EXPECT_TRUE(vrchat.waitForLast("/input/Vertical", settled)) << program.log();
  EXPECT_EQ(vrchat.last("/input/Horizontal"), 0);
  EXPECT_EQ(program.stop(), 0) << program.log();
  EXPECT_EQ(countOf(program.log(), "Watchdog: "), 0u) << program.log();
}

TEST(EndToEnd, SolarXrFeedLeanWalksInVRChatAndLevelStops) {
  VrchatListener vrchat;
  ASSERT_TRUE(vrchat.listening());
  UserHome home;
  ChildProcess server(STRIVO_SOLARXR_SERVER,
                      {"--port", "0", "--tracker", "Chest", "--seconds", "4", "--lean-seconds", "1.5"}, {}, "");
  ASSERT_TRUE(server.waitForOutput("listening on port ", 10s)) << server.errors();
  const std::string announced = server.output();
  const std::string port =
      announced.substr(announced.find("port ") + 5, announced.find('\n') - announced.find("port ") - 5);
  home.writeSettings(R"j("mode": "VRChat OSC", "tracker_source": "SlimeVR (SolarXR)", "hmd_source": "Disabled", )j"
                     R"j("slime_tracker_name": "Chest", "solarxr_port": )j" +
                     port + R"(, "vrchat_osc_port": )" + std::to_string(vrchat.port()));
  PackagedProgram program(home);
  ASSERT_TRUE(program.started()) << program.log();

  EXPECT_TRUE(program.waitFor("SolarXR: Connected", 10s)) << program.log();
  EXPECT_TRUE(server.waitForOutput("request ok", 5s)) << server.output() << server.errors();
  EXPECT_TRUE(vrchat.waitFor(walking)) << program.log();
  // The chest comes level: VRChat comes to rest while the feed goes on.
  ASSERT_TRUE(server.waitForOutput("level", 10s)) << server.output();
  EXPECT_TRUE(vrchat.waitForLast("/input/Vertical", settled)) << program.log();
  EXPECT_EQ(vrchat.last("/input/Horizontal"), 0);
  EXPECT_EQ(server.waitForExit(10s), 0) << server.errors();
  EXPECT_EQ(program.stop(), 0) << program.log();
  EXPECT_EQ(countOf(program.log(), "Watchdog: "), 0u) << program.log();
}

TEST(EndToEnd, SteamVrHeadJumpsInVRChatAndCrouchHoldsTheCrouchKey) {
  testsupport::XvfbServer x;
  ASSERT_TRUE(x.running()) << x.problem();
  testsupport::XKeyboardObserver keyboard(x.display());
  ASSERT_TRUE(keyboard.connected());
  VrchatListener vrchat;
  ASSERT_TRUE(vrchat.listening());
  UserHome home;
  // Standing at 1.70 m; a 20 cm rise in a tenth of a second at 1.5 s; down to 1.00 m
  // between 3 and 4 s; slowly back up to standing between 6 and 8 s.
  const std::string script =
      installSteamVr(home,
                     "device 0 1 0 Visor-9 V9-001\n"
                     "position 0 0 0 1.70 0\nposition 0 1.5 0 1.70 0\nposition 0 1.6 0 1.90 0\n"
                     "position 0 3 0 1.90 0\nposition 0 4 0 1.00 0\nposition 0 6 0 1.00 0\nposition 0 8 0 1.70 0\n");
  // Walking and jumping go to VRChat; it has no crouch input, so crouching holds the crouch key.
  home.writeSettings(R"j("mode": "VRChat OSC", "tracker_source": "None", "hmd_source": "SteamVR (OpenVR)", )j"
                     R"j("squat_source": "SteamVR (OpenVR)", "squat_output_mode": "Keyboard", "squat_is_hold": true, )j"
                     R"j("vrchat_osc_port": )j" +
                     std::to_string(vrchat.port()));
  PackagedProgram program(home, {{"DISPLAY", x.display()}, {"FAKE_OPENVR_SCRIPT", script}});
  ASSERT_TRUE(program.started()) << program.log();

  EXPECT_TRUE(vrchat.waitFor(jumpAt(1))) << program.log();
  EXPECT_TRUE(vrchat.waitFor(jumpAt(0))) << program.log();
  EXPECT_TRUE(eventually([&] { return keyboard.isDown(XK_Control_L); }, 8s)) << program.log();
  EXPECT_NE(program.log().find("Engine: Crouching detected!"), std::string::npos);
  EXPECT_TRUE(program.waitFor("Engine: Standing up detected!", 8s)) << program.log();
  EXPECT_TRUE(eventually([&] { return keyboard.keysDown() == 0; }, 2s));
  EXPECT_EQ(program.stop(), 0) << program.log();

  const std::string log = program.log();
  EXPECT_NE(log.find("[OpenVRManager] Session initialized (Ref: 1)"), std::string::npos) << log;
  EXPECT_EQ(countOf(log, "Engine: Jump detected"), 1u) << "crouching and standing up slowly are no jumps\n" << log;
  EXPECT_EQ(countOf(log, "Engine: Crouching detected!"), 1u) << log;
  std::size_t jumps = 0;
  for (const OscValue& m : vrchat.received()) jumps += m.address == "/input/Jump" && m.value == 1;
  EXPECT_EQ(jumps, 1u);
}

TEST(EndToEnd, OpenXrGamesHeadJumpsAndCrouchesInTheGameThroughThePackagedLayer) {
  forgetStaleOpenXrRecords();
  UserHome home;
  ASSERT_EQ(registerPackagedLayer(home), "");
  home.writeSettings(R"j("mode": "OpenXR API Layer", "tracker_source": "None", "hmd_source": "OpenXR (In-Game)", )j"
                     R"j("squat_source": "OpenXR (In-Game)", "squat_is_hold": true, "jump_duration": 1.0)j");
  PackagedProgram program(home);
  ASSERT_TRUE(program.started()) << program.log();

  // The game: the real loader finds the layer the package registered, and the fake runtime.
  const std::string dataHome = home.file(".local/share");
  auto chain = testsupport::makeLoaderChain({.registeredDataHome = dataHome.c_str()});
  ASSERT_EQ(chain->error(), "");
  FakeRuntimeControl& runtime = chain->runtime();
  // The head's height above the floor; the runtime places it in its local space, whose
  // origin is above the floor.
  float height = 1.70f;
  const auto placeHead = [&] {
    const float level[4] = {0, 0, 0, 1}, head[3] = {0, height - kFakeStageFloorBelowLocal, 0};
    runtime.SetPose("/user/head", head, level);
  };
  placeHead();
  testsupport::XrGame game(chain->getProcAddr(), chain->createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  const XrAction jump = game.action("jump", XR_ACTION_TYPE_BOOLEAN_INPUT);
  const XrAction crouch = game.action("crouch", XR_ACTION_TYPE_BOOLEAN_INPUT);
  ASSERT_EQ(game.suggest("/interaction_profiles/oculus/touch_controller",
                         {{jump, "/user/hand/right/input/a/click"}, {crouch, "/user/hand/right/input/b/click"}}),
            XR_SUCCESS);
  ASSERT_EQ(game.attach(), XR_SUCCESS);
  ASSERT_EQ(game.begin(), XR_SUCCESS);
  // Plays frames, moving the head by `step` metres a frame toward `target`, until `until` holds.
  const auto play = [&](float target, float step, const std::function<bool()>& until) {
    return eventually(
        [&] {
          height = height < target ? std::min(target, height + step) : std::max(target, height - step);
          placeHead();
          return game.frame(true) == XR_SUCCESS && until();
        },
        20s);
  };
  const auto pressed = [&](XrAction action) { return game.button(action).currentState == XR_TRUE; };

  ASSERT_TRUE(play(1.70f, 0, [&] { return countOf(program.output(), "[OpenXR HMD] Attached") > 0; })) << program.log();
  const auto standingUntil = std::chrono::steady_clock::now() + 300ms;  // the program sees the standing head
  ASSERT_TRUE(play(1.70f, 0, [&] { return std::chrono::steady_clock::now() > standingUntil; }));
  // A quick 25 cm rise: the game's jump is pressed, then let go after the jump's duration.
  EXPECT_TRUE(play(1.95f, 0.25f, [&] { return pressed(jump); })) << program.log();
  EXPECT_FALSE(pressed(crouch));
  EXPECT_TRUE(play(1.95f, 0, [&] { return !pressed(jump); })) << program.log();
  // Crouching to 1 m holds the game's crouch; standing up slowly (at most half a metre a
  // second, since frames are 10 ms apart or more) lets it go without a jump.
  EXPECT_TRUE(play(1.00f, 0.02f, [&] { return pressed(crouch); })) << program.log();
  EXPECT_TRUE(play(1.70f, 0.005f, [&] { return height >= 1.70f && !pressed(crouch); })) << program.log();
  EXPECT_FALSE(pressed(jump));
  EXPECT_EQ(program.stop(), 0) << program.log();

  const std::string log = program.log();
  EXPECT_EQ(countOf(log, "Engine: Jump detected"), 1u) << log;
  EXPECT_EQ(countOf(log, "Engine: Crouching detected!"), 1u) << log;
  EXPECT_EQ(countOf(log, "Engine: Standing up detected!"), 1u) << log;
  EXPECT_EQ(runtime.refusals(), "");
}

}  // namespace
}  // namespace e2e

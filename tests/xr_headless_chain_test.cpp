// The OpenXR road end to end: a game (this test) runs through the real OpenXR loader
// with the staged layer and the fake runtime; strivovr-headless in "OpenXR API Layer"
// mode with the head source "OpenXR (In-Game)" runs beside it; phone_sim leans.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"
#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"
#include "testing/xr_game/xr_chain.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::XrGame;

constexpr char kTouch[] = "/interaction_profiles/oculus/touch_controller";
constexpr char kLeftStick[] = "/user/hand/left/input/thumbstick";

// Runs game frames until `condition` holds; bounded by `timeout`.
template <typename Condition>
bool frameUntil(XrGame& game, Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (game.frame(true) != XR_SUCCESS) return false;
    if (condition()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

struct FreshRecords {
  FreshRecords() { remove(); }
  ~FreshRecords() { remove(); }
  static void remove() {
    platform::SharedMemory::removeName(xrshm::kInputRecordName);
    platform::SharedMemory::removeName(xrshm::kStateRecordName);
  }
};

TEST(XrHeadlessChain, PhoneLeanMovesTheGamesStickAndTheGamesHeadJumpPressesItsJump) {
  FreshRecords records;
  auto chain = testsupport::makeLoaderChain({});
  ASSERT_EQ(chain->error(), "");
  FakeRuntimeControl& runtime = chain->runtime();
  const float standing[3] = {0.0f, 0.0f, 0.0f}, level[4] = {0, 0, 0, 1};
  runtime.SetPose("/user/head", standing, level);
  runtime.SetInput(kLeftStick, 0, 0);

  testsupport::TempFolder home("xr_headless_chain");
  const int port = testsupport::freeUdpPort();
  ASSERT_NE(port, 0);
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                         "{\"owotrack_input_port\": " + std::to_string(port) +
                             ", \"mode\": \"OpenXR API Layer\", \"hmd_source\": \"OpenXR (In-Game)\""
                             ", \"jump_duration\": 1.0}");
  ChildProcess program(testsupport::distFolder() + "/strivovr-headless", {},
                       {{"XDG_CONFIG_HOME", home.file("config")}, {"XDG_RUNTIME_DIR", home.path().string()}},
                       home.path().string());
  ASSERT_TRUE(program.waitForOutput("[Main] Logic initialized.", 10s)) << program.output() << program.errors();
  EXPECT_NE(program.output().find("[OpenXR Out] Shared memory initialized for input injection."), std::string::npos);
  // No game yet: the head source says so, and keeps looking.
  EXPECT_NE(program.errors().find("[OpenXR HMD] Shared memory not found. Is the game running with the OpenXR layer?"),
            std::string::npos);

  // The game starts after the program: its layer attaches to the input record and makes the state record.
  XrGame game(chain->getProcAddr(), chain->createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  const XrAction move = game.action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
  const XrAction jump = game.action("jump", XR_ACTION_TYPE_BOOLEAN_INPUT);
  ASSERT_EQ(game.suggest(kTouch, {{move, kLeftStick}, {jump, "/user/hand/right/input/a/click"}}), XR_SUCCESS);
  ASSERT_EQ(game.attach(), XR_SUCCESS);
  ASSERT_EQ(game.begin(), XR_SUCCESS);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);

  EXPECT_TRUE(frameUntil(
      game, [&] { return program.output().find("[OpenXR HMD] Attached") != std::string::npos; }, 5s))
      << program.output() << program.errors();
  EXPECT_TRUE(frameUntil(
      game, [&] { return program.output().find("[OpenXR Out] A game with the layer is running") != std::string::npos; },
      5s))
      << program.output();

  // The head the layer publishes reaches the engine: standing, then a quick 0.5 m rise is a jump,
  // pressed on the game's jump action through the input record, and released after its duration.
  frameUntil(
      game, [] { return false; }, 300ms);  // the program sees the standing head for a while
  const float jumped[3] = {0.0f, 0.5f, 0.0f};
  runtime.SetPose("/user/head", jumped, level);
  EXPECT_TRUE(frameUntil(
      game, [&] { return game.button(jump).currentState == XR_TRUE; }, 5s))
      << program.output() << program.errors();
  EXPECT_TRUE(program.waitForOutput("Engine: Jump detected (Height)!", 1s));
  EXPECT_TRUE(frameUntil(
      game, [&] { return game.button(jump).currentState == XR_FALSE; }, 5s));

  // Leaning forward with the phone pushes the game's move action forward.
  ChildProcess phone(
      testsupport::distFolder() + "/phone_sim",
      {"--port", std::to_string(port), "--seconds", "2", "--rate", "60", "--lean", "0:0,0.3:25", "--quiet"}, {},
      home.path().string());
  XrActionStateVector2f stick{};
  EXPECT_TRUE(frameUntil(
      game,
      [&] {
        stick = game.stick(move);
        return stick.isActive && stick.currentState.y > 0.3f;
      },
      5s))
      << "move y " << stick.currentState.y << "\n"
      << program.output();
  const auto lastFrame = std::chrono::steady_clock::now();
  EXPECT_NEAR(stick.currentState.x, 0.0f, 0.1f);
  EXPECT_EQ(phone.waitForExit(10s), 0) << phone.errors();

  // The game stops rendering: after three seconds without a frame the program says so.
  EXPECT_TRUE(program.waitForOutput("[OpenXR Out] The game with the layer stopped", 6s)) << program.output();
  EXPECT_GE(std::chrono::steady_clock::now() - lastFrame, 2900ms);

  program.signal(SIGTERM);
  EXPECT_EQ(program.waitForExit(5s), 0) << program.errors();
  EXPECT_NE(program.output().find("[OpenXR HMD] Stopped."), std::string::npos);
  EXPECT_EQ(runtime.refusals(), "");
}

}  // namespace

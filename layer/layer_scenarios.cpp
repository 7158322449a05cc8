#include "layer/layer_scenarios.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace layertest {
namespace {

// The layer's test clock, set before any layer code runs. putenv keeps the buffer
// on POSIX and copies it on Windows, so every change is put again.
unsigned long long g_clockMs = 1'000'000;
char g_clockVariable[64];
void putClock() {
  std::snprintf(g_clockVariable, sizeof g_clockVariable, "STRIVO_XR_LAYER_CLOCK_MS=%llu", g_clockMs);
  putenv(g_clockVariable);
}
const bool g_clockInstalled = (putClock(), true);

}  // namespace

void ProgramSide::advanceClock(unsigned milliseconds) {
  g_clockMs += milliseconds;
  putClock();
}

using testsupport::XrGame;

ProgramSide::ProgramSide() {
  platform::SharedMemory::removeName(xrshm::kInputRecordName);
  platform::SharedMemory::removeName(xrshm::kStateRecordName);
  if (input_.createOrAttach(xrshm::kInputRecordName, xrshm::kInputRecordSize)) {
    std::memset(input_.data(), 0, xrshm::kInputRecordSize);
  }
}

ProgramSide::~ProgramSide() {
  input_.close();
  state_.close();
  platform::SharedMemory::removeName(xrshm::kInputRecordName);
  platform::SharedMemory::removeName(xrshm::kStateRecordName);
}

const xrshm::StateRecord* ProgramSide::state() {
  if (!state_.isOpen()) state_.openExistingReadOnly(xrshm::kStateRecordName, xrshm::kStateRecordSize);
  return static_cast<const xrshm::StateRecord*>(state_.data());
}

namespace {

constexpr char kLeftStick[] = "/user/hand/left/input/thumbstick";

void expectStick(const XrActionStateVector2f& state, float x, float y, bool changed, const char* when) {
  SCOPED_TRACE(when);
  EXPECT_TRUE(state.isActive);
  EXPECT_FLOAT_EQ(state.currentState.x, x);
  EXPECT_FLOAT_EQ(state.currentState.y, y);
  EXPECT_EQ(state.changedSinceLastSync, changed ? XR_TRUE : XR_FALSE);
}

}  // namespace

void stickScenario(testsupport::XrChain& chain, const std::string& expectedRefusals) {
  ASSERT_EQ(chain.error(), "");
  ProgramSide program;
  auto& runtime = chain.runtime();
  runtime.SetInput(kLeftStick, 0, 0);
  XrGame game(chain.getProcAddr(), chain.createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  const XrAction move = game.action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
  const XrAction look = game.action("look", XR_ACTION_TYPE_VECTOR2F_INPUT);
  ASSERT_EQ(game.suggest(kTouch, {{move, kLeftStick}, {look, "/user/hand/right/input/thumbstick"}}), XR_SUCCESS);
  ASSERT_EQ(game.attach(), XR_SUCCESS);
  ASSERT_EQ(game.begin(), XR_SUCCESS);

  // Before the program asks for anything the game reads the runtime's values.
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  XrActionStateVector2f state = game.stick(move);
  EXPECT_EQ(state.changedSinceLastSync, XR_FALSE);
  EXPECT_FLOAT_EQ(state.currentState.y, 0);

  xrshm::InputRecord& input = program.input();
  input.leftActive = 1;
  input.leftX = 0.3f;
  input.leftY = 0.7f;
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0, 0, false, "a record never seen changing injects nothing");
  program.publish();
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0.3f, 0.7f, true, "real stick at rest");
  EXPECT_FALSE(game.stick(look).isActive) << "the right stick is neither injected nor present";

  runtime.SetInput(kLeftStick, 0, 0.049f);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0.3f, 0.749f, true, "real stick just inside the rest radius");

  runtime.SetInput(kLeftStick, 0, 0.051f);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0, 0.051f, true, "real stick just beyond the rest radius");

  input.leftX = 1.0f;
  input.leftY = -1.0f;
  runtime.SetInput(kLeftStick, 0.03f, -0.03f);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 1.0f, -1.0f, true, "sum clamped to the unit range");

  // A sequence standing still for 500 ms: released, as if the program had cleared it.
  runtime.SetInput(kLeftStick, 0, 0.02f);
  program.publish();
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 1.0f, -0.98f, true, "the layer sees the sequence move");
  ProgramSide::advanceClock(499);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 1.0f, -0.98f, true, "sequence 499 ms old");
  ProgramSide::advanceClock(1);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0, 0, true, "first stale frame");
  expectStick(game.stick(move), 0, 0.02f, false, "the real stick after it");
  ProgramSide::advanceClock(10000);
  program.publish();
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 1.0f, -0.98f, true, "the sequence moved again");
  runtime.SetInput(kLeftStick, 0.03f, -0.03f);

  input.leftX = std::numeric_limits<float>::quiet_NaN();
  input.leftY = std::numeric_limits<float>::infinity();
  input.leftActive = 0xff;  // any non-zero byte means active
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0.03f, -0.03f, true, "a record holding no numbers injects nothing");

  input.leftActive = 0;
  runtime.SetInput(kLeftStick, 0, 0.02f);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0, 0, true, "release frame");
  expectStick(game.stick(move), 0, 0.02f, false, "after the release frame");
  EXPECT_EQ(game.lastQuery(), XR_SUCCESS);

  EXPECT_EQ(runtime.refusals(), expectedRefusals);
  EXPECT_EQ(runtime.SyncCount("gameplay"), 12);
  EXPECT_EQ(runtime.SyncCount("api_layer_internal"), 12) << "the layer's set rides along with the game's syncs";
}

void buttonAndAxisScenario(testsupport::XrChain& chain) {
  ASSERT_EQ(chain.error(), "");
  ProgramSide program;
  auto& runtime = chain.runtime();
  XrGame game(chain.getProcAddr(), chain.createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  const XrAction jump = game.action("jump", XR_ACTION_TYPE_BOOLEAN_INPUT);
  const XrAction crouch = game.action("crouch", XR_ACTION_TYPE_BOOLEAN_INPUT);
  const XrAction grab = game.action("grab", XR_ACTION_TYPE_BOOLEAN_INPUT, {"/user/hand/left", "/user/hand/right"});
  const XrAction strafe = game.action("strafe", XR_ACTION_TYPE_FLOAT_INPUT);
  const XrAction walk = game.action("walk", XR_ACTION_TYPE_FLOAT_INPUT);
  const XrAction fire = game.action("fire", XR_ACTION_TYPE_FLOAT_INPUT);
  ASSERT_EQ(game.suggest(kTouch, {{jump, "/user/hand/right/input/a/click"},
                                  {crouch, "/user/hand/left/input/y/click"},
                                  {grab, "/user/hand/left/input/x/click"},
                                  {grab, "/user/hand/right/input/b/click"},
                                  {strafe, "/user/hand/left/input/thumbstick/x"},
                                  {walk, "/user/hand/left/input/thumbstick/y"},
                                  {fire, "/user/hand/right/input/trigger/value"}}),
            XR_SUCCESS);
  // Trigger and grip clicks exist on another controller; the runtime's current one is Touch.
  const XrAction shoot = game.action("shoot", XR_ACTION_TYPE_BOOLEAN_INPUT);
  const XrAction hold = game.action("hold", XR_ACTION_TYPE_BOOLEAN_INPUT);
  ASSERT_EQ(game.suggest(kVive, {{shoot, "/user/hand/right/input/trigger/click"},
                                 {hold, "/user/hand/left/input/squeeze/click"}}),
            XR_SUCCESS);
  ASSERT_EQ(game.attach(), XR_SUCCESS);
  ASSERT_EQ(game.begin(), XR_SUCCESS);

  xrshm::InputRecord& input = program.input();
  // "A" held on the left hand presses a/click and x/click bindings of either hand.
  input.leftButtons = input.leftConfirm = xrshm::kButtonAX;
  // "B"/"Y" in the right mask without its confirm bit is not held.
  input.rightButtons = xrshm::kButtonBY;
  program.publish();  // the record was first seen at the instance's creation
  runtime.SetInput("/user/hand/right/input/trigger/value", 0.5f, 0);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  const XrActionStateBoolean jumped = game.button(jump);
  EXPECT_TRUE(jumped.currentState && jumped.isActive && jumped.changedSinceLastSync);
  EXPECT_FALSE(game.button(crouch).currentState);
  EXPECT_TRUE(game.button(grab, "/user/hand/left").currentState) << "left x/click";
  EXPECT_FALSE(game.button(grab, "/user/hand/right").currentState) << "right b/click needs the confirmed B/Y bit";
  const XrActionStateFloat fired = game.axis(fire);
  EXPECT_FLOAT_EQ(fired.currentState, 0.5f) << "trigger values are never injected";
  EXPECT_EQ(fired.changedSinceLastSync, XR_FALSE);

  input.rightConfirm = xrshm::kButtonBY;
  input.leftButtons = input.leftConfirm = 0;
  runtime.SetInput("/user/hand/right/input/a/click", 1, 0);  // the player presses A for real
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  EXPECT_TRUE(game.button(crouch).currentState) << "confirmed B/Y presses y/click";
  EXPECT_TRUE(game.button(grab, "/user/hand/right").currentState);
  EXPECT_TRUE(game.button(jump).currentState) << "a real press is never released by the layer";
  EXPECT_EQ(game.button(jump).changedSinceLastSync, XR_FALSE);
  EXPECT_FALSE(game.button(shoot).isActive);

  // Trigger and grip held on the left hand press click bindings of either hand.
  input.leftButtons = input.leftConfirm = xrshm::kButtonTrigger | xrshm::kButtonGrip | xrshm::kButtonThumbstickClick;
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  const XrActionStateBoolean shot = game.button(shoot);
  EXPECT_TRUE(shot.currentState && shot.isActive && shot.changedSinceLastSync);
  EXPECT_TRUE(game.button(hold).currentState);
  ProgramSide::advanceClock(500);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  EXPECT_FALSE(game.button(shoot).isActive) << "a stale record presses nothing";
  EXPECT_FALSE(game.button(hold).currentState);
  input.leftButtons = input.leftConfirm = 0;
  program.publish();

  // Stick axes: added while the real axis rests (|r| <= 0.05), left alone beyond.
  input.leftActive = 1;
  input.leftX = 0.5f;
  input.leftY = -0.8f;
  runtime.SetInput("/user/hand/left/input/thumbstick", 0.05f, 0.051f);
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  const XrActionStateFloat strafed = game.axis(strafe);
  EXPECT_FLOAT_EQ(strafed.currentState, 0.55f);
  EXPECT_TRUE(strafed.changedSinceLastSync);
  EXPECT_FLOAT_EQ(game.axis(walk).currentState, 0.051f);

  // Without a real stick the runtime reports the axes inactive; the layer's are active.
  runtime.ClearInput("/user/hand/left/input/thumbstick");
  input.leftY = -1.0f;
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  const XrActionStateFloat walked = game.axis(walk);
  EXPECT_TRUE(walked.isActive);
  EXPECT_FLOAT_EQ(walked.currentState, -1.0f);
  // A record holding no numbers moves neither axis, as with the two-axis stick.
  for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity()}) {
    input.leftX = bad;
    input.leftY = bad;
    ASSERT_EQ(game.frame(true), XR_SUCCESS);
    EXPECT_EQ(game.axis(strafe).currentState, 0.0f) << bad;
    EXPECT_EQ(game.axis(walk).currentState, 0.0f) << bad;
  }
  input.leftActive = 0;
  EXPECT_FALSE(game.axis(walk).isActive) << "nothing injected once the stick is inactive";
  EXPECT_EQ(runtime.refusals(), "");

  // A session the layer never saw: its own calls answer without the runtime, a
  // destroy still reaches the runtime (which knows it no better).
  const XrSession stranger = reinterpret_cast<XrSession>(std::uintptr_t{0xdead});
  auto syncInfo = xrStruct<XrActionsSyncInfo>(XR_TYPE_ACTIONS_SYNC_INFO);
  EXPECT_EQ(reinterpret_cast<PFN_xrSyncActions>(game.function("xrSyncActions"))(stranger, &syncInfo),
            XR_ERROR_HANDLE_INVALID);
  EXPECT_EQ(runtime.refusals(), "");
  EXPECT_EQ(reinterpret_cast<PFN_xrDestroySession>(game.function("xrDestroySession"))(stranger),
            XR_ERROR_HANDLE_INVALID);
  EXPECT_EQ(runtime.refusals(), "xrDestroySession: unknown session\n");
}

void publicationScenario(testsupport::XrChain& chain, bool stageSupported, bool gameSyncs) {
  ASSERT_EQ(chain.error(), "");
  ProgramSide program;
  auto& runtime = chain.runtime();
  runtime.SetStageSupported(stageSupported ? 1 : 0);
  const float head[3] = {0.1f, 0.2f, -0.3f};
  const float turned[4] = {0, 0.70710677f, 0, 0.70710677f};
  const float left[3] = {-0.2f, -0.3f, -0.4f};
  const float right[3] = {0.25f, -0.35f, -0.45f};
  const float level[4] = {0, 0, 0, 1};
  runtime.SetPose("/user/head", head, turned);
  runtime.SetPose("/user/hand/left/input/grip/pose", left, level);
  runtime.SetPose("/user/hand/right/input/grip/pose", right, turned);
  runtime.SetInput("/user/hand/left/input/trigger/value", 0.25f, 0);
  runtime.SetInput("/user/hand/right/input/squeeze/value", 0.75f, 0);
  runtime.SetInput("/user/hand/left/input/thumbstick", 0.1f, -0.2f);
  runtime.SetInput("/user/hand/right/input/a/click", 1, 0);
  runtime.SetInput("/user/hand/left/input/x/click", 1, 0);
  runtime.SetInput("/user/hand/left/input/menu/click", 1, 0);
  runtime.SetInput("/user/hand/right/input/thumbstick/click", 1, 0);

  XrGame game(chain.getProcAddr(), chain.createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  if (gameSyncs) {
    const XrAction select = game.action("select", XR_ACTION_TYPE_BOOLEAN_INPUT);
    ASSERT_EQ(game.suggest(kSimple, {{select, "/user/hand/left/input/select/click"}}), XR_SUCCESS);
    ASSERT_EQ(game.attach(), XR_SUCCESS);
  }
  ASSERT_EQ(game.begin(), XR_SUCCESS);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(game.frame(gameSyncs), XR_SUCCESS);

  const xrshm::StateRecord* state = program.state();
  ASSERT_NE(state, nullptr) << "the layer creates the state record";
  const float floor = stageSupported ? 1.5f : 0.0f;  // the fake's stage origin lies 1.5 m below local
  EXPECT_EQ(state->frameCounter, 3u);
  EXPECT_EQ(state->headValid, 1);
  EXPECT_FLOAT_EQ(state->headPosition[0], 0.1f);
  EXPECT_FLOAT_EQ(state->headPosition[1], 0.2f + floor);
  EXPECT_FLOAT_EQ(state->headPosition[2], -0.3f);
  EXPECT_FLOAT_EQ(state->headOrientation[1], 0.70710677f);
  EXPECT_FLOAT_EQ(state->headOrientation[3], 0.70710677f);
  EXPECT_EQ(state->left.valid, 1);
  EXPECT_FLOAT_EQ(state->left.position[1], -0.3f + floor);
  EXPECT_FLOAT_EQ(state->left.orientation[3], 1.0f);
  EXPECT_EQ(state->right.valid, 1);
  EXPECT_FLOAT_EQ(state->right.position[0], 0.25f);
  EXPECT_FLOAT_EQ(state->right.orientation[1], 0.70710677f);
  EXPECT_FLOAT_EQ(state->leftTrigger, 0.25f);
  EXPECT_FLOAT_EQ(state->rightGrip, 0.75f);
  EXPECT_FLOAT_EQ(state->rightTrigger, 0.0f);
  EXPECT_FLOAT_EQ(state->leftThumbstick[0], 0.1f);
  EXPECT_FLOAT_EQ(state->leftThumbstick[1], -0.2f);
  EXPECT_EQ(state->rightThumbstick[0], 0.0f);
  EXPECT_EQ(state->buttonA, 1);
  EXPECT_EQ(state->buttonX, 1);
  EXPECT_EQ(state->menu, 1);
  EXPECT_EQ(state->rightThumbstickClick, 1);
  EXPECT_EQ(state->buttonB, 0);
  EXPECT_EQ(state->leftTriggerClick, 0) << "the Touch profile has no trigger click to bind";
  EXPECT_EQ(runtime.SyncCount("api_layer_internal"), 3);
  EXPECT_EQ(runtime.SyncCount("gameplay"), gameSyncs ? 3 : 0);

  // The left controller drops out: its block turns invalid and keeps its last pose.
  runtime.ClearInput("/user/hand/left/input/grip/pose");
  ASSERT_EQ(game.frame(gameSyncs), XR_SUCCESS);
  EXPECT_EQ(state->frameCounter, 4u);
  EXPECT_EQ(state->left.valid, 0);
  EXPECT_FLOAT_EQ(state->left.position[0], -0.2f);
  EXPECT_EQ(state->right.valid, 1);
  EXPECT_EQ(runtime.refusals(), stageSupported ? "" : "xrCreateReferenceSpace: no stage\n");
}

void refusedLayerBindingScenario(testsupport::XrChain& chain) {
  ASSERT_EQ(chain.error(), "");
  ProgramSide program;
  auto& runtime = chain.runtime();
  runtime.RefusePath("/user/hand/right/input/b/click");
  runtime.SetInput(kLeftStick, 0, 0);
  runtime.SetInput("/user/hand/right/input/a/click", 1, 0);
  const float head[3] = {0, 1, 0};
  const float level[4] = {0, 0, 0, 1};
  runtime.SetPose("/user/head", head, level);
  XrGame game(chain.getProcAddr(), chain.createInstance());
  ASSERT_EQ(game.start(), XR_SUCCESS);
  const XrAction move = game.action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
  EXPECT_EQ(game.suggest(kTouch, {{move, kLeftStick}}), XR_SUCCESS) << "the game's own suggestion stands";
  ASSERT_EQ(game.attach(), XR_SUCCESS);
  ASSERT_EQ(game.begin(), XR_SUCCESS);
  program.input().leftActive = 1;
  program.input().leftY = 0.6f;
  program.publish();
  ASSERT_EQ(game.frame(true), XR_SUCCESS);
  expectStick(game.stick(move), 0, 0.6f, true, "injection still works");
  const xrshm::StateRecord* state = program.state();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->headValid, 1) << "the head needs no binding";
  EXPECT_EQ(state->buttonA, 0) << "the layer's own bindings were dropped";
  EXPECT_EQ(runtime.refusals(),
            "xrSuggestInteractionProfileBindings: /interaction_profiles/oculus/touch_controller has no "
            "/user/hand/right/input/b/click\n");
}

}  // namespace layertest

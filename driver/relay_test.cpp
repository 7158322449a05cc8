#include "driver/relay.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using gaitrelay::ButtonOverride;
using gaitrelay::kRoleLeft;
using gaitrelay::kRoleOther;
using gaitrelay::kRoleRight;
using gaitrelay::Relay;
using gaitrelay::StickOverride;

struct Push {
  vr::VRInputComponentHandle_t handle;
  float value;
};
std::vector<Push> g_pushes;

vr::EVRInputError recordScalar(vr::IVRDriverInput*, vr::VRInputComponentHandle_t handle, float value, double) {
  g_pushes.push_back({handle, value});
  return vr::VRInputError_None;
}
vr::EVRInputError recordBoolean(vr::IVRDriverInput*, vr::VRInputComponentHandle_t handle, bool value, double) {
  g_pushes.push_back({handle, value ? 1.0f : 0.0f});
  return vr::VRInputError_None;
}

class RelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pushes.clear();
    // Left controller with a thumbstick, right controller with serial "RIGHT-1".
    relay.registerScalar(11, "/input/thumbstick/x", kRoleLeft, "LEFT-1");
    relay.registerScalar(12, "/input/thumbstick/y", kRoleLeft, "LEFT-1");
    relay.registerScalar(21, "/input/joystick/x", kRoleRight, "RIGHT-1");
    relay.registerScalar(22, "/input/joystick/y", kRoleRight, "RIGHT-1");
  }
  void send(const char* text, std::uint64_t at) { relay.apply(hook::parse(text), at); }
  std::vector<Push> frame(std::uint64_t now) {
    g_pushes.clear();
    relay.pushSticks(nullptr, &recordScalar, now);
    relay.pushButtons(nullptr, &recordBoolean, now);
    return g_pushes;
  }
  Relay relay;
};

TEST_F(RelayTest, RealStickJustBeyondRadius005WinsAndJustInsideItTheOverrideIsAddedClamped) {
  EXPECT_FLOAT_EQ(relay.filterScalar(12, 0.02f, 0), 0.02f);  // no override yet
  send("L 0.5 0.97", 0);
  EXPECT_FLOAT_EQ(relay.filterScalar(22, 0.02f, 1), 0.02f);  // the right hand is untouched
  struct Case {
    float x, y, outX, outY;
  } cases[] = {
      {0, -0.051f, 0, -0.051f},
      {0, 0.049f, 0.5f, 1.0f},
      {0.051f, 0, 0.051f, 0},
      {-0.049f, 0, 0.451f, 0.97f},
      {0.036f, 0.036f, 0.036f, 0.036f},       // 0.0509 from the centre
      {0.0346f, -0.0346f, 0.5346f, 0.9354f},  // 0.0489
  };
  for (const Case& c : cases) {
    relay.filterScalar(11, c.x, 1);
    EXPECT_FLOAT_EQ(relay.filterScalar(12, c.y, 1), c.outY) << c.x << "," << c.y;
    const auto pushes = frame(2);
    ASSERT_EQ(pushes.size(), 2u);
    EXPECT_EQ(pushes[0].handle, 11u);
    EXPECT_FLOAT_EQ(pushes[0].value, c.outX) << c.x << "," << c.y;
    EXPECT_FLOAT_EQ(pushes[1].value, c.outY) << c.x << "," << c.y;
  }
}

TEST_F(RelayTest, StaleHandOverridePushesTheRealValuesOnceThenStops) {
  relay.filterScalar(11, 0.01f, 0);
  relay.filterScalar(12, 0.02f, 0);
  send("L 0.3 0.9", 100);
  EXPECT_EQ(frame(599).size(), 2u);  // 499 ms old: still live
  auto pushes = frame(600);          // 500 ms: lapsed
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_FLOAT_EQ(pushes[0].value, 0.01f);
  EXPECT_FLOAT_EQ(pushes[1].value, 0.02f);
  EXPECT_FALSE(relay.handStick(hook::Hand::Left).active);
  EXPECT_TRUE(frame(700).empty());
  EXPECT_FLOAT_EQ(relay.filterScalar(12, 0.02f, 700), 0.02f);
}

TEST_F(RelayTest, SerialOverrideIsAddedRegardlessOfDeflectionAndGivesTheRealValuesBackOnce) {
  send("SN:RIGHT-1 0.25 -0.5", 0);
  EXPECT_FLOAT_EQ(relay.filterScalar(21, 0.5f, 499), 0.75f);  // 499 ms old: still live
  EXPECT_FLOAT_EQ(relay.filterScalar(22, -0.8f, 499), -1.0f);
  EXPECT_FLOAT_EQ(relay.filterScalar(11, 0.0f, 499), 0.0f);  // another serial
  auto pushes = frame(499);
  ASSERT_EQ(pushes.size(), 2u);  // the override alone, not added to the real value
  EXPECT_FLOAT_EQ(pushes[0].value, 0.25f);
  EXPECT_FLOAT_EQ(pushes[1].value, -0.5f);
  pushes = frame(500);  // stale: the real values, once
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_FLOAT_EQ(pushes[0].value, 0.5f);
  EXPECT_FLOAT_EQ(pushes[1].value, -0.8f);
  EXPECT_TRUE(frame(501).empty());
  StickOverride o;
  ASSERT_TRUE(relay.serialStick("RIGHT-1", o));
  EXPECT_FALSE(o.active);
}

TEST_F(RelayTest, AnEmptySerialAddressesNothing) {
  relay.registerScalar(51, "/input/joystick/y", kRoleOther, "");  // serial unreadable
  relay.registerBoolean(52, "/input/a/click", kRoleOther, "");
  send("SN: 0.5 0.5", 0);
  send("SN: BTN a ON", 0);
  EXPECT_FLOAT_EQ(relay.filterScalar(51, 0.1f, 1), 0.1f);
  EXPECT_FALSE(relay.filterBoolean(52, false, 10));
  EXPECT_TRUE(frame(1).empty());
}

TEST_F(RelayTest, TurningAnOverrideOffGivesTheRealValuesBackOnce) {
  relay.filterScalar(11, 0.01f, 0);
  send("L 0.5 0.5", 0);
  EXPECT_EQ(frame(1).size(), 2u);
  send("L OFF", 2);
  auto pushes = frame(3);
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_FLOAT_EQ(pushes[0].value, 0.01f);
  EXPECT_FLOAT_EQ(pushes[1].value, 0.0f);
  EXPECT_TRUE(frame(4).empty());
  send("L OFF", 5);  // off while already off: nothing to give back
  EXPECT_TRUE(frame(6).empty());
  send("SN:RIGHT-1 1 1", 7);
  send("X OFF", 8);
  EXPECT_EQ(frame(9).size(), 2u);
  EXPECT_TRUE(frame(10).empty());
}

TEST_F(RelayTest, OffMessages) {
  send("L 1 1", 0);
  send("R 1 1", 0);
  send("SN:RIGHT-1 1 1", 0);
  send("R OFF", 1);
  EXPECT_TRUE(relay.handStick(hook::Hand::Left).active);
  EXPECT_FALSE(relay.handStick(hook::Hand::Right).active);
  send("X OFF", 2);
  EXPECT_FALSE(relay.handStick(hook::Hand::Left).active);
  StickOverride o;
  ASSERT_TRUE(relay.serialStick("RIGHT-1", o));
  EXPECT_FALSE(o.active);
  EXPECT_FLOAT_EQ(o.x, 1.0f);  // values are kept

  send("L 0.5", 3);  // partial: x changes, y keeps 1
  EXPECT_FLOAT_EQ(relay.handStick(hook::Hand::Left).y, 1.0f);
  EXPECT_FLOAT_EQ(relay.handStick(hook::Hand::Left).x, 0.5f);
  send("L 0.1 0.2", 4);
  send("L 0.3 0.4", 4);  // two in one frame: the later wins
  EXPECT_FLOAT_EQ(relay.handStick(hook::Hand::Left).y, 0.4f);
  send("L nan 0", 5);  // not finite: ignored entirely
  EXPECT_FLOAT_EQ(relay.handStick(hook::Hand::Left).x, 0.3f);
  EXPECT_EQ(relay.handStick(hook::Hand::Left).lastUpdate, 4u);
}

TEST_F(RelayTest, ThumbstickAndTrackpadHandAxesAreTheLastCreated) {
  relay.registerScalar(13, "/input/trackpad/x", kRoleLeft, "LEFT-1");
  relay.registerScalar(14, "/input/trackpad/y", kRoleLeft, "LEFT-1");
  send("L 0.0 0.5", 0);
  EXPECT_FLOAT_EQ(relay.filterScalar(12, 0.0f, 1), 0.5f);  // interception reaches every axis of the hand
  EXPECT_FLOAT_EQ(relay.filterScalar(14, 0.0f, 1), 0.5f);
  const auto pushes = frame(1);
  ASSERT_EQ(pushes.size(), 2u);  // the frame pushes only the last created pair
  EXPECT_EQ(pushes[0].handle, 13u);
  EXPECT_EQ(pushes[1].handle, 14u);
}

TEST_F(RelayTest, ButtonsRegisterFromClickPathsAndHoldUntilReleased) {
  relay.registerBoolean(31, "/input/trigger/click", kRoleLeft, "LEFT-1");
  relay.registerBoolean(32, "/input/a/click", kRoleRight, "RIGHT-1");
  relay.registerBoolean(33, "/input/trigger/touch", kRoleLeft, "LEFT-1");  // not a click
  relay.registerBoolean(34, "/click", kRoleLeft, "LEFT-1");                // no second segment
  relay.registerScalar(35, "/input/trigger/value", kRoleLeft, "LEFT-1");   // analogue: never
  relay.registerBoolean(36, "/input/joystick/click", kRoleOther, "");      // no role, no serial

  send("L BTN Trigger ON", 0);
  send("L BTN touch ON", 0);
  send("L BTN click ON", 0);
  send("X BTN joystick ON", 0);
  EXPECT_TRUE(relay.filterBoolean(31, false, 10));
  EXPECT_FALSE(relay.filterBoolean(33, false, 10));
  EXPECT_FALSE(relay.filterBoolean(34, false, 10));
  EXPECT_FALSE(relay.filterBoolean(36, false, 10));
  EXPECT_FLOAT_EQ(relay.filterScalar(35, 0.3f, 0), 0.3f);
  auto pushes = frame(0);
  ASSERT_EQ(pushes.size(), 1u);
  EXPECT_EQ(pushes[0].handle, 31u);
  EXPECT_EQ(pushes[0].value, 1.0f);

  send("L BTN trigger OFF", 2);
  EXPECT_EQ(frame(3).size(), 1u);  // the release is reported once
  EXPECT_TRUE(frame(4).empty());
  EXPECT_TRUE(relay.filterBoolean(31, true, 10));  // then the real state shows again

  send("SN:RIGHT-1 BTN A ON", 5);
  EXPECT_TRUE(relay.filterBoolean(32, false, 10));
  send("SN:RIGHT-1 BTN a OFF", 6);
  EXPECT_FALSE(relay.filterBoolean(32, true, 10));  // the release, once
  EXPECT_TRUE(relay.filterBoolean(32, true, 10));
}

TEST_F(RelayTest, AButtonPressLapsesOneSecondAfterTheLastMessageNamingItWithOneRealPush) {
  relay.registerBoolean(31, "/input/trigger/click", kRoleLeft, "LEFT-1");
  relay.registerBoolean(32, "/input/a/click", kRoleRight, "RIGHT-1");
  EXPECT_TRUE(relay.filterBoolean(32, true, 0));  // the real states the lapse gives back
  EXPECT_FALSE(relay.filterBoolean(31, false, 0));
  send("L BTN trigger ON", 100);
  send("SN:RIGHT-1 BTN a OFF", 100);
  send("SN:RIGHT-1 BTN a ON", 600);  // a repeat: the second counts from here
  struct Row {
    std::uint64_t at;
    std::vector<float> pushes;  // trigger, then a
  } rows[] = {
      {1099, {1.0f, 1.0f}},                  // 999 ms after the trigger's message: still pressed
      {1100, {0.0f, 1.0f}},                  // 1000 ms: lapsed, its real value once
      {1599, {1.0f}},       {1600, {1.0f}},  // a's real value is pressed too
      {1601, {}},
  };
  for (const Row& row : rows) {
    std::vector<float> values;
    for (const auto& push : frame(row.at)) values.push_back(push.value);
    EXPECT_EQ(values, row.pushes) << row.at;
  }
  EXPECT_FALSE(relay.filterBoolean(31, false, 1601));  // the real reports show again
  send("L BTN trigger ON", 2000);
  EXPECT_TRUE(relay.filterBoolean(31, false, 2999));
  EXPECT_FALSE(relay.filterBoolean(31, false, 3000));  // lapsed on a report before any frame
  EXPECT_TRUE(frame(3001).empty());
}

TEST_F(RelayTest, SerialButtonTakesPrecedenceOverTheHandTable) {
  relay.registerBoolean(41, "/input/b/click", kRoleLeft, "LEFT-1");
  send("L BTN b ON", 0);
  send("SN:LEFT-1 BTN b OFF", 0);
  EXPECT_FALSE(relay.filterBoolean(41, true, 10));  // serial release first
  EXPECT_TRUE(relay.filterBoolean(41, false, 10));  // then the hand press shows
}

TEST_F(RelayTest, HostileSendersCannotGrowTheTablesWithoutBound) {
  for (int i = 0; i < 10000; ++i) {
    send(("SN:S" + std::to_string(i) + " 0 0").c_str(), 0);
    send(("L BTN b" + std::to_string(i) + " ON").c_str(), 0);
    send(("SN:S" + std::to_string(i) + " BTN x ON").c_str(), 0);
  }
  // 64 serials and 64 buttons per table: the 64th is kept, the 65th is not.
  EXPECT_EQ(relay.serialStickCount(), 64u);
  ButtonOverride b;
  EXPECT_TRUE(relay.handButton(hook::Hand::Left, "b63", b));
  EXPECT_FALSE(relay.handButton(hook::Hand::Left, "b64", b));
  EXPECT_TRUE(relay.serialButton("S63", "x", b));
  EXPECT_FALSE(relay.serialButton("S64", "x", b));
  // Known entries still work once the table is full.
  send("SN:S0 0.5 0.5", 1);
  StickOverride o;
  ASSERT_TRUE(relay.serialStick("S0", o));
  EXPECT_FLOAT_EQ(o.x, 0.5f);
}

TEST_F(RelayTest, ConcurrentReportsDatagramsAndFramesStayConsistent) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> drivers;
  for (int t = 0; t < 3; ++t) {
    drivers.emplace_back([&, t] {
      for (int i = 0; i < 20000 && !stop.load(); ++i) {
        const float v = relay.filterScalar(11 + (i % 2) + (t == 2 ? 10 : 0), 0.01f, i);
        if (v < -1.0f || v > 1.0f) ADD_FAILURE() << "value escaped the unit range";
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    send(i % 3 ? "L 2 -2" : "SN:RIGHT-1 5 5", i);
    relay.pushSticks(
        nullptr,
        [](vr::IVRDriverInput*, vr::VRInputComponentHandle_t, float value, double) {
          EXPECT_LE(value, 1.0f);
          EXPECT_GE(value, -1.0f);
          return vr::VRInputError_None;
        },
        i);
  }
  stop = true;
  for (auto& thread : drivers) thread.join();
}

}  // namespace

// The keyboard on Linux through a recording /dev/uinput: the keys it declares, the
// order of a modified key, and that nothing stays down when it goes away.
#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>
#include <tuple>

#include "app/outputs/key_names.h"
#include "app/outputs/keyboard_output_service.h"
#include "app/outputs/virtual_joystick_service.h"
#include "platform/posix/key_injector_posix.h"
#include "testing/uinput_stand_in/uinput_stand_in.h"

namespace {

using testsupport::UinputStandIn;
using testsupport::UinputStep;

using KeyChange = std::tuple<int, int>;  // key code, value

// The key changes written, each of which must be followed at once by a SYN_REPORT.
std::vector<KeyChange> keyChanges(const std::vector<input_event>& events) {
  std::vector<KeyChange> changes;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].type != EV_KEY) continue;
    changes.emplace_back(events[i].code, events[i].value);
    const bool synced = i + 1 < events.size() && events[i + 1].type == EV_SYN && events[i + 1].code == SYN_REPORT;
    EXPECT_TRUE(synced) << "key " << events[i].code << " is not reported";
  }
  return changes;
}

TEST(KeyboardOnUinput, DeclaresEveryNameableKeyTypesInOrderAndLeavesNothingDown) {
  UinputStandIn device;
  ASSERT_EQ(device.problem(), "");
  std::ostringstream err, out, logText;
  auto injector = platform::posix::openUinputKeyInjector("/dev/uinput", err);
  ASSERT_NE(injector, nullptr) << err.str();
  ASSERT_EQ(device.connections(), 1);

  EXPECT_EQ(device.values(1, UI_SET_EVBIT), (std::set<unsigned long>{EV_KEY, EV_SYN}));
  const auto declared = device.values(1, UI_SET_KEYBIT);
  int nameable = 0;
  for (int code = 1; code <= 0xFF; ++code) {
    const auto virtualKey = static_cast<std::uint16_t>(code);
    if (outputs::virtualKeyOf(outputs::keyLabel(virtualKey)) != virtualKey) continue;
    ++nameable;
    const int evdev = platform::posix::evdevKeyCode(virtualKey);
    EXPECT_NE(evdev, 0) << outputs::keyLabel(virtualKey) << " has no Linux key";
    EXPECT_TRUE(declared.count(static_cast<unsigned long>(evdev))) << outputs::keyLabel(virtualKey) << " not declared";
  }
  EXPECT_EQ(nameable, 26 + 10 + 12 + 24);  // letters, digits, F1-F12, the named keys
  const auto steps = device.steps();
  const auto setup =
      std::find_if(steps.begin(), steps.end(), [](const UinputStep& s) { return s.request == UI_DEV_SETUP; });
  ASSERT_NE(setup, steps.end());
  EXPECT_STREQ(setup->setup.name, "StrivoVR virtual keyboard");
  EXPECT_EQ(device.requests(1).back(), UI_DEV_CREATE);

  {
    core::Logger logger{&logText};
    outputs::KeyboardOutputService keyboard(logger, *injector, out);
    outputs::OutputConfig config;
    config.keyboard.jumpKey = "shift+w";
    keyboard.configure(config);
    keyboard.press(outputs::Action::Jump);
    keyboard.release(outputs::Action::Jump);
    EXPECT_EQ(keyChanges(device.events(1)),
              (std::vector<KeyChange>{{KEY_LEFTSHIFT, 1}, {KEY_W, 1}, {KEY_W, 0}, {KEY_LEFTSHIFT, 0}}));
    keyboard.press(outputs::Action::Crouch);  // ctrl, still down when the output goes: it lifts it
  }
  injector->sendKey(0x7B, true);  // F12 down straight through the device: the device lifts it
  injector.reset();

  const auto changes = keyChanges(device.events(1));
  ASSERT_EQ(changes.size(), 8u);
  EXPECT_EQ(changes[4], KeyChange(KEY_LEFTCTRL, 1));
  EXPECT_EQ(changes[5], KeyChange(KEY_LEFTCTRL, 0));
  EXPECT_EQ(changes[7], KeyChange(KEY_F12, 0));
  for (const auto& [key, value] : testsupport::reportedState(device.events(1)))
    EXPECT_EQ(value, 0) << "key " << key.second << " left down";
  EXPECT_EQ(device.steps().back().request, UI_DEV_DESTROY);
  EXPECT_TRUE(device.allClosed());
  EXPECT_EQ(err.str(), "");
}

// The device refuses UI_DEV_CREATE: each backend says so, sends nothing and lets the device go.
TEST(UinputRefused, BothBackendsExplainAFailedCreateAndSendNothing) {
  UinputStandIn device({.refuseCreateWith = EPERM});
  ASSERT_EQ(device.problem(), "");
  std::ostringstream keyboardErr;
  EXPECT_EQ(platform::posix::openUinputKeyInjector("/dev/uinput", keyboardErr), nullptr);
  EXPECT_EQ(keyboardErr.str(), "[Keyboard] Cannot create the uinput keyboard: Operation not permitted\n");

  std::ostringstream logText, out, err;
  core::Logger logger{&logText};
  struct : outputs::IPadReportMerger {
    pad::XusbReport mergeReport(const pad::XusbReport& local) override { return local; }
  } noBridge;
  auto bus = platform::createVirtualPadBus();
  outputs::VirtualJoystickService pad(logger, *bus, noBridge, {}, out, err);
  pad.start();
  EXPECT_FALSE(pad.pluggedIn());
  EXPECT_EQ(err.str(), "[ViGEm] Failed to add target: e0010001\n[ViGEm] UI_DEV_CREATE: Operation not permitted\n");
  pad.stick(0.0f, 1.0f);
  pad.press(outputs::Action::Jump);
  pad.stop();

  for (const UinputStep& step : device.steps()) {
    EXPECT_NE(step.kind, UinputStep::Kind::Write) << "nothing is written to a device that does not exist";
    EXPECT_NE(step.request, UI_DEV_DESTROY);
  }
  EXPECT_EQ(device.connections(), 2);  // the keyboard and the pad (the pad's probe only opens)
  EXPECT_TRUE(device.allClosed());
}

}  // namespace

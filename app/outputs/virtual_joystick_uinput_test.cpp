// The virtual pad on Linux through a recording /dev/uinput: the device it declares,
// the events it writes and how it goes away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <sstream>
#include <tuple>

#include "app/outputs/virtual_joystick_service.h"
#include "testing/uinput_stand_in/uinput_stand_in.h"

namespace {

using testsupport::UinputStandIn;
using testsupport::UinputStep;
using Range = std::tuple<int, int, int, int>;  // minimum, maximum, fuzz, flat

class NoBridge final : public outputs::IPadReportMerger {
 public:
  pad::XusbReport mergeReport(const pad::XusbReport& local) override { return local; }
};

struct Harness {
  bool prompted = false;
  std::ostringstream logEcho, out, err;
  core::Logger logger{&logEcho};
  NoBridge bridge;
  std::unique_ptr<platform::VirtualPadBus> bus = platform::createVirtualPadBus();
};

// A wired Xbox 360 pad as the kernel's own driver presents 045e:028e, which is what
// SDL's controller database maps: eleven buttons b0..b10 in code order, sticks on
// X/Y and RX/RY, triggers on Z and RZ, the d-pad as hat 0.
const std::set<unsigned long> kPadButtons = {BTN_A,      BTN_B,     BTN_X,    BTN_Y,      BTN_TL,    BTN_TR,
                                             BTN_SELECT, BTN_START, BTN_MODE, BTN_THUMBL, BTN_THUMBR};
const std::map<int, Range> kPadAxes = {
    {ABS_X, {-32768, 32767, 16, 128}},  {ABS_Y, {-32768, 32767, 16, 128}},  {ABS_Z, {0, 255, 0, 0}},
    {ABS_RX, {-32768, 32767, 16, 128}}, {ABS_RY, {-32768, 32767, 16, 128}}, {ABS_RZ, {0, 255, 0, 0}},
    {ABS_HAT0X, {-1, 1, 0, 0}},         {ABS_HAT0Y, {-1, 1, 0, 0}},
};

// Nothing pressed, sticks centred (y axes are inverted, so a centred y reads ~0 = -1).
std::map<std::pair<int, int>, int> restingPad() {
  std::map<std::pair<int, int>, int> state;
  for (const unsigned long button : kPadButtons) state[{EV_KEY, static_cast<int>(button)}] = 0;
  for (const auto& [axis, range] : kPadAxes) state[{EV_ABS, axis}] = (axis == ABS_Y || axis == ABS_RY) ? -1 : 0;
  return state;
}

TEST(VirtualJoystickOnUinput, PlugsInAsAWiredXbox360PadReportsAndCentresBeforeItGoes) {
  UinputStandIn device;
  ASSERT_EQ(device.problem(), "");
  Harness h;
  auto pad = std::make_unique<outputs::VirtualJoystickService>(
      h.logger, *h.bus, h.bridge, [&] { h.prompted = true; }, h.out, h.err);
  pad->start();
  ASSERT_TRUE(pad->pluggedIn()) << h.err.str();
  EXPECT_FALSE(h.prompted);
  ASSERT_EQ(device.connections(), 1);  // the probe only opens and closes
  const int padConnection = 1;

  EXPECT_EQ(device.values(padConnection, UI_SET_EVBIT), (std::set<unsigned long>{EV_SYN, EV_KEY, EV_ABS}));
  EXPECT_EQ(device.values(padConnection, UI_SET_KEYBIT), kPadButtons);
  std::map<int, Range> axes;
  const UinputStep* setup = nullptr;
  const auto steps = device.steps();
  for (const UinputStep& step : steps) {
    if (step.connection != padConnection) continue;
    if (step.request == UI_ABS_SETUP)
      axes[step.abs.code] = {step.abs.absinfo.minimum, step.abs.absinfo.maximum, step.abs.absinfo.fuzz,
                             step.abs.absinfo.flat};
    if (step.request == UI_DEV_SETUP) setup = &step;
  }
  EXPECT_EQ(axes, kPadAxes);
  EXPECT_EQ(device.values(padConnection, UI_SET_ABSBIT).size(), kPadAxes.size());
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->setup.id.bustype, BUS_USB);
  EXPECT_EQ(setup->setup.id.vendor, 0x045e);
  EXPECT_EQ(setup->setup.id.product, 0x028e);
  EXPECT_EQ(setup->setup.id.version, 0x0110);
  EXPECT_STREQ(setup->setup.name, "Microsoft X-Box 360 pad");
  EXPECT_EQ(device.requests(padConnection).back(), UI_DEV_CREATE) << "created only once fully described";
  EXPECT_EQ(h.out.str(), "[ViGEm] Xbox 360 controller initialized and plugged in.\n");

  // Left stick forward with A pressed.
  pad->press(outputs::Action::Jump);  // A
  pad->stick(0.0f, 1.0f);
  auto events = device.events(padConnection);
  ASSERT_GE(events.size(), 3u);
  const input_event& y = events[events.size() - 2];
  EXPECT_EQ(std::tie(y.type, y.code, y.value), std::make_tuple(__u16{EV_ABS}, __u16{ABS_Y}, -32768));
  EXPECT_EQ(std::tie(events.back().type, events.back().code), std::make_tuple(__u16{EV_SYN}, __u16{SYN_REPORT}));
  auto state = testsupport::reportedState(events);
  auto expected = restingPad();
  expected[{EV_KEY, BTN_A}] = 1;
  expected[{EV_ABS, ABS_Y}] = -32768;
  EXPECT_EQ(state, expected);

  // Stopping with A held and the stick forward: everything is released, then the device goes.
  pad->stop();
  pad.reset();
  EXPECT_EQ(testsupport::reportedState(device.events(padConnection)), restingPad());
  const auto all = device.steps();
  ASSERT_FALSE(all.empty());
  EXPECT_EQ(all.back().request, UI_DEV_DESTROY);
  for (const UinputStep& step : all) {
    if (step.kind != UinputStep::Kind::Write) continue;
    EXPECT_EQ(step.strayBytes, 0u);
    ASSERT_FALSE(step.events.empty());
    EXPECT_EQ(step.events.back().type, EV_SYN) << "every write is a whole report";
  }
  EXPECT_TRUE(device.allClosed());
  EXPECT_EQ(h.err.str(), "");
}

}  // namespace

// The pad road end to end on Linux: strivovr-headless in Xbox mode, phone_sim leaning
// forward, and a recording /dev/uinput in place of the kernel device.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"
#include "testing/uinput_stand_in/uinput_stand_in.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::UinputStandIn;
using testsupport::UinputStep;

// The connection that set up a device with `product` as its product id, or 0.
int connectionOf(const std::vector<UinputStep>& steps, int product) {
  for (const UinputStep& step : steps)
    if (step.request == UI_DEV_SETUP && step.setup.id.product == product) return step.connection;
  return 0;
}

// The most forward left-stick value reported on `connection` (y grows downwards).
int mostForward(const std::vector<UinputStep>& steps, int connection) {
  int least = 0;
  for (const UinputStep& step : steps)
    if (step.connection == connection)
      for (const input_event& event : step.events)
        if (event.type == EV_ABS && event.code == ABS_Y) least = std::min(least, event.value);
  return least;
}

TEST(PadProgram, LeaningForwardPushesTheLeftStickAndStoppingCentresIt) {
  UinputStandIn device;
  ASSERT_EQ(device.problem(), "");
  testsupport::TempFolder home("pad_program");
  const int port = testsupport::freeUdpPort();
  ASSERT_NE(port, 0);
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  testsupport::writeFile(
      home.file("config/StrivoVR/usersettings.json"),
      R"json({"mode": "Xbox Controller (vJoy)", "tracker_source": "Phone", "check_for_updates": false, )json"
      R"("owotrack_input_port": )" +
          std::to_string(port) + "}");
  const std::map<std::string, std::string> env{
      {"XDG_CONFIG_HOME", home.file("config")}, {"XDG_RUNTIME_DIR", home.path().string()}, {"DISPLAY", ""}};
  ChildProcess program(testsupport::distFolder() + "/strivovr-headless", {}, env, home.path().string());
  ASSERT_TRUE(program.waitForOutput("[owotrack] SUCCESSFULLY listening", 10s)) << program.output() << program.errors();
  ASSERT_TRUE(program.waitForOutput("[ViGEm] Xbox 360 controller initialized and plugged in.", 5s))
      << program.output() << program.errors();

  ChildProcess phone(
      testsupport::distFolder() + "/phone_sim",
      {"--port", std::to_string(port), "--rate", "100", "--seconds", "1.5", "--lean", "0:0,0.3:30", "--quiet"}, {},
      home.path().string());
  EXPECT_EQ(phone.waitForExit(20s), 0) << phone.output() << phone.errors();
  const bool pushed = device.waitFor(
      [](const std::vector<UinputStep>& steps) {
        const int pad = connectionOf(steps, 0x028e);
        return pad != 0 && mostForward(steps, pad) < -16384;
      },
      5s);
  EXPECT_TRUE(pushed) << program.output() << program.errors();

  program.signal(SIGTERM);
  EXPECT_EQ(program.waitForExit(5s), 0) << program.errors();
  const auto steps = device.steps();
  const int pad = connectionOf(steps, 0x028e);
  ASSERT_NE(pad, 0);
  const auto state = testsupport::reportedState(device.events(pad));
  EXPECT_EQ(state.at({EV_ABS, ABS_X}), 0);
  EXPECT_EQ(state.at({EV_ABS, ABS_Y}), -1) << "the last reported left stick is centred (y inverted: ~0)";
  for (const auto& [key, value] : state) {
    if (key.first == EV_KEY) {
      EXPECT_EQ(value, 0) << "button " << key.second << " left down";
    }
  }
  EXPECT_EQ(device.requests(pad).back(), UI_DEV_DESTROY);
  // The program's keyboard (created at start in every mode) went too, with no key down.
  const int keyboard = connectionOf(steps, 0x5356);
  ASSERT_NE(keyboard, 0);
  EXPECT_EQ(device.requests(keyboard).back(), UI_DEV_DESTROY);
  for (const auto& [key, value] : testsupport::reportedState(device.events(keyboard))) {
    EXPECT_EQ(value, 0) << "key " << key.second << " left down";
  }
  EXPECT_EQ(program.errors().find("[uinput]"), std::string::npos) << "no access hint with a writable device";
  EXPECT_TRUE(device.allClosed()) << "every descriptor of /dev/uinput is closed";
}

}  // namespace

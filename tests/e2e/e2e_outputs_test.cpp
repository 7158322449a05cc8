// The phone's lean through each output the game can listen to: VRChat's OSC input,
// simulated keys, the virtual pad, the SteamVR driver and the OpenXR layer.
#include <gtest/gtest.h>

#include "testing/support/free_port.h"
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

}  // namespace
}  // namespace e2e

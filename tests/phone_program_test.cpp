// The phone road through the whole program: strivovr-headless with its phone server
// on a per-test port, and phone_sim talking to it as the phone app would.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "platform/udp_socket.h"
#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

TEST(PhoneProgram, HeadlessProgramAnswersThePhoneAndTogglesOnTaps) {
  testsupport::TempFolder home("phone_program");
  const int port = testsupport::freeUdpPort();
  ASSERT_NE(port, 0);
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                         "{\"owotrack_input_port\": " + std::to_string(port) + ", \"slimevr_tap_toggle\": true}");
  const std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", home.file("config")},
                                               {"XDG_RUNTIME_DIR", home.path().string()}};
  ChildProcess program(testsupport::distFolder() + "/strivovr-headless", {}, env, home.path().string());
  ASSERT_TRUE(program.waitForOutput("[Main] Logic initialized.", 10s)) << program.output() << program.errors();
  EXPECT_NE(program.output().find("[owotrack] SUCCESSFULLY listening on UDP port " + std::to_string(port)),
            std::string::npos);
  EXPECT_NE(program.output().find("TrackingService: Port changed (-1 -> " + std::to_string(port) +
                                  "), restarting owoTrack..."),
            std::string::npos)
      << program.output();

  const std::string settingsPath = home.file("config/StrivoVR/usersettings.json");
  ASSERT_EQ(testsupport::readFile(settingsPath).find("\"deadzone\""), std::string::npos);  // not rewritten at start

  ChildProcess phone(testsupport::distFolder() + "/phone_sim",
                     {"--port", std::to_string(port), "--seconds", "1", "--rate", "60", "--tap", "1", "--quiet"}, {},
                     home.path().string());
  EXPECT_EQ(phone.waitForExit(20s), 0) << phone.output() << phone.errors();
  EXPECT_NE(
      phone.output().find("phone_sim: sent 60 rotations, 0 accelerations, 1 taps, 0 resets, 1 pings; 1 ping echoes"),
      std::string::npos)
      << phone.output();

  ASSERT_TRUE(program.waitForOutput("[owotrack] Tap Detected (Type 13) sensor=0 from 127.0.0.1", 5s));
  program.signal(SIGTERM);
  EXPECT_EQ(program.waitForExit(5s), 0) << program.errors();
  const std::string out = program.output();
  EXPECT_NE(out.find("[owotrack] Handshake (Type 3) from 127.0.0.1"), std::string::npos);
  EXPECT_NE(out.find("[owotrack] Recv rotation packet 50 from 127.0.0.1"), std::string::npos);
  EXPECT_NE(out.find("[owotrack] Server thread exiting."), std::string::npos);
  // The tap toggled tracking, which saved the whole settings record.
  const std::string saved = testsupport::readFile(settingsPath);
  EXPECT_NE(saved.find("\"deadzone\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"owotrack_input_port\": " + std::to_string(port)), std::string::npos) << saved;
}

}  // namespace

// The whole road: phone_sim leans forward -> strivovr-headless (phone server, engine,
// output service, SteamVR hook output) -> hook datagrams -> the built driver library
// inside the fake SteamVR server -> the controller's thumbstick.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "common/hook/hook_protocol.h"
#include "platform/udp_socket.h"
#include "testing/fake_vrserver/fake_vrserver.h"
#include "testing/fake_vrserver/loaded_driver_test.h"
#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using fakevr::FakeVrServer;
using testsupport::ChildProcess;

const char* const kThumbY = "/input/thumbstick/y";

class HookHeadlessChain : public fakevr::LoadedDriverTest {
 protected:
  void SetUp() override {
    loadDriver();
    if (!loaded()) return;
    left = &server.addController(1, "LHR-LEFT", FakeVrServer::thumbstickAxes(), {"/input/a/click"});
    right = &server.addController(2, "LHR-RIGHT", {"/input/joystick/x", "/input/joystick/y"}, {"/input/a/click"});
    server.start();
    port = testsupport::freeUdpPort();
    ASSERT_NE(port, 0);
  }

  std::unique_ptr<ChildProcess> startProgram(const std::string& extraSettings) {
    std::filesystem::create_directories(home.path() / "config/StrivoVR");
    testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                           "{\"owotrack_input_port\": " + std::to_string(port) + extraSettings + "}");
    const std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", home.file("config")},
                                                 {"XDG_RUNTIME_DIR", home.path().string()}};
    auto program = std::make_unique<ChildProcess>(testsupport::distFolder() + "/strivovr-headless",
                                                  std::vector<std::string>{}, env, home.path().string());
    EXPECT_TRUE(program->waitForOutput("[Main] Logic initialized.", 10s)) << program->output() << program->errors();
    EXPECT_NE(program->output().find("[SteamVR Hook] UDP Client initialized (Port 4445)"), std::string::npos)
        << program->output();
    return program;
  }
  std::unique_ptr<ChildProcess> lean(double seconds) {
    return std::make_unique<ChildProcess>(
        testsupport::distFolder() + "/phone_sim",
        std::vector<std::string>{"--port", std::to_string(port), "--seconds", std::to_string(seconds), "--rate", "60",
                                 "--lean", "0:0,0.3:25", "--quiet"},
        std::map<std::string, std::string>{}, home.path().string());
  }

  testsupport::TempFolder home{"hook_headless_chain"};
  fakevr::FakeController* left = nullptr;
  fakevr::FakeController* right = nullptr;
  int port = 0;
};

TEST_F(HookHeadlessChain, LeaningForwardPushesTheLeftThumbstickForwardUntilThePhoneStops) {
  auto program = startProgram("");
  auto phone = lean(1.5);
  ASSERT_TRUE(server.waitFor([&] { return value(left, kThumbY) > 0.3f; }, 5s))
      << "left y " << value(left, kThumbY) << "\n"
      << program->output();
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/y"), 0.0f);

  left->setReal(kThumbY, -0.4f);  // the user's own stick wins while it is pushed
  EXPECT_TRUE(server.waitFor([&] { return value(left, kThumbY) == -0.4f; }, 1s));
  left->setReal(kThumbY, 0.0f);
  EXPECT_TRUE(server.waitFor([&] { return value(left, kThumbY) > 0.3f; }, 1s));

  EXPECT_EQ(phone->waitForExit(10s), 0) << phone->errors();
  const auto phoneDone = std::chrono::steady_clock::now();
  // No more samples: the override lapses and the real value shows again.
  ASSERT_TRUE(server.waitFor([&] { return value(left, kThumbY) == 0.0f; }, 3s));
  EXPECT_LE(std::chrono::steady_clock::now() - phoneDone, 1500ms);
  program->signal(SIGTERM);
  EXPECT_EQ(program->waitForExit(5s), 0) << program->errors();
}

TEST_F(HookHeadlessChain, APhoneJumpPressesAndReleasesTheConfiguredButton) {
  auto program = startProgram(", \"jump_hook_button\": \"Right: A\"");
  ChildProcess phone(
      testsupport::distFolder() + "/phone_sim",
      {"--port", std::to_string(port), "--seconds", "1.5", "--rate", "60", "--accel", "--jump", "0.7", "--quiet"}, {},
      home.path().string());
  const bool pressed =
      server.waitFor([&] { return server.realInput().component(right->handle("/input/a/click")).boolean; }, 5s);
  EXPECT_TRUE(pressed) << program->output();
  EXPECT_FALSE(server.realInput().component(left->handle("/input/a/click")).boolean);
  // The engine releases the jump after its duration; the driver reports the release once.
  EXPECT_TRUE(
      server.waitFor([&] { return !server.realInput().component(right->handle("/input/a/click")).boolean; }, 3s));
  EXPECT_EQ(phone.waitForExit(10s), 0);
  program->signal(SIGTERM);
  EXPECT_EQ(program->waitForExit(5s), 0) << program->errors();
}

TEST_F(HookHeadlessChain, SerialAddressingDrivesOnlyThatController) {
  auto program = startProgram(", \"hook_target_serial\": \"LHR-RIGHT\"");
  auto phone = lean(1.0);
  ASSERT_TRUE(server.waitFor([&] { return value(right, "/input/joystick/y") > 0.3f; }, 5s)) << program->output();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.0f);
  EXPECT_EQ(phone->waitForExit(10s), 0);
  program->signal(SIGTERM);
  EXPECT_EQ(program->waitForExit(5s), 0) << program->errors();
}

}  // namespace

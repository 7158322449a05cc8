// The built driver library, loaded by its real path and file name into the fake
// server, driven by real datagrams from the hook_send tool.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "app/outputs/hook_driver_monitor.h"
#include "common/hook/hook_protocol.h"
#include "platform/udp_socket.h"
#include "testing/fake_vrserver/fake_vrserver.h"
#include "testing/fake_vrserver/loaded_driver_test.h"
#include "testing/support/export_table.h"
#include "testing/support/manual_wait_clock.h"

namespace {

using namespace std::chrono_literals;
using fakevr::FakeVrServer;

const char* const kThumbY = "/input/thumbstick/y";
const char* const kThumbX = "/input/thumbstick/x";

void hookSend(const std::string& arguments) {
  const std::string command = std::string("\"") + STRIVO_HOOK_SEND + "\" " + arguments;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

nlohmann::json readJson(const std::string& path) {
  std::ifstream file(path);
  return nlohmann::json::parse(file, nullptr, false);
}

TEST(DriverLibrary, ExportsOnlyTheFactory) {
  std::vector<std::string> names;
  ASSERT_TRUE(testsupport::exportedNames(fakevr::builtDriverPath(), names)) << fakevr::builtDriverPath();
  EXPECT_EQ(names, std::vector<std::string>{"HmdDriverFactory"});
}

TEST(DriverLibrary, ExportReaderRejectsDamagedFiles) {
  std::ifstream file(fakevr::builtDriverPath(), std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 4096u);
  std::vector<std::string> names;
  for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{64}, std::size_t{300}, bytes.size() / 2}) {
    std::vector<unsigned char> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    testsupport::exportedNamesFromBytes(cut, names);  // must not read past the end (checked under sanitizers)
  }
  std::vector<unsigned char> garbage(bytes.size(), 0xFF);
  garbage[0] = bytes[0];
  garbage[1] = bytes[1];
  EXPECT_FALSE(testsupport::exportedNamesFromBytes(garbage, names));
}

TEST(DriverLibrary, DeploymentFolderIsWhatSteamVRLoads) {
  const std::string root = STRIVO_DRIVER_ROOT;
  const nlohmann::json manifest = readJson(root + "/driver.vrdrivermanifest");
  ASSERT_FALSE(manifest.is_discarded());
  EXPECT_EQ(manifest.value("name", ""), "gaitrelay");
  EXPECT_EQ(root.substr(root.size() - std::string("/gaitrelay").size()), "/gaitrelay");
  EXPECT_TRUE(manifest.value("alwaysActivate", false));
  EXPECT_FALSE(manifest.value("resourceOnly", true));
  EXPECT_TRUE(manifest.contains("hmd_presence") && manifest["hmd_presence"].empty());
  const nlohmann::json settings = readJson(root + "/resources/settings/default.vrsettings");
  ASSERT_FALSE(settings.is_discarded());
  EXPECT_TRUE(settings["driver_gaitrelay"].value("enable", false));
  const std::string binary = fakevr::builtDriverPath();
  EXPECT_NE(binary.find("driver_gaitrelay."), std::string::npos);
  EXPECT_TRUE(std::ifstream(binary).good());
}

TEST(DriverLibrary, FactoryAnswersOnlyTheProviderVersion) {
  FakeVrServer server;
  std::string error;
  ASSERT_TRUE(server.loadDriver(fakevr::builtDriverPath(), error)) << error;
  int code = 0;
  EXPECT_NE(server.factory("IServerTrackedDeviceProvider_004", &code), nullptr);
  EXPECT_EQ(server.factory("IServerTrackedDeviceProvider_003", &code), nullptr);
  EXPECT_EQ(code, 105);
  EXPECT_EQ(server.factory("IVRWatchdogProvider_001", nullptr), nullptr);
  EXPECT_EQ(server.factory(nullptr, nullptr), nullptr);
}

TEST(DriverLibrary, AMissingLibraryIsReportedNotFatal) {
  FakeVrServer server;
  std::string error;
  EXPECT_FALSE(server.loadDriver(fakevr::builtDriverPath() + ".missing", error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(server.provider(), nullptr);
}

TEST(DriverLibrary, InitWithoutServerDriverHostFailsWith105) {
  FakeVrServer server;
  std::string error;
  ASSERT_TRUE(server.loadDriver(fakevr::builtDriverPath(), error)) << error;
  server.context().withdraw("IVRServerDriverHost_006");
  EXPECT_EQ(server.init(), vr::VRInitError_Init_InterfaceNotFound);
  server.frame();
}

// The loaded driver on the real port, with a left and a right controller of "other drivers".
class DriverChain : public fakevr::LoadedDriverTest {
 protected:
  void SetUp() override {
    loadDriver();
    if (!loaded()) return;
    left = &server.addController(1, "LHR-LEFT", FakeVrServer::thumbstickAxes(),
                                 {"/input/a/click", "/input/thumbstick/click"});
    right = &server.addController(2, "LHR-RIGHT", {"/input/joystick/x", "/input/joystick/y"},
                                  {"/input/a/click", "/input/joystick/click"});
  }

  fakevr::FakeController* left = nullptr;
  fakevr::FakeController* right = nullptr;
};

TEST_F(DriverChain, ListensOnTheLoopbackAddressNotTheWildcard) {
  // 127.0.0.2 is as local as any network address of the machine: a driver bound to
  // the wildcard address would take this datagram, one bound to 127.0.0.1 never sees it.
  platform::UdpSocket sender;
  ASSERT_TRUE(sender.open());
  ASSERT_TRUE(sender.sendTo(std::string("L 0 1"), platform::Endpoint{0x7F000002u, hook::kDriverPort}));
  server.frame();
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.0f);
  ASSERT_TRUE(sender.sendTo(std::string("L 0 1"), platform::Endpoint::loopback(hook::kDriverPort)));
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 1.0f);
}

TEST_F(DriverChain, StickForwardWithinOneFrameAndTheRealStickWins) {
  server.frame();
  hookSend("stick L 0 1");
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 1.0f);
  EXPECT_FLOAT_EQ(value(left, kThumbX), 0.0f);
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/y"), 0.0f);

  left->setReal(kThumbY, -0.3f);  // the user pulls back beyond the dead radius
  hookSend("stick L 0 1");
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), -0.3f);
  left->setReal(kThumbY, 0.02f);  // and lets go
  server.frame();
  EXPECT_FLOAT_EQ(value(left, kThumbY), 1.0f);
}

TEST_F(DriverChain, OverrideLapsesAfterTheLastDatagramWithOnePushOfTheRealValues) {
  left->setReportsEachFrame(false);  // a driver that reports on change only
  left->setReal(kThumbY, 0.01f);
  left->report();
  server.start();
  hookSend("--repeat 5 --interval 20 stick L 0 0.8");
  const auto lastSent = std::chrono::steady_clock::now();
  ASSERT_TRUE(server.waitFor([&] { return value(left, kThumbY) == 0.81f; }, 2s));
  ASSERT_TRUE(server.waitFor([&] { return value(left, kThumbY) == 0.01f; }, 3s));
  const auto lapsed = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(100ms);
  server.stop();

  const auto updates = server.updatesOf(left->handle(kThumbY));
  ASSERT_GE(updates.size(), 3u);
  EXPECT_FLOAT_EQ(updates.back().value, 0.01f);
  EXPECT_FLOAT_EQ(updates[updates.size() - 2].value, 0.81f);  // exactly one push of the real value
  const auto held = updates.back().at - lastSent;
  EXPECT_GE(held, 400ms);  // not before the stale time (less what hook_send took to exit)
  EXPECT_LE(lapsed - lastSent, 1500ms);
}

TEST_F(DriverChain, ButtonsPressHoldAndRelease) {
  hookSend("button L A on");
  for (int i = 0; i < 3; ++i) {
    server.frame();
    EXPECT_TRUE(pressed(left, "/input/a/click"));
  }
  EXPECT_FALSE(pressed(right, "/input/a/click"));
  hookSend("button L A off");
  server.frame();
  EXPECT_FALSE(pressed(left, "/input/a/click"));
  left->setRealButton("/input/a/click", true);  // after the release the real button shows
  server.frame();
  EXPECT_TRUE(pressed(left, "/input/a/click"));

  hookSend("button R thumbstick on");  // the companion reaches /input/joystick/click
  server.frame();
  EXPECT_TRUE(pressed(right, "/input/joystick/click"));
  hookSend("button R thumbstick off");
  server.frame();
  EXPECT_FALSE(pressed(right, "/input/joystick/click"));
}

TEST_F(DriverChain, SerialAddressingReachesOnlyThatController) {
  hookSend("stick SN:LHR-RIGHT 0 1");
  server.frame();
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/y"), 1.0f);
  EXPECT_FLOAT_EQ(value(left, kThumbY), 0.0f);
  hookSend("button SN:LHR-LEFT a on");
  server.frame();
  EXPECT_TRUE(pressed(left, "/input/a/click"));
  EXPECT_FALSE(pressed(right, "/input/a/click"));
  hookSend("button SN:lhr-left a off");  // serials compare case-sensitively
  server.frame();
  EXPECT_TRUE(pressed(left, "/input/a/click"));
}

TEST_F(DriverChain, ReleaseHandsTheStickBack) {
  hookSend("stick R 0.5 0.5");
  server.frame();
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/x"), 0.5f);
  hookSend("release R");
  server.frame();
  EXPECT_FLOAT_EQ(value(right, "/input/joystick/x"), 0.0f);
}

// The program's monitor against the loaded driver: the answer carries the controller
// count, the monitor's lines follow it, and a server that stops answering is noticed
// after the silence limit (and not before).
TEST_F(DriverChain, AnswersThePingWithItsControllersAndTheMonitorLogsIt) {
  platform::UdpSocket asker;
  ASSERT_TRUE(asker.open() && asker.bind(platform::Endpoint::loopback(0)) && asker.setReceiveTimeout(1000));
  auto ask = [&](std::uint32_t n) {
    EXPECT_TRUE(asker.sendTo(hook::pingMessage(n), platform::Endpoint::loopback(hook::kDriverPort)));
    server.frame();
    char buffer[256];
    const auto r = asker.receiveFrom(std::as_writable_bytes(std::span(buffer)));
    hook::DriverStatus status;
    EXPECT_EQ(r.status, platform::ReceiveStatus::Received);
    EXPECT_TRUE(hook::parseStatus(std::string_view(buffer, r.bytes), status));
    EXPECT_EQ(status.counter, n);
    return status;
  };
  const hook::DriverStatus idle = ask(41);
  EXPECT_EQ(idle.controllers, 2u);
  EXPECT_EQ(idle.overrideAgeMs, -1);
  hookSend("stick L 0 1");
  server.frame();
  const hook::DriverStatus driving = ask(42);
  EXPECT_GE(driving.overrideAgeMs, 0);
  EXPECT_LT(driving.overrideAgeMs, 500);
  EXPECT_FLOAT_EQ(value(left, kThumbY), 1.0f) << "a ping between stick messages changes nothing";

  core::Logger logger(nullptr);
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  outputs::HookDriverMonitor monitor(logger, clock);
  auto logged = [&](const std::string& text) {
    for (const std::string& line : logger.lines())
      if (line.find(text) != std::string::npos) return true;
    return false;
  };
  server.start();  // frames on the server's own thread
  monitor.start();
  auto t = clock->now();
  auto stepTo = [&](std::chrono::milliseconds at) {
    while (clock->now() < t + at) {
      ASSERT_TRUE(clock->waitForSleeper(clock->now() + outputs::HookDriverMonitor::kPollStep));
      std::this_thread::sleep_for(20ms);  // the driver's frame answers the ping meanwhile
      clock->advance(outputs::HookDriverMonitor::kPollStep);
    }
    ASSERT_TRUE(clock->waitForSleeper(t + at + outputs::HookDriverMonitor::kPollStep));
  };
  stepTo(200ms);
  EXPECT_TRUE(testsupport::eventually([&] { return logged("[SteamVR Hook] Driver answered: 2 controller(s)"); }));
  EXPECT_EQ(monitor.view().controllers, 2u);
  server.stop();
  server.cleanup();  // the driver closes its socket: no more answers
  t = clock->now();
  stepTo(2800ms);
  EXPECT_FALSE(logged("Driver stopped answering"));
  stepTo(3300ms);
  EXPECT_TRUE(logged("[SteamVR Hook] Driver stopped answering"));
  EXPECT_FALSE(monitor.view().answering);
  monitor.stop();
}

}  // namespace

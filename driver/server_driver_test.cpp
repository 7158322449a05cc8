#include "driver/server_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "testing/fake_vrserver/fake_vrserver.h"

namespace {

using fakevr::FakeVrServer;
using gaitrelay::CServerDriver;

void** tableOf(vr::IVRDriverInput* input) { return *reinterpret_cast<void***>(input); }

// A driver listening on an ephemeral loopback port, inside a fake server.
class ServerDriverTest : public ::testing::Test {
 protected:
  ServerDriverTest() : driver(platform::Endpoint::loopback(0)) {}
  void SetUp() override {
    server.useProvider(&driver);
    ASSERT_TRUE(sender.open());
  }
  void TearDown() override { server.cleanup(); }
  void initAndAddLeft() {
    ASSERT_EQ(server.init(), vr::VRInitError_None);
    ASSERT_TRUE(driver.boundEndpoint(driverAt));
    left = &server.addController(1, "LEFT-1", FakeVrServer::thumbstickAxes(), {"/input/a/click"});
  }
  void send(const std::string& text) { ASSERT_TRUE(sender.sendTo(text, driverAt)); }
  float realValue(const char* path) { return server.realInput().component(left->handle(path)).scalar; }

  CServerDriver driver;
  FakeVrServer server;
  platform::UdpSocket sender;
  platform::Endpoint driverAt;
  fakevr::FakeController* left = nullptr;
};

TEST_F(ServerDriverTest, ADatagramReachesAControllerWithinOneFrameByASerialOfUpTo255Bytes) {
  ASSERT_EQ(server.init(), vr::VRInitError_None);
  ASSERT_TRUE(driver.boundEndpoint(driverAt));
  // Serials are read into 256 bytes with their terminator; a longer one reads as none.
  for (const auto& [length, reached] : {std::pair{255, true}, std::pair{256, false}}) {
    const std::string serial(length, 'S');
    auto& controller = server.addController(1, serial, FakeVrServer::thumbstickAxes(), {"/input/a/click"});
    send("SN:" + serial + " 0 1");
    send("SN:" + serial + " BTN A ON");
    server.frame();
    const auto& input = server.realInput();
    EXPECT_FLOAT_EQ(input.component(controller.handle("/input/thumbstick/y")).scalar, reached ? 1.0f : 0.0f) << length;
    EXPECT_EQ(input.component(controller.handle("/input/a/click")).boolean, reached) << length;
  }
}

TEST(ServerDriverDefaultPort, BindsTheLoopbackAddressOnPort4445) {
  CServerDriver driver;
  FakeVrServer server;
  server.useProvider(&driver);
  ASSERT_EQ(server.init(), vr::VRInitError_None);
  platform::Endpoint bound;
  if (!driver.boundEndpoint(bound)) {
    platform::UdpSocket probe;
    ASSERT_TRUE(probe.open());
    ASSERT_FALSE(probe.bind(platform::Endpoint::loopback(4445))) << "the driver failed to bind a free port";
    GTEST_SKIP() << "port 4445 is taken by another process on this machine";
  }
  EXPECT_EQ(bound.addressText(), "127.0.0.1");
  EXPECT_EQ(bound.port, 4445);
  server.cleanup();
}

TEST_F(ServerDriverTest, OverLongDatagramIsDroppedAndTheRestWaitsForTheNextFrame) {
  initAndAddLeft();
  send("L 0 0.5" + std::string(hook::kMaxDatagram - 6, ' '));  // 1025 bytes: would parse as a stick if truncated
  send("L 0 -0.25");
  server.frame();
  EXPECT_FALSE(driver.relay().handStick(hook::Hand::Left).active);
  server.frame();
  EXPECT_FLOAT_EQ(driver.relay().handStick(hook::Hand::Left).y, -0.25f);
  send("L 0 0.75" + std::string(hook::kMaxDatagram - 8, ' '));  // 1024 bytes: the longest that is read
  send("");  // an empty datagram is ignored; it does not end the frame's reading
  send("L 0.3");
  server.frame();
  EXPECT_FLOAT_EQ(driver.relay().handStick(hook::Hand::Left).x, 0.3f);
  EXPECT_FLOAT_EQ(driver.relay().handStick(hook::Hand::Left).y, 0.75f);
  EXPECT_FLOAT_EQ(realValue("/input/thumbstick/y"), 0.75f);
}

TEST_F(ServerDriverTest, AFloodIsSpreadOverFramesInsteadOfStallingOne) {
  initAndAddLeft();
  // 250 queued (fewer than the kernel's default buffer holds) are all taken in one frame.
  for (int i = 1; i <= 250; ++i) send("L 0 " + std::to_string(i / 1000.0));
  server.frame();
  EXPECT_FLOAT_EQ(driver.relay().handStick(hook::Hand::Left).y, 0.25f);
  // A larger flood is taken at most 256 to a frame.
  for (int i = 1; i <= 296; ++i) send("L 0 " + std::to_string(-i / 1000.0));
  server.frame();
  const float afterOne = driver.relay().handStick(hook::Hand::Left).y;
  EXPECT_GE(afterOne, -0.256f);
  for (int i = 0; i < 3; ++i) server.frame();
  // Whatever the system queued was handled in arrival order; the last one that arrived wins.
  EXPECT_LE(driver.relay().handStick(hook::Hand::Left).y, afterOne);
}

TEST_F(ServerDriverTest, HostileDatagramsLeaveTheControllerAlone) {
  initAndAddLeft();
  const std::string hostile[] = {
      std::string("\0\0\0\0", 4),
      "SN:",
      "SN:\xff\xfe BTN",
      "L BTN",
      "L nan nan",
      "R inf 0",
      "L 1e39 0",
      std::string(hook::kMaxDatagram + 10, 'L'),
      "\x80\x81\x82 OFF",
      "BTN a ON",
      "SN:S1 BTN a",
  };
  for (const std::string& text : hostile) send(text);
  for (int i = 0; i < 3; ++i) server.frame();
  EXPECT_FALSE(driver.relay().handStick(hook::Hand::Left).active);
  EXPECT_FALSE(driver.relay().handStick(hook::Hand::Right).active);
  EXPECT_FLOAT_EQ(realValue("/input/thumbstick/y"), 0.0f);
  EXPECT_FALSE(server.realInput().component(left->handle("/input/a/click")).boolean);
}

TEST_F(ServerDriverTest, CleanupRestoresTheMethodTable) {
  vr::IVRDriverInput* input = server.driverInput();
  void* original[5];
  std::memcpy(original, tableOf(input), sizeof original);
  initAndAddLeft();
  for (int slot = 0; slot < 4; ++slot) EXPECT_NE(tableOf(input)[slot], original[slot]) << slot;
  EXPECT_EQ(tableOf(input)[4], original[4]);  // only the four slots are touched
  server.cleanup();
  EXPECT_EQ(std::memcmp(original, tableOf(input), sizeof original), 0);

  // After clean-up values pass straight through, override or not.
  send("L 0 1");
  left->setReal("/input/thumbstick/y", 0.01f);
  left->report();
  EXPECT_FLOAT_EQ(realValue("/input/thumbstick/y"), 0.01f);
}

TEST(ServerDriverLifetime, AProviderDestroyedWithoutCleanupTakesItsPatchesOut) {
  FakeVrServer server;
  void* original[4];
  std::memcpy(original, tableOf(server.driverInput()), sizeof original);
  {
    CServerDriver driver(platform::Endpoint::loopback(0));
    server.useProvider(&driver);
    ASSERT_EQ(driver.Init(&server.context()), vr::VRInitError_None);
    { CServerDriver bystander(platform::Endpoint::loopback(0)); }  // never initialised: leaves the patches alone
    EXPECT_NE(tableOf(server.driverInput())[3], original[3]);
  }
  EXPECT_EQ(std::memcmp(original, tableOf(server.driverInput()), sizeof original), 0);
  server.useProvider(nullptr);
}

TEST(ServerDriverInit, EachMissingHostInterfaceButPropertiesFailsWith105AndPatchesNothing) {
  for (const char* version :
       {"IVRServerDriverHost_006", "IVRSettings_003", "IVRDriverLog_001", "IVRDriverManager_001", "IVRResources_001"}) {
    CServerDriver driver(platform::Endpoint::loopback(0));
    FakeVrServer server;
    server.useProvider(&driver);
    void* original = tableOf(server.driverInput())[3];
    server.context().withdraw(version);
    EXPECT_EQ(server.init(), vr::VRInitError_Init_InterfaceNotFound) << version;
    EXPECT_EQ(tableOf(server.driverInput())[3], original) << version;
    server.frame();  // frames after a failed init do nothing harmful
  }
}

TEST(ServerDriverInit, WithoutPropertiesComponentsAreNeverOverridden) {
  CServerDriver driver(platform::Endpoint::loopback(0));
  FakeVrServer server;
  server.useProvider(&driver);
  server.context().withdraw("IVRProperties_001");
  ASSERT_EQ(server.init(), vr::VRInitError_None);
  auto& controller = server.addController(1, "LEFT-1", FakeVrServer::thumbstickAxes(), {});
  platform::Endpoint at;
  ASSERT_TRUE(driver.boundEndpoint(at));
  platform::UdpSocket sender;
  ASSERT_TRUE(sender.open());
  ASSERT_TRUE(sender.sendTo(std::string("L 0 1"), at));
  server.frame();
  EXPECT_FLOAT_EQ(server.realInput().component(controller.handle("/input/thumbstick/y")).scalar, 0.0f);
  server.cleanup();
}

TEST(ServerDriverInit, UnknownInputVersionRunsWithoutEffect) {
  CServerDriver driver(platform::Endpoint::loopback(0));
  FakeVrServer server;
  server.useProvider(&driver);
  void* original = tableOf(server.driverInput())[3];
  server.context().withdraw("IVRDriverInput_004");
  ASSERT_EQ(server.init(), vr::VRInitError_None);
  EXPECT_EQ(tableOf(server.driverInput())[3], original);
  server.frame();
  server.cleanup();
}

TEST(ServerDriverInit, PreviousInputVersionIsIntercepted) {
  CServerDriver driver(platform::Endpoint::loopback(0));
  FakeVrServer server;
  server.useProvider(&driver);
  vr::IVRDriverInput* input = server.driverInput();
  server.context().withdraw("IVRDriverInput_004");
  server.context().serve("IVRDriverInput_003", input);
  void* original = tableOf(input)[3];
  ASSERT_EQ(server.init(), vr::VRInitError_None);
  EXPECT_NE(tableOf(input)[3], original);
  server.cleanup();
  EXPECT_EQ(tableOf(input)[3], original);
}

TEST(ServerDriverInterfaceVersions, ListIsNullTerminatedAndNamesTheProvider) {
  CServerDriver driver;
  const char* const* list = driver.GetInterfaceVersions();
  bool provider = false, device = false;
  int count = 0;
  for (; list[count]; ++count) {
    provider |= std::strcmp(list[count], "IServerTrackedDeviceProvider_004") == 0;
    device |= std::strcmp(list[count], "ITrackedDeviceServerDriver_005") == 0;
  }
  EXPECT_EQ(count, 12);
  EXPECT_TRUE(provider && device);
  EXPECT_FALSE(driver.ShouldBlockStandbyMode());
}

}  // namespace

#pragma once

#include <gtest/gtest.h>

#include <string>

#include "common/hook/hook_protocol.h"
#include "platform/port_probe.h"
#include "testing/fake_vrserver/fake_vrserver.h"

namespace fakevr {

// A test fixture holding the built driver library, loaded into a fake server and
// initialised, listening on the real hook port. Derived fixtures call loadDriver()
// from SetUp and return when it skipped or failed, then add their controllers.
class LoadedDriverTest : public ::testing::Test {
 protected:
  // Skips the test when another process holds the hook port.
  void loadDriver() {
    if (platform::isPortInUse(hook::kDriverPort, platform::PortProtocol::Udp))
      GTEST_SKIP() << "port " << hook::kDriverPort << " is in use by another process";
    std::string error;
    ASSERT_TRUE(server.loadDriver(builtDriverPath(), error)) << error;
    ASSERT_EQ(server.init(), vr::VRInitError_None);
  }
  bool loaded() { return !IsSkipped() && !HasFatalFailure(); }
  void TearDown() override { server.cleanup(); }

  // What reached SteamVR's real input interface for a component of `controller`.
  float value(FakeController* controller, const char* path) {
    return server.realInput().component(controller->handle(path)).scalar;
  }
  bool pressed(FakeController* controller, const char* path) {
    return server.realInput().component(controller->handle(path)).boolean;
  }

  FakeVrServer server;
};

}  // namespace fakevr

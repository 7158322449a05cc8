// bridge_send, run as a user would, feeding a SecondControllerBridge listening on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "app/outputs/second_controller_bridge.h"
#include "testing/support/child_process.h"

namespace {

using namespace std::chrono_literals;

TEST(BridgeSendProgram, ItsDatagramsReachTheVirtualPadMerge) {
  std::ostringstream echo;
  core::Logger logger(&echo);
  outputs::SecondControllerBridge::Options options;
  options.local = platform::Endpoint::loopback(0);
  outputs::SecondControllerBridge bridge(logger, options);
  bridge.start();
  ASSERT_NE(bridge.listeningPort(), 0);

  testsupport::ChildProcess sender(testsupport::distFolder() + "/bridge_send",
                                   {"--port", std::to_string(bridge.listeningPort()), "--interval", "10",
                                    "B lt=9 ms=30", "A+RB rt=250 lx=-20000 ly=15000 rx=7 ry=-8"},
                                   {}, ".");
  ASSERT_TRUE(sender.started());
  EXPECT_EQ(sender.waitForExit(10s), 0) << sender.errors();
  EXPECT_THAT(sender.output(), testing::HasSubstr(" datagrams to 127.0.0.1:" + std::to_string(bridge.listeningPort())));

  // Its last state is what the pad shows (every datagram is handled in order).
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  pad::XusbReport merged;
  pad::XusbReport local;
  local.wButtons = 0x0010;
  while (std::chrono::steady_clock::now() < deadline) {
    merged = bridge.mergeReport(local);
    if (merged.wButtons == (0x1000 | 0x0200 | 0x0010)) break;
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(merged.wButtons, 0x1000 | 0x0200 | 0x0010);
  EXPECT_EQ(merged.bLeftTrigger, 0);
  EXPECT_EQ(merged.bRightTrigger, 250);
  EXPECT_EQ(merged.sThumbLX, -20000);
  EXPECT_EQ(merged.sThumbLY, 15000);
  EXPECT_EQ(merged.sThumbRX, 7);
  EXPECT_EQ(merged.sThumbRY, -8);
  EXPECT_GE(bridge.acceptedDatagrams(), 2u);  // at least one per state
  bridge.stop();
}

TEST(BridgeSendProgram, RefusesABadStateWithoutSending) {
  testsupport::ChildProcess sender(testsupport::distFolder() + "/bridge_send", {"--port", "9", "A lt=999"}, {}, ".");
  ASSERT_TRUE(sender.started());
  EXPECT_EQ(sender.waitForExit(10s), 2);
  EXPECT_THAT(sender.errors(), testing::HasSubstr("lt needs a whole number from 0 to 255"));
}

}  // namespace

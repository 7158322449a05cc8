#include "app/outputs/second_controller_bridge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using outputs::SecondControllerBridge;
using testing::HasSubstr;

pad::XusbReport report(std::uint16_t buttons, std::int16_t lx = 0, std::int16_t ly = 0, std::int16_t rx = 0,
                       std::int16_t ry = 0, std::uint8_t lt = 0, std::uint8_t rt = 0) {
  pad::XusbReport r;
  r.wButtons = buttons;
  r.sThumbLX = lx;
  r.sThumbLY = ly;
  r.sThumbRX = rx;
  r.sThumbRY = ry;
  r.bLeftTrigger = lt;
  r.bRightTrigger = rt;
  return r;
}

std::vector<std::byte> datagram(const pad::XusbReport& r) {
  const auto bytes = pad::encodeBridgeDatagram(r);
  return {bytes.begin(), bytes.end()};
}

TEST(BridgeMerge, UnitesButtonsAndTriggersAndTakesTheRemoteRightStick) {
  const auto merged = SecondControllerBridge::merge(report(0x0100, 20000, 0, 32767, -32768, 0, 30),
                                                    report(0x1000, 0, 0, -100, 200, 200, 0));
  EXPECT_EQ(merged.wButtons, 0x1100);
  EXPECT_EQ(merged.bLeftTrigger, 200);
  EXPECT_EQ(merged.bRightTrigger, 30);
  EXPECT_EQ(merged.sThumbRX, -100) << "the remote right stick replaces even a local override";
  EXPECT_EQ(merged.sThumbRY, 200);
  EXPECT_EQ(merged.sThumbLX, 20000);
}

TEST(BridgeMerge, RemoteLeftStickOnlyWhileTheBodyStickIsInsideRadius3200) {
  const auto remote = report(0, -7000, 8000);
  struct Case {
    std::int16_t lx, ly;
    bool remoteWins;
  } cases[] = {
      {1000, 3000, true},  // 10 000 000 < 10 240 000
      {0, 3200, false},    // exactly on the circle: the local stick stays
      {0, -3199, true},
      {-3200, 0, false},
      {2262, 2263, true},       // 10 237 813
      {2263, 2263, false},      // 10 242 338
      {-32768, -32768, false},  // the squares do not overflow
      {0, 0, true},
  };
  for (const Case& c : cases) {
    const auto merged = SecondControllerBridge::merge(report(0, c.lx, c.ly), remote);
    EXPECT_EQ(merged.sThumbLX, c.remoteWins ? -7000 : c.lx) << c.lx << "," << c.ly;
    EXPECT_EQ(merged.sThumbLY, c.remoteWins ? 8000 : c.ly) << c.lx << "," << c.ly;
  }
}

SecondControllerBridge::Options at(platform::Endpoint local, SecondControllerBridge::TickSource ticks = {}) {
  SecondControllerBridge::Options options;
  options.local = local;
  options.ticks = std::move(ticks);
  return options;
}

struct FakeTicks {
  std::atomic<std::uint64_t> now{0};
  SecondControllerBridge::TickSource source() {
    return [this] { return now.load(); };
  }
};

TEST(BridgeRecord, FreshForUnder2000MillisecondsAndMalformedDatagramsChangeNothing) {
  std::ostringstream echo;
  core::Logger logger(&echo);
  FakeTicks ticks;
  SecondControllerBridge bridge(logger, at({}, ticks.source()));
  const auto local = report(0x0001, 10000, 0);

  EXPECT_EQ(bridge.mergeReport(local), local) << "no datagram ever: the local report, even at tick 0";

  ticks.now = 5000;
  ASSERT_TRUE(bridge.acceptDatagram(datagram(report(0x1000, 0, 0, 0, 0, 200, 0))));
  ticks.now = 6000;
  auto badMagic = datagram(report(0x8000));
  badMagic[0] = std::byte{'s'};
  auto shortOne = datagram(report(0x4000));
  shortOne.pop_back();
  EXPECT_FALSE(bridge.acceptDatagram(badMagic));
  EXPECT_FALSE(bridge.acceptDatagram(shortOne));
  EXPECT_FALSE(bridge.acceptDatagram({}));
  EXPECT_EQ(bridge.droppedDatagrams(), 3u);

  ticks.now = 6999;
  auto merged = bridge.mergeReport(local);
  EXPECT_EQ(merged.wButtons, 0x1001);
  EXPECT_EQ(merged.bLeftTrigger, 200);
  EXPECT_EQ(merged.bRightTrigger, 0);
  ticks.now = 7000;  // 2000 ms after the last good datagram; the bad ones did not refresh it
  EXPECT_EQ(bridge.mergeReport(local), local);
  ticks.now = 100;  // a clock that went backwards never makes old data fresh
  EXPECT_EQ(bridge.mergeReport(local), local);
}

// A sender on loopback that waits until the service has seen what it sent.
struct Sender {
  platform::UdpSocket socket;
  platform::Endpoint to;
  explicit Sender(std::uint16_t port) : to(platform::Endpoint::loopback(port)) { EXPECT_TRUE(socket.open()); }
  void send(const std::vector<std::byte>& bytes) { EXPECT_TRUE(socket.sendTo(bytes, to)); }
};

bool waitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

TEST(SecondControllerBridge, MergesDatagramsReceivedOverUdpAndDropsMalformedOnes) {
  std::ostringstream echo;
  core::Logger logger(&echo);
  FakeTicks ticks;
  ticks.now = 1000;
  SecondControllerBridge bridge(logger, at(platform::Endpoint::loopback(0), ticks.source()));
  bridge.initialize();
  ASSERT_NE(bridge.listeningPort(), 0);
  EXPECT_THAT(echo.str(), HasSubstr("[INFO ] SecondControllerBridge: Initialized on port 0\n"));

  Sender sender(bridge.listeningPort());
  const auto local = report(0x0100, 1000, 3000);  // near the centre: the remote left stick shows
  sender.send(datagram(report(0x1000, -20000, 15000, 11, -12, 0, 255)));
  ASSERT_TRUE(waitFor([&] { return bridge.acceptedDatagrams() == 1; }));
  EXPECT_EQ(bridge.mergeReport(local), report(0x1100, -20000, 15000, 11, -12, 0, 255));

  // Short, wrong magic, over-long (1025 bytes, one more than is read): none changes the record.
  ticks.now = 2500;
  auto shortOne = datagram(report(0x2000));
  shortOne.resize(15);
  auto wrongMagic = datagram(report(0x4000));
  wrongMagic[3] = std::byte{'X'};
  auto overLong = datagram(report(0x8000));
  overLong.resize(1025, std::byte{0x55});
  sender.send(shortOne);
  sender.send(wrongMagic);
  sender.send(overLong);
  ASSERT_TRUE(waitFor([&] { return bridge.droppedDatagrams() == 3; }));
  EXPECT_EQ(bridge.acceptedDatagrams(), 1u);
  EXPECT_EQ(bridge.mergeReport(local).wButtons, 0x1100);

  // 1024 bytes (the most that is read) with the magic is a good datagram; the tail is ignored.
  auto longest = datagram(report(0x0020));
  longest.resize(1024, std::byte{0x77});
  sender.send(longest);
  ASSERT_TRUE(waitFor([&] { return bridge.acceptedDatagrams() == 2; }));
  EXPECT_EQ(bridge.mergeReport(report(0)).wButtons, 0x0020);

  const auto started = std::chrono::steady_clock::now();
  bridge.cleanup();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2)) << "stop must not hang";
  EXPECT_EQ(bridge.listeningPort(), 0);
}

TEST(SecondControllerBridge, StopReturnsWhenNoDatagramEverArrivesAndStartTwiceStartsOnce) {
  std::ostringstream echo;
  core::Logger logger(&echo);
  SecondControllerBridge bridge(logger, at(platform::Endpoint::loopback(0)));
  bridge.start();
  bridge.start();
  const std::string log = echo.str();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
  const auto started = std::chrono::steady_clock::now();
  bridge.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  bridge.stop();   // a second stop is harmless
  bridge.start();  // and the service can listen again
  EXPECT_NE(bridge.listeningPort(), 0);
}

TEST(SecondControllerBridge, ListensOnLoopbackUnlessTheSettingOpensItToEveryAddress) {
  std::ostringstream echo;
  core::Logger logger(&echo);
  for (const bool all : {false, true}) {
    SecondControllerBridge::Options options;
    options.local.port = 0;  // the default address, any free port
    options.listenAll = [all] { return all; };
    SecondControllerBridge bridge(logger, options);
    bridge.start();
    ASSERT_NE(bridge.listeningPort(), 0) << echo.str();
    EXPECT_EQ(bridge.listeningEndpoint().addressText(), all ? "0.0.0.0" : "127.0.0.1");
  }
}

TEST(SecondControllerBridge, PortInUseLogsTheBindErrorOnceAfterTheStartLine) {
  platform::UdpSocket holder;
  ASSERT_TRUE(holder.open());
  ASSERT_TRUE(holder.bind(platform::Endpoint::loopback(0)));
  platform::Endpoint taken;
  ASSERT_TRUE(holder.localEndpoint(taken));

  std::ostringstream echo;
  core::Logger logger(&echo);
  SecondControllerBridge bridge(logger, at(taken));
  bridge.start();
  const std::string log = echo.str();
  const auto startLine =
      log.find("[INFO ] SecondControllerBridge: Initialized on port " + std::to_string(taken.port) + "\n");
  const auto bindLine = log.find("[ERROR] SecondControllerBridge: Failed to bind socket. Port likely in use.\n");
  ASSERT_NE(startLine, std::string::npos) << log;
  ASSERT_NE(bindLine, std::string::npos) << log;
  EXPECT_LT(startLine, bindLine);
  EXPECT_EQ(bridge.listeningPort(), 0);
  EXPECT_EQ(bridge.mergeReport(report(0x0010, 5)), report(0x0010, 5));
  bridge.stop();
  const std::string after = echo.str();
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 2);
}

}  // namespace

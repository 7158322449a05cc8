#include "app/core/udp_receiver.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "app/core/polling_worker.h"
#include "testing/support/manual_wait_clock.h"

namespace core {
namespace {

using platform::Endpoint;
using Bytes = std::vector<std::byte>;

struct Recorder final : UdpReceiver::Handler {
  std::mutex mutex;
  std::vector<Bytes> datagrams;
  std::vector<Endpoint> senders;
  int truncations = 0, finishes = 0;
  void received(std::span<const std::byte> bytes, const Endpoint& from) override {
    std::lock_guard lock(mutex);
    datagrams.emplace_back(bytes.begin(), bytes.end());
    senders.push_back(from);
  }
  void truncated(const platform::ReceiveResult&) override {
    std::lock_guard lock(mutex);
    ++truncations;
  }
  void finished() override { ++finishes; }
  std::size_t seen() {
    std::lock_guard lock(mutex);
    return datagrams.size() + static_cast<std::size_t>(truncations);
  }
};

// Empty, short, exactly full and one byte too long, through the receive thread and
// through the polled socket: the handler gets exactly what arrived, never more.
TEST(UdpReceiver, HandsOnExactlyTheReceivedBytesAndNothingOfAnOversizedDatagram) {
  constexpr std::size_t kBuffer = 16;
  const std::vector<std::size_t> sizes = {0, 1, kBuffer, kBuffer + 1};
  for (const bool threaded : {true, false}) {
    SCOPED_TRACE(threaded ? "receive thread" : "polled");
    Recorder handler;
    UdpReceiver receiver(kBuffer);
    const UdpReceiver::Result opened =
        threaded ? receiver.start(Endpoint::loopback(0), 5000, handler) : receiver.open(Endpoint::loopback(0));
    ASSERT_TRUE(opened.ok());
    platform::UdpSocket sender;
    ASSERT_TRUE(sender.open() && sender.bind(Endpoint::loopback(0)));
    Endpoint from;
    ASSERT_TRUE(sender.localEndpoint(from));
    for (std::size_t size : sizes) {
      Bytes datagram(size);
      for (std::size_t i = 0; i < size; ++i) datagram[i] = std::byte(i + 1);
      ASSERT_TRUE(sender.sendTo(datagram, receiver.bound()));
    }
    if (threaded) {
      ASSERT_TRUE(testsupport::eventually([&] { return handler.seen() == sizes.size(); }));
      receiver.stop();  // the thread waits in a 5 s receive: the wake-up ends it
      EXPECT_FALSE(receiver.running());
      EXPECT_EQ(handler.finishes, 1);
    } else {
      ASSERT_TRUE(testsupport::eventually([&] {
        receiver.poll(handler, 2);  // at most two a call
        return handler.seen() == sizes.size();
      }));
    }
    ASSERT_EQ(handler.datagrams.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(handler.datagrams[i].size(), sizes[i]);
      for (std::size_t b = 0; b < sizes[i]; ++b) EXPECT_EQ(handler.datagrams[i][b], std::byte(b + 1));
      EXPECT_EQ(handler.senders[i], from);
    }
    EXPECT_EQ(handler.truncations, 1);
    receiver.close();
    EXPECT_EQ(receiver.bound().port, 0);
  }
}

TEST(UdpReceiver, APortInUseIsABindFailureSaidSo) {
  Recorder handler;
  UdpReceiver first(8), second(8);
  ASSERT_TRUE(first.start(Endpoint::loopback(0), 100, handler).ok());
  const UdpReceiver::Result taken = second.start(first.bound(), 100, handler);
  EXPECT_EQ(taken.status, UdpReceiver::Opened::BindFailed);
  EXPECT_TRUE(taken.addressInUse);
  EXPECT_FALSE(second.running());
}

// The step runs after the first delay, then as often as it asks; a stop during the
// wait ends the thread without another step.
TEST(PollingWorker, StepsOnTheInjectedClockAtThePeriodItReturnsUntilStopped) {
  using namespace std::chrono_literals;
  auto clock = std::make_shared<testsupport::ManualWaitClock>();
  const auto t0 = clock->now();
  std::mutex mutex;
  std::vector<WaitClock::TimePoint> steps;
  PollingWorker worker(clock);
  ASSERT_TRUE(worker.start(
      [&](WaitClock::TimePoint now) {
        std::lock_guard lock(mutex);
        steps.push_back(now);
        return steps.size() == 1 ? 30ms : 10ms;
      },
      50ms));
  ASSERT_TRUE(clock->waitForSleeper(t0 + 50ms));
  clock->advance(50ms);
  ASSERT_TRUE(clock->waitForSleeper(t0 + 80ms));
  clock->advance(30ms);
  ASSERT_TRUE(clock->waitForSleeper(t0 + 90ms));
  worker.stop();
  EXPECT_FALSE(worker.running());
  EXPECT_EQ(steps, (std::vector<WaitClock::TimePoint>{t0 + 50ms, t0 + 80ms}));
}

}  // namespace
}  // namespace core

// The SolarXR client against the test server on loopback: the request, the feed
// reaching the callbacks, bad messages dropped, the retry cycle on a stepped timer,
// a server restart, and a session that cannot start.
#include "app/tracking/solarxr_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <random>

#include "testing/solarxr_server/feed_builder.h"
#include "testing/solarxr_server/request_check.h"
#include "testing/solarxr_server/solarxr_test_server.h"

namespace tracking {
namespace {

using namespace std::chrono_literals;
using testsupport::solarxr::FakeTracker;
using testsupport::solarxr::SolarXrTestServer;

// A retry timer the test steps by hand.
class SteppedRetryTimer final : public IRetryTimer {
 public:
  void wait(std::chrono::milliseconds delay, const std::function<bool()>& cancelled) override {
    std::unique_lock lock(mutex_);
    delays_.push_back(delay);
    const auto deadline = now_ + delay;
    waiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return now_ >= deadline || cancelled(); });
    waiting_ = false;
    changed_.notify_all();
  }
  void wake() override {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }
  void advance(std::chrono::milliseconds step) {
    std::lock_guard lock(mutex_);
    now_ += step;
    changed_.notify_all();
  }
  bool waitUntilWaiting(std::size_t waitNumber) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return waiting_ && delays_.size() >= waitNumber; });
  }
  bool waiting() {
    std::lock_guard lock(mutex_);
    return waiting_;
  }
  std::vector<std::chrono::milliseconds> delays() {
    std::lock_guard lock(mutex_);
    return delays_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::chrono::milliseconds now_{0};
  bool waiting_ = false;
  std::vector<std::chrono::milliseconds> delays_;
};

// Everything the client hands out, in order.
class Recorder {
 public:
  void install(SolarXRClient& client) {
    client.set_status_callback([this](std::string_view text) { add(statuses_, std::string(text)); });
    client.set_rotation_callback([this](std::string_view name, float a, float b, float c) {
      add(rotations_, std::string(name) + " " + std::to_string(int(std::lround(a))) + " " +
                          std::to_string(int(std::lround(b))) + " " + std::to_string(int(std::lround(c))));
    });
    client.set_accel_callback([this](std::string_view name, float x, float y, float z) {
      add(accelerations_,
          std::string(name) + " " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z));
    });
  }
  bool waitForStatus(const std::string& text, int occurrence = 1) {
    return waitFor(statuses_, [&] { return std::count(statuses_.begin(), statuses_.end(), text) >= occurrence; });
  }
  bool waitForRotation(const std::string& text) {
    return waitFor(rotations_,
                   [&] { return std::find(rotations_.begin(), rotations_.end(), text) != rotations_.end(); });
  }
  std::vector<std::string> statuses() { return copy(statuses_); }
  std::vector<std::string> rotations() { return copy(rotations_); }
  std::vector<std::string> accelerations() { return copy(accelerations_); }

 private:
  void add(std::vector<std::string>& list, std::string item) {
    {
      std::lock_guard lock(mutex_);
      list.push_back(std::move(item));
    }
    changed_.notify_all();
  }
  template <typename Done>
  bool waitFor(std::vector<std::string>&, Done done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, done);
  }
  std::vector<std::string> copy(const std::vector<std::string>& list) {
    std::lock_guard lock(mutex_);
    return list;
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> statuses_, rotations_, accelerations_;
};

std::vector<std::uint8_t> marker(const std::string& name) {
  return testsupport::solarxr::buildUpdate({{FakeTracker().display(name).rotated({0, 0, 0, 1})}});
}

TEST(SolarXrClient, FeedReachesTheCallbacksDropsBadMessagesAndResumesAfterTheServerRestarts) {
  auto server = std::make_unique<SolarXrTestServer>();
  ASSERT_TRUE(server->listening());
  const std::uint16_t port = server->port();
  SteppedRetryTimer timer;
  SolarXRClient client(timer);
  Recorder seen;
  seen.install(client);
  EXPECT_EQ(client.get_tracker_names(), std::vector<std::string>{"None"});

  client.connect("127.0.0.1", port);
  const auto request = server->waitForMessage(0, 10s);
  ASSERT_TRUE(request);
  EXPECT_EQ(testsupport::solarxr::checkStartDataFeed(*request), "");
  ASSERT_TRUE(seen.waitForStatus("Connected"));
  EXPECT_TRUE(client.connected());
  EXPECT_EQ(seen.statuses(), (std::vector<std::string>{"Disconnected", "Connecting...",
                                                       "Handshake: Sending StartDataFeed...", "Connected"}));

  // A lean of 30 degrees and an acceleration, from two trackers on one device.
  const float s15 = 0.25881905f, c15 = 0.96592583f;
  ASSERT_TRUE(server->send(
      testsupport::solarxr::buildUpdate({{FakeTracker().display("Waist").custom("Chest").rotated({s15, 0, 0, c15}),
                                          FakeTracker().display("Ankle").accelerated({0.5f, 1, -2})}})));
  ASSERT_TRUE(seen.waitForRotation("Chest 30 0 0"));

  // Bad and odd messages, then a marker: once the marker is through, all were handled.
  const auto good = marker("Good");
  std::vector<std::vector<std::uint8_t>> bad = {{}, {1, 2, 3}, std::vector<std::uint8_t>(good.begin(), good.end() - 9)};
  std::vector<std::uint8_t> lying = good;
  lying[0] = 0xF0, lying[3] = 0x7F;  // root offset far outside
  bad.push_back(lying);
  std::mt19937 random(99);
  for (int i = 0; i < 20; ++i) {
    std::vector<std::uint8_t> junk(1 + random() % 6000);  // some longer than the receive buffer
    for (auto& byte : junk) byte = static_cast<std::uint8_t>(random());
    bad.push_back(junk);
  }
  for (const auto& message : bad) ASSERT_TRUE(server->send(message));
  const std::string text = R"({"feed": "text is ignored"})";
  ASSERT_TRUE(server->send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, /*binary=*/false));
  // Long messages are put together up to 64 KiB: exactly at the limit it is decoded,
  // one byte over it is dropped whole.
  std::vector<std::uint8_t> atLimit = marker("AtLimit");
  atLimit.resize(SolarXRClient::kMaxMessageSize, 0);
  std::vector<std::uint8_t> overLimit = marker("OverLimit");
  overLimit.resize(SolarXRClient::kMaxMessageSize + 1, 0);
  ASSERT_TRUE(server->send(overLimit));
  ASSERT_TRUE(server->send(atLimit));
  ASSERT_TRUE(server->send(good));
  ASSERT_TRUE(seen.waitForRotation("Good 0 0 0"));
  EXPECT_EQ(seen.rotations(), (std::vector<std::string>{"Chest 30 0 0", "AtLimit 0 0 0", "Good 0 0 0"}));
  EXPECT_EQ(seen.accelerations(), std::vector<std::string>{"Ankle 0.500000 1.000000 -2.000000"});
  EXPECT_EQ(client.get_tracker_names(), (std::vector<std::string>{"Ankle", "AtLimit", "Chest", "Good", "None"}));

  // A server naming ever new trackers fills the list to its limit, and no further.
  testsupport::solarxr::FakeDevice many;
  for (int i = 0; i < 300; ++i)
    many.push_back(FakeTracker().custom("T" + std::to_string(1000 + i)).rotated({0, 0, 0, 1}));
  ASSERT_TRUE(server->send(testsupport::solarxr::buildUpdate({many})));
  ASSERT_TRUE(server->send(marker("Full")));
  ASSERT_TRUE(seen.waitForRotation("Full 0 0 0"));
  const auto names = client.get_tracker_names();
  EXPECT_EQ(names.size(), SolarXRClient::kMaxTrackerNames + 1);
  EXPECT_EQ(names.back(), "T1251") << "the first 252 new names were kept";  // then "T1252" and "Full"
  EXPECT_EQ(seen.rotations().size(), 3u + 300u + 1u) << "every tracker still reached the callback";

  // Another port while running changes nothing.
  client.connect("127.0.0.1", port + 1);
  EXPECT_EQ(server->connections(), 1);

  // The server dies mid-stream: the client retries after 2 s, fails while the server
  // is gone, and resumes the feed once it is back on the same port.
  server.reset();
  ASSERT_TRUE(seen.waitForStatus("Disconnected. Retrying..."));
  EXPECT_FALSE(client.connected());
  ASSERT_TRUE(timer.waitUntilWaiting(1));
  timer.advance(SolarXRClient::kRetryDelay);
  ASSERT_TRUE(seen.waitForStatus("Disconnected. Retrying...", 2));
  server = std::make_unique<SolarXrTestServer>(port);
  ASSERT_TRUE(server->listening());
  ASSERT_TRUE(timer.waitUntilWaiting(2));
  timer.advance(SolarXRClient::kRetryDelay);
  ASSERT_TRUE(server->waitForMessage(0, 10s));
  ASSERT_TRUE(seen.waitForStatus("Connected", 2));
  ASSERT_TRUE(server->send(marker("Again")));
  ASSERT_TRUE(seen.waitForRotation("Again 0 0 0"));

  // Disconnecting while the server sends nothing returns, and closes the WebSocket.
  client.disconnect();
  EXPECT_EQ(client.status(), "Disconnected");
  EXPECT_FALSE(client.connected());
  EXPECT_TRUE(server->waitForClientGone(5s));
  EXPECT_EQ(seen.statuses().back(), "Connected");  // "Disconnected" is set without the callback
}

TEST(SolarXrClient, WithoutAServerTheStatusCyclesEveryTwoSecondsUntilDisconnected) {
  std::uint16_t port = 0;
  {
    SolarXrTestServer gone;
    port = gone.port();
  }
  SteppedRetryTimer timer;
  SolarXRClient client(timer);
  Recorder seen;
  seen.install(client);
  client.connect("127.0.0.1", port);
  ASSERT_TRUE(timer.waitUntilWaiting(1));
  EXPECT_EQ(seen.statuses(), (std::vector<std::string>{"Disconnected", "Connecting...", "Disconnected. Retrying..."}));

  // One millisecond short of the delay nothing happens; at the delay the next attempt starts.
  timer.advance(SolarXRClient::kRetryDelay - 1ms);
  EXPECT_TRUE(timer.waiting());
  EXPECT_EQ(seen.statuses().size(), 3u);
  timer.advance(1ms);
  ASSERT_TRUE(timer.waitUntilWaiting(2));
  EXPECT_EQ(seen.statuses(), (std::vector<std::string>{"Disconnected", "Connecting...", "Disconnected. Retrying...",
                                                       "Connecting...", "Disconnected. Retrying..."}));
  EXPECT_EQ(timer.delays(), (std::vector<std::chrono::milliseconds>{2000ms, 2000ms}));

  // Disconnect ends the wait at once.
  client.disconnect();
  EXPECT_EQ(client.status(), "Disconnected");
  EXPECT_FALSE(timer.waiting());
}

TEST(SolarXrClient, APortOutOfRangeIsRefusedNotWrappedOntoAnotherPort) {
  SolarXrTestServer server;
  ASSERT_TRUE(server.listening());
  SteppedRetryTimer timer;
  SolarXRClient client(timer);
  Recorder seen;
  seen.install(client);
  client.connect("127.0.0.1", server.port() + 65536);
  ASSERT_TRUE(timer.waitUntilWaiting(1));
  EXPECT_EQ(seen.statuses().back(), "Disconnected. Retrying...");
  EXPECT_EQ(server.connections(), 0);
  client.disconnect();
}

TEST(SolarXrClient, ASessionThatCannotStartIsReportedAndNotRetriedUntilDisconnect) {
  SteppedRetryTimer timer;
  int sessionsAsked = 0;
  std::string agent;
  SolarXRClient client(timer, [&](const std::string& userAgent) -> std::unique_ptr<platform::IWebSocketSession> {
    ++sessionsAsked;
    agent = userAgent;
    return nullptr;
  });
  Recorder seen;
  seen.install(client);
  client.connect("127.0.0.1", 21110);
  ASSERT_TRUE(seen.waitForStatus("Error: WinHttpOpen failed"));
  client.connect("127.0.0.1", 21110);  // still wanted: nothing changes
  EXPECT_EQ(sessionsAsked, 1);
  EXPECT_EQ(agent, "StrivoVR/1.0");
  client.disconnect();
  EXPECT_EQ(client.status(), "Disconnected");
  client.connect("127.0.0.1", 21110);
  ASSERT_TRUE(seen.waitForStatus("Error: WinHttpOpen failed", 2));
  EXPECT_EQ(sessionsAsked, 2);
  EXPECT_TRUE(timer.delays().empty());
}

}  // namespace
}  // namespace tracking

#include "app/tracking/owotrack_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <vector>

#include "app/tracking/owotrack_protocol.h"
#include "app/tracking/settings_saver.h"
#include "testing/support/capture_stream.h"

namespace tracking {
namespace {

using namespace std::chrono_literals;
using platform::Endpoint;
using platform::ReceiveStatus;
using platform::UdpSocket;
using Bytes = std::vector<std::byte>;

struct RecordingSounds : core::IFeedbackSounds {
  std::mutex mutex;
  std::vector<std::string> played;
  void playStartSound() override { add("start"); }
  void playStopSound() override { add("stop"); }
  void add(const char* name) {
    std::lock_guard lock(mutex);
    played.emplace_back(name);
  }
  std::vector<std::string> get() {
    std::lock_guard lock(mutex);
    return played;
  }
};

Bytes packet(std::uint32_t type, std::size_t size, std::uint64_t number = 7) {
  Bytes data(size, std::byte{0});
  if (size >= 12)
    owotrack::writeHeader(data, type, number);
  else if (size >= 4)
    owotrack::writeU32(data, 0, type);
  return data;
}

Bytes rotation(float x, float y, float z, float w) {
  Bytes data = packet(owotrack::kRotation, 28);
  owotrack::writeF32(data, 12, x);
  owotrack::writeF32(data, 16, y);
  owotrack::writeF32(data, 20, z);
  owotrack::writeF32(data, 24, w);
  return data;
}

Bytes event(std::uint32_t type, int code) {
  Bytes data = packet(type, 13);
  data[12] = std::byte(code);
  return data;
}

// A server on a free loopback-reachable port, and a phone-side socket talking to it.
class PhoneServer : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = 0; });  // any free port
    ASSERT_TRUE(phone.open());
    ASSERT_TRUE(phone.bind(Endpoint::loopback(0)));
    ASSERT_TRUE(phone.setReceiveTimeout(1000));
    server.set_rotation_callback([this](float x, float y, float z, float w) {
      std::lock_guard lock(mutex);
      rotations.push_back({x, y, z, w});
    });
    server.set_accel_callback([this](float x, float y, float z) {
      std::lock_guard lock(mutex);
      accelerations.push_back({x, y, z, 0});
    });
    ASSERT_TRUE(server.start()) << out.text();
    ASSERT_NE(server.port(), 0);
    // The phone greets first: the server follows it from then on.
    send(packet(owotrack::kHandshake, 12));
    ASSERT_EQ(receive().size(), owotrack::kHandshakeAnswer.size());
  }

  Endpoint serverAddress() const { return Endpoint::loopback(server.port()); }
  void send(const Bytes& data, UdpSocket* from = nullptr) {
    ASSERT_TRUE((from ? *from : phone).sendTo(data, serverAddress()));
  }

  // The next datagram the server sends back, or an empty vector after the time-out.
  Bytes receive(UdpSocket* at = nullptr) {
    Bytes buffer(2048);
    const auto result = (at ? *at : phone).receiveFrom(buffer);
    if (result.status != ReceiveStatus::Received) return {};
    EXPECT_EQ(result.from.port, server.port());
    buffer.resize(result.bytes);
    return buffer;
  }

  // Datagrams are handled in order, so once this ping comes back everything sent
  // before it has been handled. Loopback may drop a datagram when the machine is
  // overloaded, so the ping is sent again a few times.
  void barrier(UdpSocket* from = nullptr) {
    Bytes ping = packet(owotrack::kPing, 12, ++barriers);
    for (int attempt = 0; attempt < 5; ++attempt) {
      send(ping, from);
      for (Bytes answer = receive(from); !answer.empty(); answer = receive(from))
        if (answer == ping) return;
    }
    FAIL() << "no ping echo";
  }

  std::size_t rotationCount() {
    std::lock_guard lock(mutex);
    return rotations.size();
  }

  core::Settings settings;
  RecordingSounds sounds;
  int resets = 0;
  int saves = 0;
  std::atomic<double> clock{100.0};
  TrackingToggle toggle{settings, sounds, [this] { ++resets; }, [this] { ++saves; }, [this] { return clock.load(); }};
  testsupport::CaptureStream out;
  core::Logger log{&out};
  owotrack_server server{settings, toggle, log, nullptr, [this] { return clock.load(); }};
  UdpSocket phone;
  std::mutex mutex;
  std::vector<std::array<float, 4>> rotations;
  std::vector<std::array<float, 4>> accelerations;
  std::uint64_t barriers = 1000;
};

TEST_F(PhoneServer, AnswersWholeHandshakesAndPingsWithNoMoreThanTheHeaderBack) {
  send(packet(owotrack::kHandshake, 12));
  const Bytes answer = receive();
  const Bytes expected = {std::byte{0x03}, std::byte{0x48}, std::byte{0x65}, std::byte{0x79}, std::byte{0x20},
                          std::byte{0x4F}, std::byte{0x56}, std::byte{0x52}, std::byte{0x20}, std::byte{0x3D},
                          std::byte{0x44}, std::byte{0x20}, std::byte{0x35}, std::byte{0x00}};
  EXPECT_EQ(answer, expected);
  // The app's long form of the handshake gets the same answer.
  send(packet(owotrack::kHandshake, 57));
  EXPECT_EQ(receive(), expected);

  Bytes ping = packet(owotrack::kPing, 12, 0xA1B2C3D4E5F60718ull);
  send(ping);
  EXPECT_EQ(receive(), ping);
  send(packet(owotrack::kPing, 1000, 0x42));
  EXPECT_EQ(receive(), packet(owotrack::kPing, 12, 0x42)) << "only the header comes back";
  // Shorter than the header: no answer, so the next thing back is the ping after them.
  for (const Bytes& data :
       {packet(owotrack::kHandshake, 11), packet(owotrack::kHandshake, 4), packet(owotrack::kPing, 11)})
    send(data);
  send(ping);
  EXPECT_EQ(receive(), ping);

  const std::string log = out.text();
  EXPECT_NE(log.find("[owotrack] Handshake (Type 3) from 127.0.0.1\n"
                     "[owotrack] Sent handshake response to 127.0.0.1 (sent 14 bytes)\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("[owotrack] Ping (Type 10) from 127.0.0.1\n"), std::string::npos);
}

TEST_F(PhoneServer, FollowsThePhoneThatGreetedUntilItHasBeenSilentForFiveSeconds) {
  EXPECT_EQ(Endpoint{server.address()}.addressText(), "0.0.0.0") << "phones are on the LAN";
  UdpSocket stranger;
  ASSERT_TRUE(stranger.open() && stranger.bind({0x7F000002u, 0})) << "127.0.0.2, a second loopback address";
  ASSERT_TRUE(stranger.setReceiveTimeout(300));
  {  // Wine binds 0.0.0.0 for a UDP socket bound to a local address, and then sends from 127.0.0.1.
    UdpSocket probe;
    ASSERT_TRUE(probe.open() && probe.bind(Endpoint::loopback(0)) && probe.setReceiveTimeout(1000));
    Endpoint at;
    ASSERT_TRUE(probe.localEndpoint(at) && stranger.sendTo(std::string("?"), at));
    std::array<std::byte, 4> buffer;
    if (probe.receiveFrom(buffer).from.address != 0x7F000002u) GTEST_SKIP() << "no second sender address here";
  }
  // The stranger's rotation, ping and handshake, some time after the phone's last datagram.
  for (const auto& [silence, takesOver] : {std::pair{0.0, false}, {4.99, false}, {5.0, true}}) {
    send(rotation(0, 0, 0, 1));
    barrier();
    clock = clock.load() + silence;
    const std::size_t before = rotationCount();
    for (const Bytes& data : {rotation(1, 1, 1, 1), packet(owotrack::kPing, 12), packet(owotrack::kHandshake, 12)})
      send(data, &stranger);
    EXPECT_EQ(receive(&stranger).size(), takesOver ? 14u : 0u) << silence;
    barrier(takesOver ? &stranger : nullptr);
    EXPECT_EQ(rotationCount(), before) << silence;
    EXPECT_EQ(server.followedPhone(), takesOver ? "127.0.0.2" : "127.0.0.1") << silence;
  }
  send(rotation(0, 0, 0, 1));  // the first phone is now the stranger
  barrier(&stranger);
  EXPECT_EQ(rotationCount(), 3u);
}

TEST_F(PhoneServer, DeliversRotationsAndAccelerationsUnchanged) {
  send(rotation(0.1f, -0.2f, 0.3f, 0.9f));
  Bytes accel = packet(owotrack::kAcceleration, 24);
  owotrack::writeF32(accel, 12, 1.5f);
  owotrack::writeF32(accel, 16, -9.81f);
  owotrack::writeF32(accel, 20, 0.0f);
  send(accel);
  // Longer datagrams are fine; the extra bytes are not read.
  Bytes longRotation = rotation(-1.0f, 0.0f, 0.5f, 0.25f);
  longRotation.resize(owotrack_server::kBufferSize, std::byte{0x7F});
  send(longRotation);
  barrier();

  std::lock_guard lock(mutex);
  ASSERT_EQ(rotations.size(), 2u);
  EXPECT_EQ(rotations[0], (std::array<float, 4>{0.1f, -0.2f, 0.3f, 0.9f}));
  EXPECT_EQ(rotations[1], (std::array<float, 4>{-1.0f, 0.0f, 0.5f, 0.25f}));
  ASSERT_EQ(accelerations.size(), 1u);
  EXPECT_EQ(accelerations[0], (std::array<float, 4>{1.5f, -9.81f, 0.0f, 0.0f}));
  EXPECT_TRUE(out.contains("[owotrack] Accel packet from 127.0.0.1\n"));
}

TEST_F(PhoneServer, ShortOrUnknownPacketsAreDumpedAndNeverReachACallback) {
  Bytes shortRotation = rotation(1, 2, 3, 4);
  shortRotation.resize(27);
  send(shortRotation);
  Bytes unknown(40);
  for (std::size_t i = 0; i < unknown.size(); ++i) unknown[i] = std::byte(0xF0 + i % 16);
  send(unknown);
  send(packet(owotrack::kAcceleration, 23));
  send(packet(owotrack::kTap, 12));
  barrier();
  EXPECT_EQ(rotationCount(), 0u);
  EXPECT_TRUE(accelerations.empty());

  const std::string log = out.text();
  std::string hex27 = "[owotrack] Hex: ";
  for (std::size_t i = 0; i < 27; ++i) {
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02X ", std::to_integer<unsigned>(shortRotation[i]));
    hex27 += digits;
  }
  EXPECT_NE(log.find("[owotrack] Unknown packet type 1 size 27 from 127.0.0.1\n" + hex27 + "\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("[owotrack] Unknown packet type 4042388211 size 40 from 127.0.0.1\n"
                     "[owotrack] Hex: F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF "
                     "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF \n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("[owotrack] Unknown packet type 4 size 23 from 127.0.0.1\n"), std::string::npos);
  EXPECT_NE(log.find("[owotrack] Unknown packet type 13 size 12 from 127.0.0.1\n"), std::string::npos);
  EXPECT_EQ(log.find("Tap Detected"), std::string::npos);
}

TEST_F(PhoneServer, TinyEmptyAndOverlongDatagramsAreDroppedQuietly) {
  barrier();
  out.clear();
  send({});
  for (std::size_t n = 1; n <= 3; ++n) send(Bytes(n, std::byte{0x01}));
  barrier();
  // Only the barrier's own ping shows: the tiny datagrams left no line at all.
  EXPECT_EQ(out.text(), "[owotrack] Ping (Type 10) from 127.0.0.1\n");

  // A rotation whose datagram exceeds the buffer is reported and not decoded.
  Bytes huge = rotation(1, 2, 3, 4);
  huge.resize(2000, std::byte{0});
  send(huge);
  barrier();
  EXPECT_EQ(rotationCount(), 0u);
  EXPECT_TRUE(out.contains("[owotrack] recvfrom SOCKET_ERROR: ")) << out.text();
  send(packet(owotrack::kHandshake, 12));
  EXPECT_EQ(receive().size(), 14u);
}

TEST_F(PhoneServer, SurvivesAFloodOfRandomDatagrams) {
  std::mt19937 random(99);
  const std::uint32_t types[] = {1, 3, 4, 10, 13, 15, 2, 12, 60};
  int validRotations = 0;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  for (int i = 0; i < 3000 && std::chrono::steady_clock::now() < deadline; ++i) {
    Bytes data(random() % 1100);
    for (auto& b : data) b = std::byte(random());
    if (data.size() >= 4 && random() % 2) {
      const std::uint32_t type = types[random() % std::size(types)];
      owotrack::writeU32(data, 0, type == 3 || type == 10 ? 99 : type);  // no answers to drain
      if (type == 1 && data.size() >= 28 && data.size() <= 1024) ++validRotations;
    }
    phone.sendTo(data, serverAddress());
    if (i % 20 == 0) std::this_thread::sleep_for(1ms);  // let the server keep up
  }
  barrier();
  EXPECT_TRUE(server.running());
  EXPECT_LE(rotationCount(), static_cast<std::size_t>(validRotations));
  send(packet(owotrack::kHandshake, 12));
  EXPECT_EQ(receive().size(), 14u);
}

TEST_F(PhoneServer, TapsAndResetActionsToggleTrackingOnlyWhenEnabled) {
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = false; });
  send(event(owotrack::kTap, 5));
  send(event(owotrack::kUserAction, 2));
  barrier();
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_TRUE(out.contains("[owotrack] Tap Detected (Type 13) sensor=5 from 127.0.0.1\n"));
  EXPECT_TRUE(out.contains("[owotrack] User Action (Type 15) action=2 from 127.0.0.1\n"));
  EXPECT_FALSE(out.contains("toggling"));

  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
  send(event(owotrack::kUserAction, 0));
  send(event(owotrack::kUserAction, 4));
  barrier();
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_EQ(saves, 0);

  // Within the spacing only the first of a burst counts; each event is still logged.
  for (int i = 0; i < 5; ++i) send(event(owotrack::kTap, 0));
  barrier();
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_EQ(resets, 1);
  clock = clock + TrackingToggle::kNetworkSpacing;
  send(event(owotrack::kTap, 0));
  send(event(owotrack::kUserAction, 1));
  barrier();
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_EQ(resets, 1);
  EXPECT_EQ(saves, 2);
  EXPECT_EQ(sounds.get(), (std::vector<std::string>{"stop", "start"}));
  EXPECT_EQ(out.text().find("SlimeVR Reset (1)"), std::string::npos) << out.text();

  clock = clock + 1.0;
  send(event(owotrack::kUserAction, 3));
  barrier();
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_TRUE(
      out.contains("[owotrack] User Action (Type 15) action=3 from 127.0.0.1\n"
                   "[owotrack] SlimeVR Reset (3) detected, toggling tracking.\n"));
  EXPECT_EQ(resets, 2);
  EXPECT_EQ(saves, 3);
}

TEST_F(PhoneServer, CountsRotationsAcrossRestartsAndLogsEveryFiftieth) {
  for (int i = 0; i < 30; ++i) send(rotation(0, 0, 0, 1));
  barrier();
  server.stop();
  ASSERT_TRUE(server.start());
  for (int i = 0; i < 19; ++i) send(rotation(0, 0, 0, 1));
  barrier();
  EXPECT_FALSE(out.contains("Recv rotation packet"));
  send(rotation(0, 0, 0, 1));
  barrier();
  EXPECT_TRUE(out.contains("[owotrack] Recv rotation packet 50 from 127.0.0.1\n")) << out.text();
  EXPECT_EQ(rotationCount(), 50u);
}

TEST_F(PhoneServer, StartWhileListeningReturnsTrueAndStopIsLoggedEvenWhenStopped) {
  const std::string before = out.text();
  EXPECT_NE(before.find("[owotrack] Requesting server start on port 0...\n"
                        "[owotrack] Server thread started.\n"
                        "[owotrack] SUCCESSFULLY listening on UDP port " +
                        std::to_string(server.port()) + "\n"),
            std::string::npos)
      << before;
  EXPECT_TRUE(server.start());
  EXPECT_EQ(out.text(), before);

  server.stop();
  EXPECT_FALSE(server.running());
  EXPECT_TRUE(out.contains("[owotrack] Server thread exiting.\n[owotrack] Server stopped.\n"));
  out.clear();
  server.stop();
  EXPECT_EQ(out.text(), "[owotrack] Server stopped.\n");
}

TEST_F(PhoneServer, StopsPromptlyAndRebindsTheSamePort) {
  const std::uint16_t port = server.port();
  // Several stop/start rounds: each stop wakes the receive at once (a stuck join hangs the test).
  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = port; });
  for (int round = 0; round < 5; ++round) {
    server.stop();
    ASSERT_TRUE(server.start()) << out.text();
    EXPECT_EQ(server.port(), port);
  }
  send(packet(owotrack::kHandshake, 12));
  EXPECT_EQ(receive().size(), 14u);
}

TEST_F(PhoneServer, BindFailureOnATakenPortIsReportedAndRetriedLater) {
  server.stop();
  UdpSocket blocker;
  ASSERT_TRUE(blocker.open());
  ASSERT_TRUE(blocker.bind({0, 0}));
  Endpoint taken;
  ASSERT_TRUE(blocker.localEndpoint(taken));
  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = taken.port; });
  out.clear();

  EXPECT_FALSE(server.start());
  EXPECT_FALSE(server.running());
  const std::string prefix =
      "[owotrack] ERROR: bind() failed on port " + std::to_string(taken.port) + " (PORT ALREADY IN USE!), WSA error=";
  EXPECT_TRUE(out.contains(prefix)) << out.text();

  // A port number no socket can have (a hand-edited file) fails the same way and says why;
  // the last valid port is tried for real and never called out of range.
  for (const int port : {70000, 65536, -1, 65535}) {
    settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = port; });
    out.clear();
    const bool valid = port == 65535;
    const bool started = server.start();
    EXPECT_EQ(started, server.running()) << port;
    EXPECT_FALSE(started && !valid) << port;
    const std::string line = "[owotrack] ERROR: bind() failed on port " + std::to_string(port) +
                             " (PORT OUT OF RANGE, must be 0 to 65535), WSA error=";
    EXPECT_EQ(out.contains(line), !valid) << out.text();
    EXPECT_EQ(out.contains("OUT OF RANGE"), !valid) << out.text();
    server.stop();
  }
  settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = taken.port; });

  // The failed run's thread is joined by the next start, which succeeds once the port is free.
  blocker.close();
  EXPECT_TRUE(server.start()) << out.text();
  EXPECT_EQ(server.port(), taken.port);
}

TEST(TrackingToggle, FlipsResetsPlaysAndSavesInThatOrder) {
  core::Settings settings;
  std::vector<std::string> calls;
  struct Sounds : core::IFeedbackSounds {
    std::vector<std::string>& calls;
    explicit Sounds(std::vector<std::string>& c) : calls(c) {}
    void playStartSound() override { calls.push_back("start sound"); }
    void playStopSound() override { calls.push_back("stop sound"); }
  } sounds(calls);
  TrackingToggle toggle(
      settings, sounds, [&] { calls.push_back("reset"); }, [&] { calls.push_back("save"); });
  EXPECT_FALSE(toggle.toggle());
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_TRUE(toggle.toggle());
  EXPECT_EQ(calls, (std::vector<std::string>{"reset", "stop sound", "save", "start sound", "save"}));

  // Without an engine or settings file attached there is nothing to reset or save.
  TrackingToggle bare(settings, sounds, nullptr, nullptr);
  EXPECT_FALSE(bare.toggle());
}

TEST(TrackingToggle, ShortFormsHaveNoSound) {
  core::Settings settings;
  std::vector<std::string> calls;
  struct Sounds : core::IFeedbackSounds {
    std::vector<std::string>& calls;
    explicit Sounds(std::vector<std::string>& c) : calls(c) {}
    void playStartSound() override { calls.push_back("start sound"); }
    void playStopSound() override { calls.push_back("stop sound"); }
  } sounds(calls);
  TrackingToggle toggle(
      settings, sounds, [&] { calls.push_back("reset"); }, [&] { calls.push_back("save"); });
  EXPECT_FALSE(toggle.toggleAndSave());  // OSC reset message
  EXPECT_TRUE(toggle.toggleAndSave());
  EXPECT_EQ(calls, (std::vector<std::string>{"reset", "save", "save"}));
  calls.clear();
  EXPECT_FALSE(toggle.toggleQuietly());  // START/STOP button
  EXPECT_TRUE(toggle.toggleQuietly());
  EXPECT_EQ(calls, (std::vector<std::string>{"reset"}));
}

TEST(TrackingToggle, NetworkTogglesCountAtMostOncePerSpacingForEachSource) {
  core::Settings settings;
  core::SilentFeedbackSounds sounds;
  double now = 0.0;
  TrackingToggle toggle(settings, sounds, nullptr, nullptr, [&] { return now; });
  const struct {
    double time;
    ToggleSource source;
    bool admitted;
  } steps[] = {
      {0.0, ToggleSource::Phone, true},   {0.0, ToggleSource::Phone, false},  {0.2, ToggleSource::Osc, true},
      {0.49, ToggleSource::Phone, false}, {0.5, ToggleSource::Phone, true},   {0.69, ToggleSource::Osc, false},
      {0.7, ToggleSource::Osc, true},     {0.99, ToggleSource::Phone, false}, {5.0, ToggleSource::Phone, true}};
  for (const auto& step : steps) {
    now = step.time;
    EXPECT_EQ(toggle.admitNetworkToggle(step.source), step.admitted) << "at " << step.time;
  }
}

TEST(SaveSchedule, ABurstOfRequestsBecomesOneWritePerIntervalAndALateOneWaitsItsInterval) {
  SaveSchedule schedule(1.0);
  std::vector<double> writes;
  for (int ms = 0; ms <= 6000; ms += 10) {
    const double now = ms / 1000.0;
    // Thirty requests over three seconds, then one more alone at 5 s.
    if ((ms < 3000 && ms % 100 == 0) || ms == 5000) schedule.request(now);
    if (schedule.take(now)) writes.push_back(now);
  }
  const std::vector<double> expected = {1.0, 2.1, 3.2, 6.0};
  ASSERT_EQ(writes.size(), expected.size());
  for (std::size_t i = 0; i < writes.size(); ++i) EXPECT_NEAR(writes[i], expected[i], 1e-9);
  EXPECT_FALSE(schedule.takeAll(6.5));
  schedule.request(6.5);
  EXPECT_FALSE(schedule.take(7.4));
  EXPECT_TRUE(schedule.takeAll(7.4));
  EXPECT_FALSE(schedule.pending());
}

TEST(SettingsSaver, WritesTheLastStateOffTheCallersThreadAndWhatIsPendingAtStop) {
  std::atomic<int> state{0};
  std::vector<std::pair<int, std::thread::id>> written;  // by one thread at a time: the worker, then this one
  SettingsSaver saver([&] { written.emplace_back(state.load(), std::this_thread::get_id()); }, 0.5);
  for (state = 1; state <= 3; ++state) saver.request();
  for (int wait = 0; wait < 500 && saver.writes() == 0; ++wait) std::this_thread::sleep_for(10ms);
  saver.request();
  saver.stop();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0].first, 4);  // the state when the write ran, not when it was asked for
  EXPECT_NE(written[0].second, std::this_thread::get_id());
  EXPECT_EQ(written[1].second, std::this_thread::get_id());
}

TEST(TrackingToggle, ConcurrentTogglesNeverLoseAFlip) {
  core::Settings settings;
  core::SilentFeedbackSounds sounds;
  TrackingToggle toggle(settings, sounds, nullptr, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 1001; ++i) toggle.toggle();
    });
  for (auto& thread : threads) thread.join();
  // 4004 flips: an even number brings the flag back to where it started.
  EXPECT_TRUE(settings.tracking_active);
}

}  // namespace
}  // namespace tracking

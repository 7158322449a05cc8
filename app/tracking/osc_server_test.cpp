#include "app/tracking/osc_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/tracking/osc_test_bytes.h"
#include "testing/support/capture_stream.h"

namespace tracking {
namespace {

using namespace std::chrono_literals;
using osc::testbytes::Bytes;
using platform::Endpoint;
using platform::UdpSocket;

// A message with float arguments.
Bytes oscMessage(std::string_view address, std::initializer_list<float> floats) {
  Bytes args;
  for (float f : floats) args = osc::testbytes::cat({args, osc::testbytes::f32(f)});
  return osc::testbytes::msg(address, "," + std::string(floats.size(), 'f'), {args});
}

struct NoSounds : core::IFeedbackSounds {
  void playStartSound() override {}
  void playStopSound() override {}
};

class OscServer : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.config.edit([&](core::Config& c) { c.tracking.osc_input_port = 0; });  // any free port
    server.set_message_callback([this](std::string_view address, std::span<const float> values) {
      std::string line(address);
      for (float v : values) line += " " + std::to_string(v);
      record(line);
    });
    ASSERT_TRUE(sender.open());
  }

  void record(const std::string& event) {
    std::lock_guard lock(mutex);
    events.push_back(event);
  }
  std::vector<std::string> takeEvents() {
    std::lock_guard lock(mutex);
    return std::exchange(events, {});
  }

  void send(const Bytes& datagram) { ASSERT_TRUE(sender.sendTo(datagram, Endpoint::loopback(server.port()))); }

  // Datagrams are handled in order: once a marker message arrives, everything sent
  // before it has been handled. Loopback may drop a datagram on a loaded machine,
  // so the marker is sent again a few times.
  void barrier() {
    const std::string marker = "/marker " + std::to_string(1.0f * ++markers);
    for (int attempt = 0; attempt < 10; ++attempt) {
      send(oscMessage("/marker", {1.0f * markers}));
      for (int wait = 0; wait < 50; ++wait) {
        {
          std::lock_guard lock(mutex);
          for (auto it = events.begin(); it != events.end(); ++it)
            if (*it == marker) {
              events.erase(it);
              return;
            }
        }
        std::this_thread::sleep_for(2ms);
      }
    }
    FAIL() << "the marker never arrived";
  }

  core::Settings settings;
  NoSounds sounds;
  std::atomic<double> clock{100.0};
  TrackingToggle toggle{settings, sounds, [this] { record("reset outputs"); }, [this] { record("save"); },
                        [this] { return clock.load(); }};
  testsupport::CaptureStream out;
  testsupport::CaptureStream err;
  core::Logger log{&out, std::chrono::system_clock::now, &err};
  osc_server server{settings, toggle, [this] { return clock.load(); }, log};
  UdpSocket sender;
  std::mutex mutex;
  std::vector<std::string> events;
  int markers = 0;
};

TEST_F(OscServer, DeliversSlimeVrBundlesAndTogglesTrackingOnResets) {
  ASSERT_TRUE(server.start()) << err.text();
  ASSERT_NE(server.port(), 0);
  EXPECT_TRUE(server.start());  // already running
  EXPECT_TRUE(out.contains("[OSC] Server started on port " + std::to_string(server.port()) + "\n")) << out.text();

  // A bundle as SlimeVR sends it: position and rotation of one tracker.
  const Bytes position = oscMessage("/tracking/trackers/1/position", {0.5f, 1.25f, -2.0f});
  const Bytes rotation = oscMessage("/tracking/trackers/1/rotation", {10.0f, 20.0f, 30.0f});
  const Bytes bundle = osc::testbytes::bundle({position, rotation});
  send(bundle);
  send(Bytes(10, std::byte{0x01}));                       // not OSC
  send(oscMessage("/user/yaw_reset", {}));                // tap toggle off: no toggle
  send(oscMessage("/tracking/trackers/2/rotation", {}));  // no floats: no callback
  barrier();
  EXPECT_EQ(takeEvents(), (std::vector<std::string>{"/tracking/trackers/1/position 0.500000 1.250000 -2.000000",
                                                    "/tracking/trackers/1/rotation 10.000000 20.000000 30.000000"}));
  EXPECT_TRUE(settings.tracking_active);
  const std::string port = std::to_string(settings.config.snapshot()->tracking.osc_input_port);
  EXPECT_TRUE(out.contains("[OSC] WARNING: Received non-OSC packet (binary?) on port " + port +
                           ". Size: 10\n[OSC] Hex: 01 01 01 01 01 01 01 01 01 01 ...\n"))
      << out.text();
  EXPECT_FALSE(out.contains("[OSC] Packet from")) << out.text();  // only logged while the toggle is on

  // With the toggle on, a reset flips tracking off (resetting the outputs) and saves;
  // a reset carrying floats is delivered first and then flips tracking back on.
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
  send(oscMessage("/user/yaw_reset", {}));
  barrier();
  EXPECT_FALSE(settings.tracking_active);
  EXPECT_EQ(takeEvents(), (std::vector<std::string>{"reset outputs", "save"}));
  clock = clock + TrackingToggle::kNetworkSpacing;
  send(oscMessage("/user/mounting_reset", {1.0f}));
  barrier();
  EXPECT_TRUE(settings.tracking_active);
  EXPECT_EQ(takeEvents(), (std::vector<std::string>{"/user/mounting_reset 1.000000", "save"}));
  for (const char* address : {"/user/yaw_reset", "/user/mounting_reset"})
    EXPECT_TRUE(
        out.contains("[OSC] SlimeVR Reset signal detected: " + std::string(address) + " - Toggling tracking.\n"))
        << out.text();

  // Longer than 2048 bytes: read whole.
  Bytes longMessage = oscMessage("/tracking/trackers/1/rotation" + std::string(3000, 'x'), {1, 2, 3});
  send(longMessage);
  barrier();
  EXPECT_EQ(takeEvents().size(), 1u);

  // Stopping ends the thread; the callback survives a restart.
  server.stop();
  EXPECT_FALSE(server.running());
  EXPECT_TRUE(out.contains("[OSC] Server stopped.\n"));
  ASSERT_TRUE(server.start());
  send(oscMessage("/tracking/trackers/1/rotation", {4, 5, 6}));
  barrier();
  EXPECT_EQ(takeEvents(), (std::vector<std::string>{"/tracking/trackers/1/rotation 4.000000 5.000000 6.000000"}));
}

TEST_F(OscServer, PacketLineIsWrittenAtMostOncePerSecond) {
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
  const Bytes message = oscMessage("/tracking/trackers/1/rotation", {1, 2, 3});
  const std::string line = "[OSC] Packet from /tracking/trackers/1/rotation\n";
  const auto lines = [&] {
    std::size_t n = 0;
    const std::string text = out.text();
    for (auto at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  };
  const struct {
    double time;
    std::size_t expectedLines;
  } steps[] = {{100.0, 1}, {101.0, 1}, {101.001, 2}, {101.5, 2}, {102.0011, 3}};
  for (const auto& step : steps) {
    clock = step.time;
    server.handleDatagram(message);
    EXPECT_EQ(lines(), step.expectedLines) << "at " << step.time;
  }
}

TEST_F(OscServer, ABundleOfResetsTogglesOnceAndTheNextOnlyAfterTheSpacing) {
  settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
  Bytes bundle = osc::testbytes::bundle({});
  const Bytes reset = osc::testbytes::element(oscMessage("/user/reset", {}));
  for (int i = 0; i < 200; ++i) bundle.insert(bundle.end(), reset.begin(), reset.end());
  const struct {
    double time;
    std::vector<std::string> events;
  } steps[] = {{100.0, {"reset outputs", "save"}}, {100.49, {}}, {100.5, {"save"}}};
  for (const auto& step : steps) {
    clock = step.time;
    server.handleDatagram(bundle);
    EXPECT_EQ(takeEvents(), step.events) << "at " << step.time;
  }
  EXPECT_TRUE(settings.tracking_active);
}

TEST_F(OscServer, ListensOnLoopbackUnlessTheSettingOpensItToEveryAddress) {
  for (const bool all : {false, true}) {
    settings.config.edit([&](core::Config& c) { c.tracking.osc_listen_all = all; });
    ASSERT_TRUE(server.start()) << err.text();
    EXPECT_EQ(Endpoint{server.address()}.addressText(), all ? "0.0.0.0" : "127.0.0.1");
    barrier();  // and it still hears this machine
    server.stop();
  }
}

TEST_F(OscServer, BindFailureOnATakenPortIsReportedOnStandardError) {
  UdpSocket blocker;
  ASSERT_TRUE(blocker.open());
  ASSERT_TRUE(blocker.bind(Endpoint::loopback(0)));
  Endpoint taken;
  ASSERT_TRUE(blocker.localEndpoint(taken));
  settings.config.edit([&](core::Config& c) { c.tracking.osc_input_port = taken.port; });

  EXPECT_FALSE(server.start());
  EXPECT_FALSE(server.running());
  EXPECT_TRUE(err.contains("[OSC] ERROR: bind() failed on port " + std::to_string(taken.port) +
                           " (PORT ALREADY IN USE!), WSA error="))
      << err.text();
  settings.config.edit([&](core::Config& c) { c.tracking.osc_input_port = 70000; });
  EXPECT_FALSE(server.start());
  EXPECT_TRUE(err.contains("[OSC] ERROR: bind() failed on port 70000 (not a UDP port)\n")) << err.text();

  // The next start after the port is freed succeeds.
  blocker.close();
  settings.config.edit([&](core::Config& c) { c.tracking.osc_input_port = taken.port; });
  EXPECT_TRUE(server.start()) << err.text();
  EXPECT_EQ(server.port(), taken.port);
}

}  // namespace
}  // namespace tracking

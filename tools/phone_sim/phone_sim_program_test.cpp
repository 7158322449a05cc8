// Runs the built phone_sim against the real phone server, as a user checking their set-up would.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <numbers>
#include <vector>

#include "app/tracking/owotrack_server.h"
#include "testing/support/capture_stream.h"
#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

struct Server {
  core::Settings settings;
  core::SilentFeedbackSounds sounds;
  int saves = 0;
  tracking::TrackingToggle toggle{settings, sounds, nullptr, [this] { ++saves; }};
  testsupport::CaptureStream out;
  core::Logger log{&out};
  tracking::owotrack_server server{settings, toggle, log};
  std::mutex mutex;
  std::vector<std::array<float, 4>> rotations;
  std::vector<std::array<float, 3>> accelerations;

  Server() {
    settings.config.edit([&](core::Config& c) { c.tracking.owotrack_input_port = 0; });
    server.set_rotation_callback([this](float x, float y, float z, float w) {
      std::lock_guard lock(mutex);
      rotations.push_back({x, y, z, w});
    });
    server.set_accel_callback([this](float x, float y, float z) {
      std::lock_guard lock(mutex);
      accelerations.push_back({x, y, z});
    });
  }
};

int runPhoneSim(const std::vector<std::string>& args, std::string& output, std::string& errors) {
  testsupport::TempFolder folder("phone_sim");
  testsupport::ChildProcess child(testsupport::distFolder() + "/phone_sim", args, {}, folder.path().string());
  if (!child.started()) return -1;
  const int code = child.waitForExit(30s);
  output = child.output();
  errors = child.errors();
  return code;
}

TEST(PhoneSimProgram, StreamsAScriptedLeanThatTheServerDecodes) {
  Server s;
  ASSERT_TRUE(s.server.start());
  s.settings.config.edit([](core::Config& c) { c.program.slimevr_tap_toggle = true; });
  std::string out, err;
  const int code = runPhoneSim({"--port", std::to_string(s.server.port()), "--rate", "100", "--seconds", "1", "--lean",
                                "0:0,1:40", "--jump", "0.5", "--tap", "1", "--ping-every", "0.5"},
                               out, err);
  ASSERT_EQ(code, 0) << out << err;
  EXPECT_NE(out.find("phone_sim: sending to 127.0.0.1:" + std::to_string(s.server.port())), std::string::npos);
  EXPECT_NE(out.find("handshake answered by 127.0.0.1:" + std::to_string(s.server.port()) +
                     ": 03 48 65 79 20 4F 56 52 20 3D 44 20 35 00 (\"Hey OVR =D 5\", accepted)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("phone_sim: ping 2 echoed"), std::string::npos) << out;
  EXPECT_NE(out.find("phone_sim: sent 100 rotations, 100 accelerations, 1 taps, 0 resets, 2 pings; 2 ping echoes, "
                     "0 other answers, 0 send failures"),
            std::string::npos)
      << out;
  s.server.stop();

  // Loopback delivers all of them, in order: the lean grows from 0 to 39.6 degrees.
  ASSERT_EQ(s.rotations.size(), 100u);
  EXPECT_EQ(s.rotations.front(), (std::array<float, 4>{0, 0, 0, 1}));
  const auto& last = s.rotations.back();
  EXPECT_NEAR(2 * std::atan2(last[1], last[3]) * 180 / std::numbers::pi, 39.6, 1e-3);
  // The jump shows as ten samples of 20 m/s² upward.
  ASSERT_EQ(s.accelerations.size(), 100u);
  int spikes = 0;
  for (const auto& a : s.accelerations) spikes += a[1] == 20.0f;
  EXPECT_EQ(spikes, 10);
  // The tap: tracking off, the settings saved.
  EXPECT_FALSE(s.settings.tracking_active);
  EXPECT_EQ(s.saves, 1);
  EXPECT_TRUE(s.out.contains("[owotrack] Recv rotation packet 100 from 127.0.0.1"));
}

TEST(PhoneSimProgram, ReportsAMissingServerAndBadArguments) {
  // A port nobody listens on: a bound, silent socket.
  platform::UdpSocket silent;
  ASSERT_TRUE(silent.open());
  ASSERT_TRUE(silent.bind(platform::Endpoint::loopback(0)));
  platform::Endpoint local;
  ASSERT_TRUE(silent.localEndpoint(local));
  std::string out, err;
  EXPECT_EQ(runPhoneSim({"--port", std::to_string(local.port), "--handshake-timeout", "0.3", "--quiet"}, out, err), 1);
  EXPECT_NE(out.find("phone_sim: no handshake answer from 127.0.0.1:" + std::to_string(local.port)), std::string::npos)
      << out;
  EXPECT_NE(out.find("phone_sim: sent 0 rotations"), std::string::npos) << out;

  EXPECT_EQ(runPhoneSim({"--lean", "oops"}, out, err), 2);
  EXPECT_NE(err.find("phone_sim: --lean: bad keyframe \"oops\""), std::string::npos) << err;
  EXPECT_EQ(runPhoneSim({"--host", "localhost"}, out, err), 2);
  EXPECT_EQ(runPhoneSim({"--help"}, out, err), 0);
  EXPECT_NE(out.find("--lean \"t:deg,...\""), std::string::npos);
}

}  // namespace

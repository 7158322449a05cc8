// The phone road through the whole program: strivovr-headless with its phone server
// on a per-test port, and phone_sim talking to it as the phone app would.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "platform/udp_socket.h"
#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

TEST(PhoneProgram, HeadlessProgramAnswersThePhoneAndTogglesOnTaps) {
  testsupport::TempFolder home("phone_program");
  const int port = testsupport::freeUdpPort();
  ASSERT_NE(port, 0);
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                         "{\"owotrack_input_port\": " + std::to_string(port) + ", \"slimevr_tap_toggle\": true}");
  const std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", home.file("config")},
                                               {"XDG_RUNTIME_DIR", home.path().string()}};
  ChildProcess program(testsupport::distFolder() + "/strivovr-headless", {}, env, home.path().string());
  ASSERT_TRUE(program.waitForOutput("[Main] Logic initialized.", 10s)) << program.output() << program.errors();
  EXPECT_NE(program.output().find("[owotrack] SUCCESSFULLY listening on UDP port " + std::to_string(port)),
            std::string::npos);
  EXPECT_NE(program.output().find("TrackingService: Port changed (-1 -> " + std::to_string(port) +
                                  "), restarting owoTrack..."),
            std::string::npos)
      << program.output();

  const std::string settingsPath = home.file("config/StrivoVR/usersettings.json");
  ASSERT_EQ(testsupport::readFile(settingsPath).find("\"deadzone\""), std::string::npos);  // not rewritten at start

  ChildProcess phone(testsupport::distFolder() + "/phone_sim",
                     {"--port", std::to_string(port), "--seconds", "1", "--rate", "60", "--tap", "1", "--quiet"}, {},
                     home.path().string());
  EXPECT_EQ(phone.waitForExit(20s), 0) << phone.output() << phone.errors();
  EXPECT_NE(
      phone.output().find("phone_sim: sent 60 rotations, 0 accelerations, 1 taps, 0 resets, 1 pings; 1 ping echoes"),
      std::string::npos)
      << phone.output();

  ASSERT_TRUE(program.waitForOutput("[owotrack] Tap Detected (Type 13) sensor=0 from 127.0.0.1", 5s));
  program.signal(SIGTERM);
  EXPECT_EQ(program.waitForExit(5s), 0) << program.errors();
  const std::string out = program.output();
  EXPECT_NE(out.find("[owotrack] Handshake (Type 3) from 127.0.0.1"), std::string::npos);
  EXPECT_NE(out.find("[owotrack] Recv rotation packet 50 from 127.0.0.1"), std::string::npos);
  EXPECT_NE(out.find("[owotrack] Server thread exiting."), std::string::npos);
  // The tap toggled tracking, which saved the whole settings record.
  const std::string saved = testsupport::readFile(settingsPath);
  EXPECT_NE(saved.find("\"deadzone\""), std::string::npos) << saved;
  EXPECT_NE(saved.find("\"owotrack_input_port\": " + std::to_string(port)), std::string::npos) << saved;
}

// VRChat's "/input/Vertical" values as they arrive at a loopback port.
class VerticalListener {
 public:
  VerticalListener() {
    if (!socket_.open() || !socket_.bind(platform::Endpoint::loopback(0))) return;
    socket_.setReceiveTimeout(50);
    platform::Endpoint local;
    if (socket_.localEndpoint(local)) port_ = local.port;
    thread_ = std::thread([this] {
      std::array<std::byte, 64> buffer{};
      while (!done_) {
        const platform::ReceiveResult got = socket_.receiveFrom(buffer);
        // "/input/Vertical", its zero, ",f" and two zeros, then the float.
        if (got.status != platform::ReceiveStatus::Received || got.bytes != 24 ||
            std::memcmp(buffer.data(), "/input/Vertical", 15) != 0)
          continue;
        std::uint32_t bits = 0;
        for (int i = 20; i < 24; ++i) bits = bits << 8 | std::to_integer<std::uint32_t>(buffer[i]);
        std::lock_guard lock(mutex_);
        values_.push_back(std::bit_cast<float>(bits));
      }
    });
  }
  ~VerticalListener() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int port() const { return port_; }
  std::vector<float> values() {
    std::lock_guard lock(mutex_);
    return values_;
  }

 private:
  platform::UdpSocket socket_;
  int port_ = 0;
  std::atomic<bool> done_{false};
  std::mutex mutex_;
  std::vector<float> values_;
  std::thread thread_;
};

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// One OSC bundle of `count` "/user/reset" messages without arguments.
std::vector<std::byte> resetBundle(int count) {
  std::vector<std::byte> bytes(16, std::byte{0});
  std::memcpy(bytes.data(), "#bundle", 7);
  const char message[16] = "/user/reset\0,\0\0";
  for (int i = 0; i < count; ++i) {
    for (const std::byte b : {std::byte{0}, std::byte{0}, std::byte{0}, std::byte{16}}) bytes.push_back(b);
    for (const char c : message) bytes.push_back(static_cast<std::byte>(c));
  }
  return bytes;
}

TEST(PhoneProgram, FloodsOfTapsAndResetsToggleRarelySaveAtMostThriceAndWalkingGoesOn) {
  testsupport::TempFolder home("phone_flood");
  const int phonePort = testsupport::freeUdpPort();
  const int oscPort = testsupport::freeUdpPort();
  VerticalListener vrchat;
  ASSERT_TRUE(phonePort && oscPort && vrchat.port());
  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  const std::string settingsPath = home.file("config/StrivoVR/usersettings.json");
  testsupport::writeFile(settingsPath, R"j({"mode": "VRChat OSC", "tracker_source": "Phone", )j"
                                       R"j("hmd_source": "SlimeVR (OSC)", "slimevr_tap_toggle": true, )j"
                                       R"j("check_for_updates": false, "owotrack_input_port": )j" +
                                           std::to_string(phonePort) + R"(, "osc_input_port": )" +
                                           std::to_string(oscPort) + R"(, "vrchat_osc_port": )" +
                                           std::to_string(vrchat.port()) + "}");
  const std::map<std::string, std::string> env{{"XDG_CONFIG_HOME", home.file("config")},
                                               {"XDG_RUNTIME_DIR", home.path().string()},
                                               {"SDL_AUDIODRIVER", "dummy"}};
  ChildProcess program(testsupport::distFolder() + "/strivovr-headless", {}, env, home.path().string());
  ASSERT_TRUE(program.waitForOutput("[OSC] Server started on port " + std::to_string(oscPort), 10s))
      << program.output() << program.errors();
  ASSERT_TRUE(program.waitForOutput("[Main] Logic initialized.", 10s)) << program.output() << program.errors();

  // 300 taps in three seconds while the phone sways between 20 and 35 degrees forward.
  ChildProcess phone(testsupport::distFolder() + "/phone_sim",
                     {"--port", std::to_string(phonePort), "--seconds", "3", "--rate", "50", "--tap", "300", "--lean",
                      "0:20,0.5:35,1:20,1.5:35,2:20,2.5:35,3:20", "--quiet"},
                     {}, home.path().string());
  ASSERT_TRUE(phone.started());
  std::this_thread::sleep_for(1500ms);
  platform::UdpSocket slimevr;
  ASSERT_TRUE(slimevr.open());
  ASSERT_TRUE(slimevr.sendTo(resetBundle(200), platform::Endpoint::loopback(static_cast<std::uint16_t>(oscPort))));
  const std::size_t beforeBundle = vrchat.values().size();
  EXPECT_EQ(phone.waitForExit(20s), 0) << phone.output() << phone.errors();

  // The phone kept being read after the bundle: walking values, and changing ones.
  const std::vector<float> values = vrchat.values();
  std::set<float> walking;
  for (std::size_t i = beforeBundle; i < values.size(); ++i)
    if (values[i] > 0.1f) walking.insert(values[i]);
  EXPECT_GE(walking.size(), 5u) << "of " << values.size() - beforeBundle << " values after the bundle";

  std::this_thread::sleep_for(1500ms);  // the last coalesced save is due by now
  program.signal(SIGTERM);
  EXPECT_EQ(program.waitForExit(1s), 0) << program.errors();
  const std::string out = program.output();
  EXPECT_EQ(countOf(out, "[OSC] SlimeVR Reset signal detected: /user/reset - Toggling tracking."), 1u) << out;
  EXPECT_GE(countOf(out, "[owotrack] Tap Detected (Type 13)"), 250u);  // loopback may drop a few
  // Each off-toggle centres the outputs: seven toggles at most make four.
  const std::size_t centred = countOf(out, "OutputService: Centering all outputs...");
  EXPECT_GE(centred, 2u) << out;
  EXPECT_LE(centred, 5u) << out;
  const std::size_t saves = countOf(out, "[Settings] Saved to " + settingsPath + "\n");
  EXPECT_GE(saves, 1u) << out;
  EXPECT_LE(saves, 3u) << out;
}

}  // namespace

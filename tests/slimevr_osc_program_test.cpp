// SlimeVR in, VRChat out, through the whole program: strivovr-headless with
// "SlimeVR (OSC)" as its tracker and "VRChat OSC" as its output. Debian's liblo
// tools stand in for both peers: oscsend plays the SlimeVR server, oscdump plays
// VRChat listening on `vrchat_osc_port`.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "testing/support/child_process.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

constexpr const char* kOscSend = "/usr/bin/oscsend";
constexpr const char* kOscDump = "/usr/bin/oscdump";

struct Received {
  std::string address;
  double value;
};

// oscdump's lines ("<time tag> /input/Vertical f 0.500000") as address and value.
std::vector<Received> parseDump(const std::string& text) {
  std::vector<Received> out;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string stamp, address, type;
    double value = 0;
    if (fields >> stamp >> address >> type >> value) out.push_back({address, value});
  }
  return out;
}

class SlimeVrToVRChat : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {kOscSend, kOscDump})
      ASSERT_EQ(access(tool, X_OK), 0) << tool << " is missing (liblo-tools, installed by scripts/deps.sh)";
    oscPort = testsupport::freeUdpPort();
    vrchatPort = testsupport::freeUdpPort();
    ASSERT_TRUE(oscPort && vrchatPort);
    vrchat = std::make_unique<ChildProcess>(kOscDump, std::vector<std::string>{"-L", std::to_string(vrchatPort)},
                                            std::map<std::string, std::string>{}, home.path().string());
    std::filesystem::create_directories(home.path() / "config/StrivoVR");
    testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                           R"j({"mode": "VRChat OSC", "tracker_source": "SlimeVR (OSC)", "slime_tracker_id": 3, )j"
                           R"j("hmd_source": "SlimeVR (OSC)", "jump_window": 1000, "slimevr_tap_toggle": true, )j"
                           R"j("check_for_updates": false, "osc_input_port": )j" +
                               std::to_string(oscPort) + R"j(, "vrchat_osc_port": )j" + std::to_string(vrchatPort) +
                               "}");
    program =
        std::make_unique<ChildProcess>(testsupport::distFolder() + "/strivovr-headless", std::vector<std::string>{},
                                       std::map<std::string, std::string>{
                                           {"XDG_CONFIG_HOME", home.file("config")},
                                           {"XDG_RUNTIME_DIR", home.path().string()},
                                       },
                                       home.path().string());
    ASSERT_TRUE(program->waitForOutput("[Main] Logic initialized.", 10s)) << program->output() << program->errors();
  }

  // One message as the SlimeVR server sends it, through an independent OSC implementation.
  void slimeVr(const std::string& address, std::vector<std::string> floats = {}) {
    std::vector<std::string> arguments{"127.0.0.1", std::to_string(oscPort), address, std::string(floats.size(), 'f')};
    arguments.insert(arguments.end(), floats.begin(), floats.end());
    ChildProcess send(kOscSend, arguments, {}, home.path().string());
    ASSERT_EQ(send.waitForExit(5s), 0) << send.errors();
  }

  // Tracker 3 leaning forward 30 to 34 degrees, as a live body sways (a pose that
  // never changes would count as a frozen tracker).
  void leanForward(int samples = 8) {
    for (int i = 0; i < samples; ++i)
      slimeVr("/tracking/trackers/3/rotation", {std::to_string(30 + 0.5 * i), "0", "0"});
  }

  std::vector<Received> received() { return parseDump(vrchat->output()); }

  // Waits until VRChat has been sent a datagram for which `match` holds, at index `from` or later.
  bool waitForDatagram(std::size_t from, const std::function<bool(const Received&)>& match) {
    const auto deadline = std::chrono::steady_clock::now() + 8s;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto all = received();
      for (std::size_t i = from; i < all.size(); ++i)
        if (match(all[i])) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  // The last Horizontal, Vertical and Jump values VRChat holds (-9 when never sent).
  std::map<std::string, double> lastValues() {
    std::map<std::string, double> last{{"/input/Horizontal", -9}, {"/input/Vertical", -9}, {"/input/Jump", -9}};
    for (const Received& r : received()) last[r.address] = r.value;
    return last;
  }

  testsupport::TempFolder home{"slimevr_osc"};
  int oscPort = 0, vrchatPort = 0;
  std::unique_ptr<ChildProcess> vrchat;
  std::unique_ptr<ChildProcess> program;
};

const auto forward = [](const Received& r) { return r.address == "/input/Vertical" && r.value > 0.1; };
const std::map<std::string, double> kAtRest{{"/input/Horizontal", 0}, {"/input/Vertical", 0}, {"/input/Jump", 0}};

TEST_F(SlimeVrToVRChat, LeanWalksAndEveryStopLeavesVRChatAtRest) {
  ASSERT_TRUE(program->output().find("VRChat OSC Output initialized (127.0.0.1:" + std::to_string(vrchatPort) + ")") !=
              std::string::npos)
      << program->output();

  // Another tracker's sideways lean moves nothing; tracker 3 leaning forward walks forward.
  slimeVr("/tracking/trackers/1/rotation", {"0", "0", "30"});
  leanForward();
  ASSERT_TRUE(waitForDatagram(0, forward)) << vrchat->output() << program->output();
  for (const Received& r : received()) EXPECT_TRUE(r.address != "/input/Horizontal" || r.value == 0.0) << r.value;

  // SlimeVR's yaw reset stops tracking: VRChat gets zeros, and leaning moves nothing.
  std::size_t mark = received().size();
  slimeVr("/user/yaw_reset");
  ASSERT_TRUE(program->waitForOutput("[OSC] SlimeVR Reset signal detected: /user/yaw_reset - Toggling tracking.", 5s));
  ASSERT_TRUE(waitForDatagram(mark, [](const Received& r) { return r.address == "/input/Vertical" && r.value == 0; }))
      << vrchat->output();
  mark = received().size();
  leanForward(3);
  std::this_thread::sleep_for(600ms);  // also past the half second between two network toggles
  EXPECT_EQ(received().size(), mark) << "sent while tracking was off: " << vrchat->output();
  slimeVr("/user/yaw_reset");  // on again; handled before the lean that follows it
  leanForward();
  ASSERT_TRUE(waitForDatagram(mark, forward)) << vrchat->output();

  // The tracker goes silent while leaning: the watchdog brings VRChat to rest.
  ASSERT_TRUE(program->waitForOutput("Watchdog: Tracker", 6s)) << program->output();
  ASSERT_TRUE(waitForDatagram(received().size() - 2, [](const Received& r) {
    return r.address == "/input/Vertical" && r.value == 0;
  })) << vrchat->output();
  EXPECT_EQ(lastValues()["/input/Vertical"], 0.0) << vrchat->output();

  // SlimeVR's head rising 25 cm: a jump, sent as 1 and then 0 after the jump's duration.
  mark = received().size();
  slimeVr("/tracking/trackers/head/position", {"0", "1.60", "0"});
  slimeVr("/tracking/trackers/head/position", {"0", "1.85", "0"});
  ASSERT_TRUE(program->waitForOutput("Engine: Jump detected (Height)!", 5s)) << program->output();
  ASSERT_TRUE(waitForDatagram(mark, [](const Received& r) { return r.address == "/input/Jump" && r.value == 0; }))
      << vrchat->output();
  std::vector<double> jumps;
  const auto afterJump = received();
  for (std::size_t i = mark; i < afterJump.size(); ++i)
    if (afterJump[i].address == "/input/Jump") jumps.push_back(afterJump[i].value);
  EXPECT_EQ(jumps, (std::vector<double>{1, 0})) << vrchat->output();

  // Shutting down while leaning leaves VRChat at rest, jump released.
  leanForward();
  ASSERT_TRUE(waitForDatagram(received().size() - 1, forward)) << vrchat->output();
  program->signal(SIGTERM);
  ASSERT_EQ(program->waitForExit(5s), 0) << program->errors();
  ASSERT_TRUE(vrchat->waitForOutput("/input/Jump i 0", 1s));
  std::this_thread::sleep_for(200ms);  // the shutdown's three datagrams reach oscdump
  EXPECT_EQ(lastValues(), kAtRest) << vrchat->output();
  const std::string log = program->output();
  EXPECT_NE(log.find("VRChat OSC Output cleaned up"), std::string::npos);
  const std::string toggled = "[OSC] SlimeVR Reset signal detected: /user/yaw_reset - Toggling tracking.";
  EXPECT_NE(log.find(toggled, log.find(toggled) + 1), std::string::npos) << log;
}

}  // namespace

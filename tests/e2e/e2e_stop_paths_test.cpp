// Every output a game listens to, stopped every way the program can stop while the
// player walks: how long until the game side is at rest and nothing is pressed. One
// cell per output and stop path; each cell prints its time against its bound, and
// run.sh prints the whole matrix (STRIVO_E2E_MATRIX names the file the cells add to).
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <optional>

#include "common/hook/hook_protocol.h"
#include "platform/port_probe.h"
#include "testing/fake_vrserver/fake_vrserver.h"
#include "testing/support/free_port.h"
#include "testing/support/xvfb_server.h"
#include "testing/uinput_stand_in/uinput_stand_in.h"
#include "testing/xr_game/xr_chain.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {
namespace {

enum class Stop { Sigterm, Sigkill, Sigsegv, TrackerSilent, ToggledOff, ModeSwitch };

const char* nameOf(Stop stop) {
  switch (stop) {
    case Stop::Sigterm:
      return "SIGTERM";
    case Stop::Sigkill:
      return "SIGKILL";
    case Stop::Sigsegv:
      return "SIGSEGV";
    case Stop::TrackerSilent:
      return "TrackerSilent";
    case Stop::ToggledOff:
      return "ToggledOff";
    case Stop::ModeSwitch:
      return "ModeSwitch";
  }
  return "";
}

// What the game sees of one output. Made before the program starts, so the listener,
// server or game is there to see its first message.
class GameSide {
 public:
  virtual ~GameSide() = default;
  // Empty when the game side is ready; otherwise why the cell cannot run here.
  virtual std::string problem() { return ""; }
  // The settings members that select this output.
  virtual std::string settings() const = 0;
  virtual std::map<std::string, std::string> environment() const { return {}; }
  // The mode a switch goes to: any other output.
  virtual std::string otherMode() const { return "VRChat OSC"; }
  // Walking: the stick pushed forward (and, where the output has one, a held button).
  virtual bool walking() = 0;
  // Stick centred (or the device gone) and nothing pressed.
  virtual bool atRest() = 0;
  // How long after a kill the game side comes to rest by itself, or nothing when it never does.
  virtual std::optional<std::chrono::milliseconds> lapse() const = 0;
  // Why a path cannot bring this output to rest by its nature; empty when it can.
  virtual std::string cannot(Stop) const { return ""; }
};

class KeysSide : public GameSide {
 public:
  std::string problem() override {
    if (!xvfb_.running()) return xvfb_.problem();
    if (access("/dev/uinput", W_OK) == 0) return "/dev/uinput is writable: keys go through uinput, not XTest";
    keyboard_ = std::make_unique<testsupport::XKeyboardObserver>(xvfb_.display());
    return keyboard_->connected() ? "" : "no X connection to watch the keyboard";
  }
  std::string settings() const override { return R"("mode": "Keyboard")"; }
  std::map<std::string, std::string> environment() const override { return {{"DISPLAY", xvfb_.display()}}; }
  bool walking() override { return keyboard_->isDown(XK_w); }
  bool atRest() override { return keyboard_->keysDown() == 0; }
  std::optional<std::chrono::milliseconds> lapse() const override { return std::nullopt; }
  std::string cannot(Stop stop) const override {
    if (stop == Stop::Sigkill) return "the X server keeps keys that a killed client pressed through XTest";
    return "";
  }

 private:
  testsupport::XvfbServer xvfb_;
  std::unique_ptr<testsupport::XKeyboardObserver> keyboard_;
};

// Run by run.sh under umockdev's preload, which records what reaches /dev/uinput.
class PadSide : public GameSide {
 public:
  std::string problem() override { return device_.problem(); }
  std::string settings() const override {
    return R"j("mode": "Xbox Controller (vJoy)", "enable_xbox_s2": true, "xbox_threshold_2": 50)j";
  }
  bool walking() override {
    const auto state = padState();
    return state && lookup(*state, EV_ABS, ABS_Y) < -16384 && lookup(*state, EV_KEY, BTN_TL) == 1;
  }
  bool atRest() override {
    const int pad = padConnection();
    if (pad == 0) return false;
    const auto requests = device_.requests(pad);
    if (!requests.empty() && requests.back() == UI_DEV_DESTROY) return true;
    if (device_.allClosed()) return true;  // the kernel removes a device whose owner died
    const auto state = testsupport::reportedState(device_.events(pad));
    if (lookup(state, EV_ABS, ABS_Y) < -1 || lookup(state, EV_ABS, ABS_X) != 0) return false;
    for (const auto& [key, value] : state)
      if (key.first == EV_KEY && value != 0) return false;
    return true;
  }
  std::optional<std::chrono::milliseconds> lapse() const override { return 600ms; }

 private:
  static int lookup(const std::map<std::pair<int, int>, int>& state, int type, int code) {
    const auto found = state.find({type, code});
    return found == state.end() ? 0 : found->second;
  }
  int padConnection() const {
    for (const auto& step : device_.steps())
      if (step.request == UI_DEV_SETUP && step.setup.id.vendor == 0x045e && step.setup.id.product == 0x028e)
        return step.connection;
    return 0;
  }
  std::optional<std::map<std::pair<int, int>, int>> padState() const {
    const int pad = padConnection();
    if (pad == 0) return std::nullopt;
    return testsupport::reportedState(device_.events(pad));
  }
  testsupport::UinputStandIn device_;
};

// The packaged driver in the fake SteamVR server, with the second stage holding the grip.
class HookSide : public GameSide {
 public:
  ~HookSide() override {
    if (loaded_) server_.cleanup();
  }
  std::string problem() override {
    if (platform::isPortInUse(hook::kDriverPort, platform::PortProtocol::Udp))
      return "port " + std::to_string(hook::kDriverPort) + " is in use by another process";
    std::string error;
    if (!server_.loadDriver(packaged("drivers/gaitrelay/bin/linux64/driver_gaitrelay.so"), error)) return error;
    loaded_ = true;
    if (server_.init() != vr::VRInitError_None) return "the driver did not initialise";
    left_ = &server_.addController(1, "LHR-LEFT", fakevr::FakeVrServer::thumbstickAxes(), {"/input/grip/click"});
    server_.start();
    return "";
  }
  std::string settings() const override {
    return R"j("mode": "SteamVR Hook", "enable_steamvr_s2": true, "steamvr_threshold_2": 50, )j"
           R"j("steamvr_button_2": "Left: Grip")j";
  }
  bool walking() override { return stickY() > 0.3f && gripDown(); }
  bool atRest() override { return stickY() == 0.0f && !gripDown(); }
  std::optional<std::chrono::milliseconds> lapse() const override { return 1100ms; }

 private:
  float stickY() { return server_.realInput().component(left_->handle("/input/thumbstick/y")).scalar; }
  bool gripDown() { return server_.realInput().component(left_->handle("/input/grip/click")).boolean; }
  fakevr::FakeVrServer server_;
  fakevr::FakeController* left_ = nullptr;
  bool loaded_ = false;
};

class VrchatSide : public GameSide {
 public:
  std::string problem() override { return vrchat_.listening() ? "" : "oscdump did not start"; }
  std::string settings() const override {
    return R"("mode": "VRChat OSC", "vrchat_osc_port": )" + std::to_string(vrchat_.port());
  }
  std::string otherMode() const override { return "Keyboard"; }
  bool walking() override { return vrchat_.last("/input/Vertical") > 0.3; }
  bool atRest() override {
    return vrchat_.last("/input/Vertical") == 0 && vrchat_.last("/input/Horizontal", 0) == 0 &&
           vrchat_.last("/input/Jump", 0) == 0;
  }
  std::optional<std::chrono::milliseconds> lapse() const override { return std::nullopt; }
  std::string cannot(Stop stop) const override {
    if (stop == Stop::Sigkill) return "VRChat keeps the last OSC input, and nothing can send after a kill";
    return "";
  }

 private:
  VrchatListener vrchat_;
};

// A game through the real OpenXR loader with the packaged layer registered for the user.
class OpenXrSide : public GameSide {
 public:
  explicit OpenXrSide(const UserHome& home) : home_(home) {}
  std::string problem() override {
    forgetStaleOpenXrRecords();
    if (const std::string failed = registerPackagedLayer(home_); !failed.empty()) return failed;
    dataHome_ = home_.file(".local/share");
    chain_ = testsupport::makeLoaderChain({.registeredDataHome = dataHome_.c_str()});
    if (!chain_->error().empty()) return chain_->error();
    const float origin[3] = {0, 0, 0}, level[4] = {0, 0, 0, 1};
    chain_->runtime().SetPose("/user/head", origin, level);
    chain_->runtime().SetInput("/user/hand/left/input/thumbstick", 0, 0);
    game_ = std::make_unique<testsupport::XrGame>(chain_->getProcAddr(), chain_->createInstance());
    if (game_->start() != XR_SUCCESS) return "the game did not start";
    move_ = game_->action("move", XR_ACTION_TYPE_VECTOR2F_INPUT);
    if (game_->suggest("/interaction_profiles/oculus/touch_controller",
                       {{move_, "/user/hand/left/input/thumbstick"}}) != XR_SUCCESS ||
        game_->attach() != XR_SUCCESS || game_->begin() != XR_SUCCESS)
      return "the game's actions were refused";
    return "";
  }
  std::string settings() const override { return R"("mode": "OpenXR API Layer", "hmd_source": "Disabled")"; }
  bool walking() override {
    const auto stick = frame();
    return stick.isActive && stick.currentState.y > 0.3f;
  }
  bool atRest() override {
    const auto stick = frame();
    return !stick.isActive || stick.currentState.y == 0.0f;
  }
  std::optional<std::chrono::milliseconds> lapse() const override { return 600ms; }

 private:
  XrActionStateVector2f frame() {
    if (game_->frame(true) != XR_SUCCESS) return {};
    return game_->stick(move_);
  }
  const UserHome& home_;
  std::string dataHome_;
  std::unique_ptr<testsupport::XrChain> chain_;
  std::unique_ptr<testsupport::XrGame> game_;
  XrAction move_ = XR_NULL_HANDLE;
};

enum class Output { Keys, Pad, Hook, Vrchat, OpenXr };

const char* nameOf(Output output) {
  switch (output) {
    case Output::Keys:
      return "Keys";
    case Output::Pad:
      return "Pad";
    case Output::Hook:
      return "SteamVRHook";
    case Output::Vrchat:
      return "VRChatOSC";
    case Output::OpenXr:
      return "OpenXR";
  }
  return "";
}

std::unique_ptr<GameSide> makeSide(Output output, const UserHome& home) {
  switch (output) {
    case Output::Keys:
      return std::make_unique<KeysSide>();
    case Output::Pad:
      return std::make_unique<PadSide>();
    case Output::Hook:
      return std::make_unique<HookSide>();
    case Output::Vrchat:
      return std::make_unique<VrchatSide>();
    case Output::OpenXr:
      return std::make_unique<OpenXrSide>(home);
  }
  return nullptr;
}

// The bound a cell is held to: at once for what the program does itself, the far
// side's lapse after a kill, the watchdog for a silent tracker.
std::optional<std::chrono::milliseconds> boundOf(Stop stop, const GameSide& side) {
  if (stop == Stop::Sigkill) return side.lapse();
  if (stop == Stop::TrackerSilent) return 2100ms;
  return 100ms;
}

void record(Output output, Stop stop, const std::string& text) {
  std::cout << "[stop path] " << nameOf(output) << " / " << nameOf(stop) << ": " << text << std::endl;
  if (const char* file = std::getenv("STRIVO_E2E_MATRIX"))
    std::ofstream(file, std::ios::app) << nameOf(output) << '\t' << nameOf(stop) << '\t' << text << '\n';
}

// A phone leaning forward far enough for every second stage, for longer than any cell
// takes; the one that toggles tracking off taps once, 3 s in, and says when.
std::unique_ptr<testsupport::ChildProcess> leaningPhone(int port, Stop stop) {
  if (stop != Stop::ToggledOff) return startPhone(port, {"--seconds", "30", "--rate", "100", "--lean", "0:0,0.3:30"});
  return std::make_unique<testsupport::ChildProcess>(
      standIn("phone_sim"),
      std::vector<std::string>{"--seconds", "6", "--lean", "0:0,0.3:30", "--tap", "1", "--port", std::to_string(port)},
      std::map<std::string, std::string>{}, "");
}

// The mode switch needs a program that can be told to switch; the rest is the package's.
std::string programFor(Stop stop) { return stop == Stop::ModeSwitch ? STRIVO_SWITCHING_PROGRAM : ""; }

class StopPath : public testing::TestWithParam<std::tuple<Output, Stop>> {};

TEST_P(StopPath, GameComesToRestInTime) {
  const auto [output, stop] = GetParam();
  UserHome home;
  const auto side = makeSide(output, home);
  if (const std::string why = side->cannot(stop); !why.empty()) {
    record(output, stop, "cannot: " + why);
    GTEST_SKIP() << why;
  }
  if (const std::string problem = side->problem(); !problem.empty()) GTEST_SKIP() << problem;
  const auto bound = boundOf(stop, *side);
  ASSERT_TRUE(bound);

  const int phonePort = testsupport::freeUdpPort();
  home.writeSettings(R"("tracker_source": "Phone", "slimevr_tap_toggle": true, "owotrack_input_port": )" +
                     std::to_string(phonePort) + R"(, "vrchat_osc_port": )" +
                     std::to_string(testsupport::freeUdpPort()) + ", " + side->settings());
  auto environment = side->environment();
  environment["STRIVO_SWITCH_MODE"] = side->otherMode();
  PackagedProgram program(home, environment, programFor(stop));
  ASSERT_TRUE(program.started()) << program.log();
  auto phone = leaningPhone(phonePort, stop);
  ASSERT_TRUE(eventually([&] { return side->walking(); }, 10s)) << program.log();

  if (stop == Stop::ToggledOff) {
    // The tap leaves with the phone's own stream: the time counts from its line.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (phone->output().find("phone_sim: tap 1 sent") == std::string::npos) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << phone->output();
      std::this_thread::sleep_for(1ms);
    }
  }
  const auto stopped = std::chrono::steady_clock::now();
  switch (stop) {
    case Stop::Sigterm:
      program.signal(SIGTERM);
      break;
    case Stop::Sigkill:
      program.signal(SIGKILL);
      break;
    case Stop::Sigsegv:
      program.signal(SIGSEGV);
      break;
    case Stop::TrackerSilent:
      phone->signal(SIGKILL);
      break;
    case Stop::ToggledOff:
      break;
    case Stop::ModeSwitch:
      program.signal(SIGUSR1);
      break;
  }
  bool rested = false;
  while (!(rested = side->atRest()) && std::chrono::steady_clock::now() - stopped < *bound + 3s)
    std::this_thread::sleep_for(2ms);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - stopped);
  const std::string verdict = !rested          ? "never (still walking after " + std::to_string(took.count()) + " ms)"
                              : took <= *bound ? "ok"
                                               : "SLOW";
  record(output, stop,
         verdict + (rested ? " " + std::to_string(took.count()) + " ms" : "") + " (bound " +
             std::to_string(bound->count()) + " ms)");
  EXPECT_TRUE(rested && took <= *bound) << program.log();

  if (stop == Stop::Sigsegv) {
    EXPECT_EQ(program.waitForExit(10s), 128 + SIGSEGV) << program.log();
  } else if (stop == Stop::Sigterm) {
    EXPECT_EQ(program.waitForExit(10s), 0) << program.log();
  }
}

std::string cellName(const testing::TestParamInfo<StopPath::ParamType>& info) {
  return std::string(nameOf(std::get<0>(info.param))) + "_" + nameOf(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(EndToEndMatrix, StopPath,
                         testing::Combine(testing::Values(Output::Keys, Output::Pad, Output::Hook, Output::Vrchat,
                                                          Output::OpenXr),
                                          testing::Values(Stop::Sigterm, Stop::Sigkill, Stop::Sigsegv,
                                                          Stop::TrackerSilent, Stop::ToggledOff, Stop::ModeSwitch)),
                         cellName);

}  // namespace
}  // namespace e2e

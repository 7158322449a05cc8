#include "app/outputs/virtual_joystick_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace {

using outputs::Action;
using outputs::VirtualJoystickService;
using platform::VirtualPadBus;
using testing::HasSubstr;

// A bus that records what reaches it and can play "driver missing" and friends.
class FakeBus final : public VirtualPadBus {
 public:
  bool allocFails = false;
  std::uint32_t connectResult = kErrorNone;
  std::uint32_t addResult = kErrorNone;
  int liveClients = 0, liveTargets = 0, connected = 0, plugged = 0;
  std::vector<platform::XusbReport> sent;

  Handle alloc() override {
    if (allocFails) return nullptr;
    ++liveClients;
    return &clientTag_;
  }
  void free(Handle) override { --liveClients; }
  std::uint32_t connect(Handle) override {
    if (connectResult == kErrorNone) ++connected;
    return connectResult;
  }
  void disconnect(Handle) override { --connected; }
  Handle targetX360Alloc() override {
    ++liveTargets;
    return &targetTag_;
  }
  void targetFree(Handle) override { --liveTargets; }
  std::uint32_t targetAdd(Handle, Handle) override {
    if (addResult == kErrorNone) ++plugged;
    return addResult;
  }
  std::uint32_t targetRemove(Handle, Handle) override {
    --plugged;
    return kErrorNone;
  }
  std::uint32_t targetX360Update(Handle, Handle, const platform::XusbReport& report) override {
    sent.push_back(report);
    return kErrorNone;
  }

 private:
  char clientTag_ = 0, targetTag_ = 0;
};

class NoBridge final : public outputs::IPadReportMerger {
 public:
  pad::XusbReport mergeReport(const pad::XusbReport& local) override { return local; }
};

struct Pad {
  outputs::OutputConfig config;
  bool prompted = false;
  std::ostringstream logEcho, out, err;
  core::Logger logger{&logEcho};
  FakeBus bus;
  NoBridge noBridge;
  outputs::IPadReportMerger* merger = &noBridge;
  std::unique_ptr<VirtualJoystickService> service;

  explicit Pad(outputs::IPadReportMerger* bridge = nullptr) {
    if (bridge) merger = bridge;
    service = std::make_unique<VirtualJoystickService>(
        logger, bus, *merger, [this] { prompted = true; }, out, err);
  }
  pad::XusbReport local() const { return service->localReport(); }
  std::string log() const { return logEcho.str(); }
  // `name` bound to `action`, then pressed or released.
  void button(const std::string& name, bool pressed, Action action = Action::Jump) {
    (action == Action::Jump     ? config.pad.jumpButton
     : action == Action::Crouch ? config.pad.crouchButton
                                : config.pad.secondButton) = name;
    service->configure(config);
    if (pressed)
      service->press(action);
    else
      service->release(action);
  }
};

TEST(VirtualJoystick, StickConversionTruncatesAndNeverReachesMinus32768) {
  Pad pad;
  pad.service->start();
  struct Case {
    float x, y;
    std::int16_t lx, ly;
  } cases[] = {
      {1.0f, 0.0f, 32767, 0},         {-1.0f, 0.0f, -32767, 0},
      {0.0f, 0.5f, 0, 16383},         {0.0f, -0.5f, 0, -16383},
      {0.0f, -1.0f, 0, -32767},       {0.99999f, 0.99999f, 32766, 32766},
      {0.00002f, 0.0f, 0, 0},         {2.0f, 3.0f, 32767, 32767},
      {-5.0f, -7.0f, -32767, -32767}, {std::nanf(""), -0.25f, 0, -8191},
  };
  for (const Case& c : cases) {
    pad.service->stick(c.x, c.y);
    EXPECT_EQ(pad.local().sThumbLX, c.lx) << c.x;
    EXPECT_EQ(pad.local().sThumbLY, c.ly) << c.y;
    EXPECT_EQ(pad.bus.sent.back(), pad.local()) << "each stick sends the report";
  }
  EXPECT_EQ(pad.local().bLeftTrigger, 0);
  EXPECT_EQ(pad.local().bRightTrigger, 0);
}

TEST(VirtualJoystick, ButtonTableAndExactNames) {
  Pad pad;
  pad.service->start();
  const std::pair<const char*, std::uint16_t> table[] = {
      {"A", 0x1000},  {"B", 0x2000},      {"X", 0x4000},      {"Y", 0x8000},     {"LB", 0x0100},
      {"RB", 0x0200}, {"LTHUMB", 0x0040}, {"RTHUMB", 0x0080}, {"START", 0x0010}, {"BACK", 0x0020}};
  for (const auto& [name, bit] : table) {
    pad.button(name, true);
    EXPECT_EQ(pad.local().wButtons, bit) << name;
    EXPECT_EQ(pad.bus.sent.back().wButtons, bit) << "a press submits";
    pad.button(name, false);
    EXPECT_EQ(pad.local().wButtons, 0) << name;
  }
  for (const char* name : {"a", "DPAD_UP", "lb", " A", "", "LS down"}) {
    pad.button(name, true);
    EXPECT_EQ(pad.local(), pad::XusbReport{}) << name;
  }
  EXPECT_EQ(VirtualJoystickService::kButtonNames.size(), 14u);
}

TEST(VirtualJoystick, StickOverridesHoldTheirAxisAndDownWinsOverUp) {
  Pad pad;
  pad.service->start();
  pad.service->stick(0.3f, 0.5f);
  pad.button("LS Up", true);  // e.g. jump_button "LS Up" while leaning
  EXPECT_EQ(pad.local().sThumbLY, 32767);
  pad.service->stick(0.3f, 0.9f);
  EXPECT_EQ(pad.local().sThumbLY, 32767);
  EXPECT_EQ(pad.local().sThumbLX, 9830);
  pad.button("LS Up", false);
  EXPECT_EQ(pad.local().sThumbLY, 0) << "released override centres until the next stick";
  pad.service->stick(0.3f, 0.5f);
  EXPECT_EQ(pad.local().sThumbLY, 16383);

  pad.button("LS Up", true);
  pad.button("LS Down", true, Action::Crouch);
  pad.service->stick(0.0f, 0.0f);
  EXPECT_EQ(pad.local().sThumbLY, -32768);
  pad.button("LS Down", false, Action::Crouch);
  EXPECT_EQ(pad.local().sThumbLY, -32768) << "the axis keeps its value while the opposite override is held";
  pad.service->stick(0.0f, 0.0f);
  EXPECT_EQ(pad.local().sThumbLY, 32767);
  pad.button("LS Up", false);
  EXPECT_EQ(pad.local().sThumbLY, 0);

  // Right stick: an override keeps the right stick; without one each stick zeroes it.
  pad.button("RS Up", true);
  pad.service->stick(0.0f, 0.0f);
  EXPECT_EQ(pad.local().sThumbRY, 32767);
  pad.button("RS Down", true, Action::Crouch);
  pad.service->stick(0.0f, 0.0f);
  EXPECT_EQ(pad.local().sThumbRY, -32768);
  pad.button("RS Down", false, Action::Crouch);
  pad.button("RS Up", false);
  EXPECT_EQ(pad.local().sThumbRY, 0);
}

TEST(VirtualJoystick, PressesReleaseWhatTheyPressedAndHoldersOfOneButtonStayApart) {
  Pad pad;
  pad.service->start();
  // The second-stage button changed while held: pressing again lifts the old one.
  pad.button("LB", true, Action::SecondStage);
  const std::size_t sent = pad.bus.sent.size();
  pad.service->press(Action::SecondStage);
  EXPECT_EQ(pad.bus.sent.size(), sent) << "pressing what is down sends nothing";
  pad.button("RS Down", true, Action::SecondStage);
  EXPECT_EQ(pad.local().wButtons, 0);
  EXPECT_EQ(pad.local().sThumbRY, -32768);
  // A release after the binding changed lifts what was pressed.
  pad.button("X", false, Action::SecondStage);
  EXPECT_EQ(pad.local().sThumbRY, 0);

  // Jump on the second stage's button: each holder's release leaves the other's press down.
  pad.button("LB", true, Action::SecondStage);
  pad.button("LB", true);
  pad.service->release(Action::SecondStage);
  EXPECT_EQ(pad.local().wButtons, 0x0100);
  pad.service->press(Action::SecondStage);
  pad.service->release(Action::Jump);
  EXPECT_EQ(pad.local().wButtons, 0x0100);
  pad.service->release(Action::SecondStage);
  EXPECT_EQ(pad.local().wButtons, 0);
}

TEST(VirtualJoystick, StopRestsThePadAndUnplugs) {
  Pad pad;
  pad.service->start();
  pad.service->stick(0.5f, 0.9f);
  pad.button("LB", true, Action::SecondStage);
  pad.button("LS Down", true, Action::Crouch);
  pad.service->stop();
  EXPECT_EQ(pad.bus.sent.back(), pad::XusbReport{}) << "the last report is at rest";
  EXPECT_FALSE(pad.service->pluggedIn());
  EXPECT_EQ(pad.bus.liveClients + pad.bus.liveTargets + pad.bus.plugged + pad.bus.connected, 0);
  EXPECT_EQ(pad.out.str(), "[ViGEm] Xbox 360 controller initialized and plugged in.\n[ViGEm] Cleaned up.\n");
  pad.service->stop();
  EXPECT_THAT(pad.out.str(), testing::EndsWith("[ViGEm] Cleaned up.\n[ViGEm] Cleaned up.\n"));
  // Nothing survives unplugging, and a press while unplugged is not remembered.
  pad.service->press(Action::Crouch);
  pad.service->start();
  pad.service->stick(0.5f, 0.0f);
  EXPECT_EQ(pad.local().sThumbLY, 0);
  EXPECT_EQ(pad.local().wButtons, 0);
}

TEST(VirtualJoystick, MissingDriverPromptsAndDropsInputButStillCountsSubmits) {
  Pad pad;
  pad.bus.allocFails = true;
  pad.service->start();
  EXPECT_THAT(pad.log(), HasSubstr("[INFO ] VirtualJoystickService: Initializing ViGEm..."));
  EXPECT_THAT(pad.log(), HasSubstr("[WARN ] VirtualJoystickService: ViGEmBus driver not found. Prompting."));
  EXPECT_TRUE(pad.prompted);
  EXPECT_EQ(pad.err.str(), "[ViGEm] Failed to allocate client.\n");
  EXPECT_FALSE(pad.service->pluggedIn());

  pad.service->stick(1.0f, 1.0f);
  pad.button("A", true);
  pad.button("LS Up", true, Action::Crouch);
  EXPECT_EQ(pad.local(), pad::XusbReport{});
  EXPECT_TRUE(pad.bus.sent.empty());
  EXPECT_EQ(pad.service->submitCount(), 3u);
  pad.service->stop();
  EXPECT_EQ(pad.out.str(), "[ViGEm] Cleaned up.\n");
}

TEST(VirtualJoystick, ConnectAndAddFailuresReportTheCodeAndFreeEverything) {
  {
    Pad pad;
    pad.bus.connectResult = VirtualPadBus::kErrorBusNotFound;
    pad.service->start();
    EXPECT_TRUE(pad.prompted);
    EXPECT_EQ(pad.err.str(), "[ViGEm] Connection failed with error: e0000001\n");
    EXPECT_FALSE(pad.service->pluggedIn());
    EXPECT_EQ(pad.bus.liveClients, 0);
  }
  {
    Pad pad;
    pad.bus.addResult = 0xE0000003u;
    pad.service->start();
    EXPECT_FALSE(pad.prompted) << "the driver answered";
    EXPECT_EQ(pad.err.str(), "[ViGEm] Failed to add target: e0000003\n");
    EXPECT_FALSE(pad.service->pluggedIn());
    EXPECT_EQ(pad.bus.liveClients + pad.bus.liveTargets + pad.bus.connected, 0);
    // The next start tries again.
    pad.bus.addResult = VirtualPadBus::kErrorNone;
    pad.service->start();
    EXPECT_TRUE(pad.service->pluggedIn());
  }
}

TEST(VirtualJoystick, PlugInZeroesTheReport) {
  Pad pad;
  pad.service->start();
  pad.service->start();  // plugged in already: probe only
  EXPECT_EQ(pad.bus.plugged, 1);
  EXPECT_EQ(pad.bus.liveClients, 1);
  const std::string log = pad.log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  pad.service->stick(0.5f, 0.5f);
  pad.service->stop();
  pad.service->start();
  EXPECT_EQ(pad.local(), pad::XusbReport{}) << "plugging in starts from a zero report";
}

TEST(VirtualJoystick, EverySixtiethSubmitLogsLocalAndMergedValues) {
  class Bridge final : public outputs::IPadReportMerger {
   public:
    pad::XusbReport mergeReport(const pad::XusbReport& local) override {
      pad::XusbReport merged = local;
      merged.sThumbLX = -5;
      merged.wButtons |= 0x8000;
      return merged;
    }
  } bridge;
  Pad pad(&bridge);
  pad.service->start();
  pad.service->stick(0.1f, -0.2f);  // submit 1
  pad.button("A", true);            // submit 2
  for (int i = 0; i < 57; ++i) pad.service->submit();
  EXPECT_THAT(pad.log(), testing::Not(HasSubstr("ViGEm Update")));
  pad.service->submit();  // the 60th
  EXPECT_THAT(pad.log(), HasSubstr("[INFO ] ViGEm Update - Local: (3276,-6553) Merged: (-5,-6553) Buttons: 36864\n"));
  EXPECT_EQ(pad.bus.sent.back().sThumbLX, -5) << "the merged report is what the pad receives";
  for (int i = 0; i < 60; ++i) pad.service->submit();
  std::string log = pad.log();
  std::size_t lines = 0;
  for (std::size_t at = log.find("ViGEm Update"); at != std::string::npos; at = log.find("ViGEm Update", at + 1))
    ++lines;
  EXPECT_EQ(lines, 2u);
  EXPECT_EQ(pad.service->submitCount(), 120u);
}

}  // namespace

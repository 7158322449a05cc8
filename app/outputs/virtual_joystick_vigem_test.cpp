// The virtual pad on Windows through the real run-time loading of the bus client
// library: absent (the usual case on a machine without the driver) and a recording
// stand-in built by the project.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "app/outputs/virtual_joystick_service.h"

namespace {

using testing::HasSubstr;

class NoBridge final : public outputs::IPadReportMerger {
 public:
  pad::XusbReport mergeReport(const pad::XusbReport& local) override { return local; }
};

struct Harness {
  bool prompted = false;
  std::ostringstream logEcho, out, err;
  core::Logger logger{&logEcho};
  NoBridge bridge;
};

TEST(VirtualJoystickOnWindows, WithoutTheClientLibraryThePromptShowsAndNothingCrashes) {
  Harness h;
  auto bus = platform::createVirtualPadBus();
  outputs::VirtualJoystickService pad(
      h.logger, *bus, h.bridge, [&] { h.prompted = true; }, h.out, h.err);
  pad.start();
  EXPECT_TRUE(h.prompted);
  EXPECT_THAT(h.logEcho.str(), HasSubstr("[WARN ] VirtualJoystickService: ViGEmBus driver not found. Prompting."));
  EXPECT_EQ(h.err.str(), "[ViGEm] Failed to allocate client.\n");
  EXPECT_FALSE(pad.pluggedIn());
  pad.stick(0.5f, 1.0f);
  pad.press(outputs::Action::Jump);
  pad.submit();
  EXPECT_EQ(pad.submitCount(), 3u);
  pad.stop();
  EXPECT_EQ(h.out.str(), "[ViGEm] Cleaned up.\n");
}

TEST(VirtualJoystickOnWindows, DrivesTheLoadedClientLibrary) {
  HMODULE fake = ::LoadLibraryA(STRIVO_FAKE_VIGEM_DLL);
  ASSERT_NE(fake, nullptr) << STRIVO_FAKE_VIGEM_DLL;
  auto reset = reinterpret_cast<void (*)(std::uint32_t, std::uint32_t)>(
      reinterpret_cast<void*>(::GetProcAddress(fake, "fake_vigem_reset")));
  auto calls = reinterpret_cast<std::size_t (*)(char*, std::size_t)>(
      reinterpret_cast<void*>(::GetProcAddress(fake, "fake_vigem_calls")));
  auto live = reinterpret_cast<int (*)()>(reinterpret_cast<void*>(::GetProcAddress(fake, "fake_vigem_live_handles")));
  reset(platform::VirtualPadBus::kErrorNone, platform::VirtualPadBus::kErrorNone);
  {
    Harness h;
    auto bus = platform::createVirtualPadBus(STRIVO_FAKE_VIGEM_DLL);
    outputs::VirtualJoystickService pad(
        h.logger, *bus, h.bridge, [&] { h.prompted = true; }, h.out, h.err);
    outputs::OutputConfig config;
    config.pad.jumpButton = "LB";
    pad.configure(config);
    pad.start();
    EXPECT_FALSE(h.prompted);
    EXPECT_TRUE(pad.pluggedIn());
    pad.stick(1.0f, 0.5f);
    pad.press(outputs::Action::Jump);
    pad.stop();
    EXPECT_EQ(h.out.str(), "[ViGEm] Xbox 360 controller initialized and plugged in.\n[ViGEm] Cleaned up.\n");
    EXPECT_EQ(h.err.str(), "");
  }
  char record[4096];
  calls(record, sizeof record);
  EXPECT_EQ(std::string(record),
            "alloc;connect;disconnect;free;"               // the probe
            "alloc;connect;target_x360_alloc;target_add;"  // plugging in
            "update(ok,0,0,0,32767,16383,0,0);update(ok,256,0,0,32767,16383,0,0);"
            "update(ok,0,0,0,0,0,0,0);"  // at rest before it goes
            "target_remove;target_free;disconnect;free;");
  EXPECT_EQ(live(), 0);

  // A bus that does not answer: connection error, prompt, everything freed.
  reset(platform::VirtualPadBus::kErrorBusNotFound, platform::VirtualPadBus::kErrorNone);
  {
    Harness h;
    auto bus = platform::createVirtualPadBus(STRIVO_FAKE_VIGEM_DLL);
    outputs::VirtualJoystickService pad(
        h.logger, *bus, h.bridge, [&] { h.prompted = true; }, h.out, h.err);
    pad.start();
    EXPECT_TRUE(h.prompted);
    EXPECT_EQ(h.err.str(), "[ViGEm] Connection failed with error: e0000001\n");
  }
  EXPECT_EQ(live(), 0);
  ::FreeLibrary(fake);
}

}  // namespace

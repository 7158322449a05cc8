#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/virtual_pad.h"

namespace {

using platform::VirtualPadBus;

// The recording stand-in library, loaded a second time by the test (same module) for its controls.
struct FakeLibrary {
  HMODULE module = ::LoadLibraryA(STRIVO_FAKE_VIGEM_DLL);
  ~FakeLibrary() {
    if (module) ::FreeLibrary(module);
  }
  template <class F>
  F get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
  }
  void reset(std::uint32_t connect = VirtualPadBus::kErrorNone, std::uint32_t add = VirtualPadBus::kErrorNone) {
    get<void (*)(std::uint32_t, std::uint32_t)>("fake_vigem_reset")(connect, add);
  }
  std::string calls() {
    char buffer[4096];
    get<std::size_t (*)(char*, std::size_t)>("fake_vigem_calls")(buffer, sizeof buffer);
    return buffer;
  }
  int liveHandles() { return get<int (*)()>("fake_vigem_live_handles")(); }
};

TEST(ViGEmClientBus, AbsentLibraryMeansNoClientAndNothingCrashes) {
  auto bus = platform::createVirtualPadBus();  // no ViGEmClient.dll anywhere on the search path here
  EXPECT_EQ(bus->alloc(), nullptr);
  EXPECT_EQ(bus->connect(nullptr), VirtualPadBus::kErrorBusNotFound);
  EXPECT_EQ(bus->targetX360Alloc(), nullptr);
  EXPECT_EQ(bus->targetAdd(nullptr, nullptr), VirtualPadBus::kErrorBusNotFound);
  EXPECT_NE(bus->targetX360Update(nullptr, nullptr, {}), VirtualPadBus::kErrorNone);
  bus->disconnect(nullptr);
  bus->free(nullptr);
  bus->targetFree(nullptr);
}

TEST(ViGEmClientBus, LibraryWithoutTheOperationsCountsAsAbsent) {
  auto bus = platform::createVirtualPadBus("kernel32.dll");
  EXPECT_EQ(bus->alloc(), nullptr);
}

TEST(ViGEmClientBus, CallsTheLoadedLibraryAndPassesTheReportByValue) {
  FakeLibrary fake;
  ASSERT_NE(fake.module, nullptr) << STRIVO_FAKE_VIGEM_DLL;
  fake.reset();
  {
    auto bus = platform::createVirtualPadBus(STRIVO_FAKE_VIGEM_DLL);
    auto client = bus->alloc();
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(bus->connect(client), VirtualPadBus::kErrorNone);
    auto target = bus->targetX360Alloc();
    EXPECT_EQ(bus->targetAdd(client, target), VirtualPadBus::kErrorNone);
    platform::XusbReport report;
    report.wButtons = 0x1000;
    report.bLeftTrigger = 200;
    report.sThumbLX = -32767;
    report.sThumbLY = 16383;
    report.sThumbRY = -32768;
    bus->targetX360Update(client, target, report);
    bus->targetRemove(client, target);
    bus->targetFree(target);
    bus->disconnect(client);
    bus->free(client);
  }
  EXPECT_EQ(fake.calls(),
            "alloc;connect;target_x360_alloc;target_add;update(ok,4096,200,0,-32767,16383,0,-32768);"
            "target_remove;target_free;disconnect;free;");
  EXPECT_EQ(fake.liveHandles(), 0);

  fake.reset(VirtualPadBus::kErrorBusNotFound);
  auto bus = platform::createVirtualPadBus(STRIVO_FAKE_VIGEM_DLL);
  auto client = bus->alloc();
  EXPECT_EQ(bus->connect(client), VirtualPadBus::kErrorBusNotFound);
  bus->free(client);
}

}  // namespace

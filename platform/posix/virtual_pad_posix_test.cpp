// Failures of the uinput pad bus that need no device (the conversation with a working
// /dev/uinput is tested against a recording stand-in beside the pad service).
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "platform/virtual_input_access.h"
#include "platform/virtual_pad.h"
#include "testing/support/temp_folder.h"

namespace {

using platform::VirtualPadBus;

TEST(UinputPad, MissingDeviceIsBusNotFound) {
  testsupport::TempFolder folder("pad");
  auto bus = platform::createVirtualPadBus(folder.file("no-uinput"));
  auto client = bus->alloc();
  ASSERT_NE(client, nullptr);
  EXPECT_EQ(bus->connect(client), VirtualPadBus::kErrorBusNotFound);
  auto target = bus->targetX360Alloc();
  EXPECT_EQ(bus->targetAdd(client, target), VirtualPadBus::kErrorBusNotFound);
  EXPECT_NE(bus->targetX360Update(client, target, {}), VirtualPadBus::kErrorNone);
  bus->targetFree(target);
  bus->free(client);
}

TEST(UinputPad, DeviceThatIsNotUinputFailsToPlugInWithTheSystemError) {
  testsupport::TempFolder folder("pad");
  std::ofstream(folder.file("plain")).put('x');
  auto bus = platform::createVirtualPadBus(folder.file("plain"));
  auto client = bus->alloc();
  ASSERT_EQ(bus->connect(client), VirtualPadBus::kErrorNone);  // writable, so "connected"
  auto target = bus->targetX360Alloc();
  const std::uint32_t added = bus->targetAdd(client, target);
  EXPECT_EQ(added, VirtualPadBus::kErrorSystemBase + ENOTTY);
  EXPECT_EQ(bus->lastProblem(), "UI_SET_EVBIT: Inappropriate ioctl for device");
  EXPECT_NE(bus->targetX360Update(client, target, {}), VirtualPadBus::kErrorNone);  // not plugged in
  bus->targetFree(target);
  bus->disconnect(client);
  bus->free(client);
}

TEST(VirtualInputAccess, TheHintNamesTheModuleAndTheUdevRuleOnlyWhenTheDeviceIsNotWritable) {
  testsupport::TempFolder folder("access");
  const std::string missing = folder.file("uinput");
  const std::string hint = platform::virtualInputAccessHint(missing);
  EXPECT_EQ(hint.find("[uinput] " + missing + " is missing or not writable"), 0u) << hint;
  EXPECT_NE(hint.find("sudo modprobe uinput"), std::string::npos);
  EXPECT_NE(hint.find("KERNEL==\"uinput\", TAG+=\"uaccess\""), std::string::npos);
  std::ofstream(missing).put('x');
  EXPECT_EQ(platform::virtualInputAccessHint(missing), "");
}

}  // namespace

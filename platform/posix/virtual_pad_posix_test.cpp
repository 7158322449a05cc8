#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/posix/uinput_pad_posix.h"
#include "platform/virtual_pad.h"
#include "testing/support/temp_folder.h"

namespace {

using platform::VirtualPadBus;
using namespace platform::padevents;

TEST(UinputPad, WritesTranslatedEventsAsKernelInputEvents) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  platform::XusbReport report;
  report.wButtons = platform::kXusbA;
  report.sThumbLY = 32767;
  const auto events = translateReport(nullptr, report);
  ASSERT_TRUE(platform::uinputpad::writeEvents(fds[1], events));
  ::close(fds[1]);

  std::vector<input_event> read(events.size() + 1);
  const ssize_t n = ::read(fds[0], read.data(), read.size() * sizeof(input_event));
  ::close(fds[0]);
  ASSERT_EQ(n, static_cast<ssize_t>(events.size() * sizeof(input_event)));
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(read[i].type, events[i].type);
    EXPECT_EQ(read[i].code, events[i].code);
    EXPECT_EQ(read[i].value, events[i].value);
  }
  EXPECT_EQ(read[events.size() - 1].type, EV_SYN);
}

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
  EXPECT_NE(bus->targetX360Update(client, target, {}), VirtualPadBus::kErrorNone);  // not plugged in
  bus->targetFree(target);
  bus->disconnect(client);
  bus->free(client);
}

// The event node of the device named `name` with the Xbox 360 ids, from the kernel's list.
std::string findEventNode(const std::string& name) {
  std::ifstream list("/proc/bus/input/devices");
  std::string line, block;
  std::stringstream all;
  all << list.rdbuf();
  std::string text = all.str();
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\n\n", start);
    if (end == std::string::npos) end = text.size();
    block = text.substr(start, end - start);
    start = end + 2;
    if (block.find("Vendor=045e Product=028e") == std::string::npos) continue;
    if (block.find("Name=\"" + name + "\"") == std::string::npos) continue;
    const auto handlers = block.find("event");
    if (handlers == std::string::npos) continue;
    std::size_t stop = handlers;
    while (stop < block.size() && !std::isspace(static_cast<unsigned char>(block[stop]))) ++stop;
    return "/dev/input/" + block.substr(handlers, stop - handlers);
  }
  return {};
}

TEST(UinputPad, RealDevicePlugsInAsAnXbox360PadAndReportsSticks) {
  if (::access("/dev/uinput", W_OK) != 0)
    GTEST_SKIP() << "/dev/uinput is missing or not writable here (load the uinput module and allow access, "
                    "e.g. KERNEL==\"uinput\", TAG+=\"uaccess\"); the real pad path is not exercised.";
  auto bus = platform::createVirtualPadBus();
  auto client = bus->alloc();
  ASSERT_EQ(bus->connect(client), VirtualPadBus::kErrorNone);
  auto target = bus->targetX360Alloc();
  ASSERT_EQ(bus->targetAdd(client, target), VirtualPadBus::kErrorNone);

  std::string node;
  for (int i = 0; i < 50 && node.empty(); ++i) {
    node = findEventNode(platform::uinputpad::kDeviceName);
    if (node.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_FALSE(node.empty()) << "the pad did not appear in /proc/bus/input/devices";
  const int reader = node.empty() ? -1 : ::open(node.c_str(), O_RDONLY | O_NONBLOCK);

  platform::XusbReport report;
  report.wButtons = platform::kXusbA;
  report.sThumbLX = 12345;
  EXPECT_EQ(bus->targetX360Update(client, target, report), VirtualPadBus::kErrorNone);
  if (reader >= 0) {
    bool sawA = false, sawX = false;
    for (int i = 0; i < 50 && !(sawA && sawX); ++i) {
      input_event e;
      while (::read(reader, &e, sizeof e) == sizeof e) {
        sawA |= e.type == EV_KEY && e.code == BTN_A && e.value == 1;
        sawX |= e.type == EV_ABS && e.code == ABS_X && e.value == 12345;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(sawA);
    EXPECT_TRUE(sawX);
    ::close(reader);
  } else {
    std::cout << "[ INFO     ] " << node << " is not readable; checked only that the pad appeared.\n";
  }
  EXPECT_EQ(bus->targetRemove(client, target), VirtualPadBus::kErrorNone);
  bus->targetFree(target);
  bus->free(client);
}

}  // namespace

// Linux key injection: the code translation, uinput failures, and XTest on a private
// Xvfb server watched from a second X connection (the uinput conversation itself is
// tested against a recording /dev/uinput beside the keyboard output).
#include "platform/posix/key_injector_posix.h"

#include <X11/keysym.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/input.h>
#include <unistd.h>

#include <sstream>

#include "testing/support/xvfb_server.h"

namespace {

using platform::posix::evdevKeyCode;
using platform::posix::x11Keysym;

TEST(LinuxKeyCodes, TranslateEveryNameableKeyAndNothingElse) {
  EXPECT_EQ(evdevKeyCode(0x57), KEY_W);
  EXPECT_EQ(x11Keysym(0x57), static_cast<unsigned long>(XK_w));
  EXPECT_EQ(evdevKeyCode(0x30), KEY_0);
  EXPECT_EQ(evdevKeyCode(0x39), KEY_9);
  EXPECT_EQ(evdevKeyCode(0x10), KEY_LEFTSHIFT);
  EXPECT_EQ(evdevKeyCode(0x11), KEY_LEFTCTRL);
  EXPECT_EQ(evdevKeyCode(0x5B), KEY_LEFTMETA);
  EXPECT_EQ(x11Keysym(0x5B), static_cast<unsigned long>(XK_Super_L));
  EXPECT_EQ(evdevKeyCode(0x7B), KEY_F12);
  EXPECT_EQ(evdevKeyCode(0x2C), KEY_SYSRQ);
  EXPECT_EQ(x11Keysym(0x21), static_cast<unsigned long>(XK_Prior));
  // Every letter has both an evdev code and a keysym.
  for (std::uint16_t code = 'A'; code <= 'Z'; ++code) {
    EXPECT_NE(evdevKeyCode(code), 0) << code;
    EXPECT_EQ(x11Keysym(code), static_cast<unsigned long>(XK_a + (code - 'A'))) << code;
  }
  // Codes the program never names (F13, numpad 1, 0) have no translation.
  for (std::uint16_t code : {0x7C, 0x61, 0x00, 0xFFFF}) {
    EXPECT_EQ(evdevKeyCode(code), 0) << code;
    EXPECT_EQ(x11Keysym(code), 0u) << code;
  }
}

class UinputStream : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::pipe2(fds_, O_NONBLOCK | O_CLOEXEC), 0); }
  void TearDown() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  std::vector<input_event> readEvents() {
    std::vector<input_event> events;
    input_event event;
    while (::read(fds_[0], &event, sizeof event) == static_cast<ssize_t>(sizeof event)) events.push_back(event);
    return events;
  }
  int fds_[2];
};

TEST_F(UinputStream, UnknownKeysAndFailedWritesReportFailure) {
  EXPECT_FALSE(platform::posix::writeUinputKeyEvent(fds_[1], 0x7C, true));
  EXPECT_TRUE(readEvents().empty());
  // The read end cannot be written.
  EXPECT_FALSE(platform::posix::writeUinputKeyEvent(fds_[0], 0x57, true));
}

TEST(UinputDevice, AMissingDeviceIsReportedNotFatal) {
  std::ostringstream err;
  EXPECT_EQ(platform::posix::openUinputKeyInjector("/nonexistent/uinput", err), nullptr);
  EXPECT_NE(err.str().find("[Keyboard] Cannot open /nonexistent/uinput"), std::string::npos) << err.str();
}

TEST(XTestInjector, KeysGoDownAndComeUpOnTheXServer) {
  testsupport::XvfbServer server;
  if (!server.running()) GTEST_SKIP() << "no private X server: " << server.problem();
  std::ostringstream err;
  auto injector = platform::posix::openXTestKeyInjector(server.display().c_str(), err);
  ASSERT_NE(injector, nullptr) << err.str();
  testsupport::XKeyboardObserver observer(server.display());
  ASSERT_TRUE(observer.connected());
  ASSERT_EQ(observer.keysDown(), 0);

  EXPECT_TRUE(injector->sendKey(0x10, true));
  EXPECT_TRUE(injector->sendKey(0x57, true));
  EXPECT_TRUE(observer.isDown(XK_w));
  EXPECT_TRUE(observer.isDown(XK_Shift_L));
  EXPECT_EQ(observer.keysDown(), 2);

  EXPECT_TRUE(injector->sendKey(0x57, false));
  EXPECT_FALSE(observer.isDown(XK_w));
  EXPECT_TRUE(observer.isDown(XK_Shift_L));
  EXPECT_TRUE(injector->sendKey(0x10, false));
  EXPECT_EQ(observer.keysDown(), 0);

  EXPECT_FALSE(injector->sendKey(0x7C, true)) << "F13 has no keysym in the table";
  EXPECT_EQ(observer.keysDown(), 0);
}

TEST(XTestInjector, AnUnreachableDisplayIsReportedNotFatal) {
  std::ostringstream err;
  EXPECT_EQ(platform::posix::openXTestKeyInjector(":64999", err), nullptr);
  EXPECT_EQ(err.str(), "[Keyboard] Cannot open X display :64999.\n");
}

}  // namespace

// SendInput path: the record's fields, and real delivery (SendInput accepts one
// record; under Wine no window receives it but it still reports 1).
#include "platform/win32/key_injector_win32.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/key_injector.h"

namespace {

TEST(SendInputKeyInjector, BuildsAPlainVirtualKeyRecordForDownAndUp) {
  const INPUT down = platform::win32::keyboardInputRecord(0x57, true);
  EXPECT_EQ(down.type, static_cast<DWORD>(INPUT_KEYBOARD));
  EXPECT_EQ(down.ki.wVk, 0x57);
  EXPECT_EQ(down.ki.wScan, 0);
  EXPECT_EQ(down.ki.dwFlags, 0u);
  EXPECT_EQ(down.ki.time, 0u);
  EXPECT_EQ(down.ki.dwExtraInfo, 0u);

  const INPUT up = platform::win32::keyboardInputRecord(0x10, false);
  EXPECT_EQ(up.ki.wVk, 0x10);
  EXPECT_EQ(up.ki.dwFlags, static_cast<DWORD>(KEYEVENTF_KEYUP));
  EXPECT_EQ(KEYEVENTF_KEYUP, 2);
}

TEST(SendInputKeyInjector, DeliversEachEventThroughSendInput) {
  std::ostringstream out, err;
  auto injector = platform::createKeyInjector(out, err);
  ASSERT_NE(injector, nullptr);
  // F13 does nothing in any application, so a real desktop is not disturbed.
  EXPECT_TRUE(injector->sendKey(0x7C, true));
  EXPECT_TRUE(injector->sendKey(0x7C, false));
  EXPECT_TRUE(err.str().empty());
}

}  // namespace

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "platform/process_check.h"
#include "platform/win32/hidden_command_win32.h"

namespace {

TEST(ProcessCheck, TasklistIsAskedForTheImageAndOnlyItsExitCodeDecides) {
  EXPECT_EQ(platform::win32::tasklistCommand("vrserver.exe"),
            "cmd.exe /c tasklist /FI \"IMAGENAME eq vrserver.exe\" /NH | find /I \"vrserver.exe\"");
  // Exit codes come back as they are (the first command interpreter of a fresh Wine
  // prefix can take seconds to start, hence the long wait here).
  EXPECT_EQ(platform::win32::runHiddenCommand("cmd.exe /c exit 0", 60000), 0ul);
  EXPECT_EQ(platform::win32::runHiddenCommand("cmd.exe /c exit 3", 60000), 3ul);
  EXPECT_EQ(platform::win32::runHiddenCommand("strivo_no_such_program.exe", 60000), std::nullopt);
  // Still running when the wait ends: none, and the command is ended with everything
  // it started (the ping below would otherwise keep this test's output open).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::win32::runHiddenCommand("cmd.exe /c ping -n 30 127.0.0.1", 200), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_FALSE(platform::isProcessRunning("strivo_not_running.exe"));
}

TEST(ProcessCheck, SteamVrsMonitorWindowCountsAsItsProcess) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcA;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "Qt5QWindowIcon";
  ASSERT_NE(::RegisterClassA(&windowClass), 0);
  HWND window = ::CreateWindowExA(0, "Qt5QWindowIcon", "SteamVR", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
  if (!window) {
    ::UnregisterClassA("Qt5QWindowIcon", windowClass.hInstance);
    GTEST_SKIP() << "no display here: top-level windows cannot be created";
  }
  EXPECT_TRUE(platform::isProcessRunning("vrmonitor.exe"));
  ::DestroyWindow(window);
  EXPECT_FALSE(platform::isProcessRunning("vrmonitor.exe"));
  ::UnregisterClassA("Qt5QWindowIcon", windowClass.hInstance);
}

}  // namespace

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

#include "platform/command_line.h"
#include "platform/process_check.h"
#include "platform/win32/hidden_command_win32.h"
#include "platform/win32/wide_text.h"

namespace {

std::string systemTool(const char* name) { return platform::systemProgram(name); }

TEST(ProcessCheck, RunningImagesAreFoundWithoutCaseAndHiddenCommandsReturnTheirCode) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring image = self;
  image = image.substr(image.find_last_of(L'\\') + 1);
  for (wchar_t& c : image) c = static_cast<wchar_t>(::towupper(c));
  EXPECT_TRUE(platform::isProcessRunning(platform::win32::narrow(image)));
  EXPECT_FALSE(platform::isProcessRunning("strivo_not_running.exe"));
  EXPECT_FALSE(platform::isProcessRunning(""));

  // Exit codes come back as they are (the first command interpreter of a fresh Wine
  // prefix can take seconds to start, hence the long wait here).
  const std::string cmd = systemTool("cmd");
  ASSERT_FALSE(cmd.empty());
  EXPECT_EQ(platform::win32::runHiddenCommand({cmd, {"/c", "exit 0"}}, 60000), 0ul);
  EXPECT_EQ(platform::win32::runHiddenCommand({cmd, {"/c", "exit 3"}}, 60000), 3ul);
  EXPECT_EQ(platform::win32::runHiddenCommand({"strivo_no_such_program.exe", {}}, 60000), std::nullopt);
  // Still running when the wait ends: none, and the command is ended with everything
  // it started (the ping below would otherwise keep this test's output open).
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::win32::runHiddenCommand({cmd, {"/c", "ping -n 30 127.0.0.1"}}, 200), std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
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

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/process_check.h"
#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

bool becomes(bool expected, const std::string& name) {
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (platform::isProcessRunning(name) != expected) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

TEST(ProcessCheck, FindsProcessesByTheirWindowsImageNameWhileTheyRun) {
  testsupport::TempFolder folder("process_check");
  // Programs named as SteamVR's monitor and as something longer than the kernel keeps.
  const auto monitor = folder.path() / "vrmonitor";
  const auto longName = folder.path() / "strivo_long_process_name";
  std::filesystem::copy_file("/bin/sleep", monitor);
  std::filesystem::copy_file("/bin/sleep", longName);
  EXPECT_FALSE(platform::isProcessRunning("vrmonitor.exe"));
  {
    testsupport::ChildProcess first(monitor.string(), {"30"}, {}, folder.path().string());
    testsupport::ChildProcess second(longName.string(), {"30"}, {}, folder.path().string());
    // Each child shows under its own name only once it has exec'd: wait for both.
    ASSERT_TRUE(becomes(true, "vrmonitor.exe"));
    ASSERT_TRUE(becomes(true, "strivo_long_process_name.exe"));
    EXPECT_TRUE(platform::isProcessRunning("vrmonitor"));
    // The kernel keeps 15 characters: those match, 14 do not.
    EXPECT_TRUE(platform::isProcessRunning("strivo_long_pro.exe"));
    EXPECT_FALSE(platform::isProcessRunning("strivo_long_pr.exe"));
    EXPECT_FALSE(platform::isProcessRunning("vrmonitor.ex"));
    EXPECT_FALSE(platform::isProcessRunning("vrmonito.exe"));
    EXPECT_FALSE(platform::isProcessRunning(""));
    EXPECT_FALSE(platform::isProcessRunning(".exe"));
  }
  // Ended (the child processes are killed and reaped on destruction).
  EXPECT_TRUE(becomes(false, "vrmonitor.exe"));
  EXPECT_TRUE(becomes(false, "strivo_long_process_name.exe"));
}

}  // namespace

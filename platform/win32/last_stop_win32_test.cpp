#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "platform/last_stop_test_child.h"

namespace laststoptest {

constexpr char kChildVariable[] = "STRIVO_LAST_STOP_CHILD";

std::vector<CrashRow> crashRows() {
  // An unhandled access violation ends with its exception code; abort() with 3.
  return {{"fault", {false, static_cast<int>(0xC0000005u)}}, {"abort", {false, 3}}};
}

void crash(const std::string& kind) {
  if (kind == "fault") {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  } else if (kind == "abort") {
    std::abort();
  }
}

// This test program started again, running only the child test below.
Death runChild(const std::string& spec) {
  char path[MAX_PATH];
  if (GetModuleFileNameA(nullptr, path, MAX_PATH) == 0) return {false, -1};
  std::string command = std::string("\"") + path + "\" --gtest_filter=LastStopChild.*";
  SetEnvironmentVariableA(kChildVariable, spec.c_str());
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kChildVariable, nullptr);
  if (!started) return {false, -1};
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return {false, static_cast<int>(code)};
}

namespace {

// Runs only as the child of the crash test.
TEST(LastStopChild, CrashesAsTheParentAsks) {
  const char* spec = std::getenv(kChildVariable);
  if (!spec) GTEST_SKIP() << "run by the crash test only";
  crashAsChild(spec);
}

}  // namespace
}  // namespace laststoptest

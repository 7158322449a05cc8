// Runs the built StrivoVR.exe where no window can be drawn (the Windows tests run
// under Wine without a display): the program must start, fail to create its
// graphics device, shut its services down and exit with code 1.
#include <gtest/gtest.h>

// windows.h after gtest: its macros would clash with gtest's names.
#include <windows.h>

#include <string>

namespace {

TEST(GuiWindowsProgram, ExitsWithCodeOneWhenNoGraphicsDeviceCanBeCreated) {
  const char* dist = std::getenv("STRIVO_DIST_DIR");
  ASSERT_NE(dist, nullptr);
  std::string folder = dist;
  // CTest hands a Unix path under Wine; Wine maps the root drive Z: to /.
  if (!folder.empty() && folder[0] == '/') folder = "Z:" + folder;
  std::string command = "\"" + folder + "\\StrivoVR.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(
      CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &process))
      << "error " << GetLastError() << " starting " << command;
  const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_EQ(waited, WAIT_OBJECT_0) << "the program did not end";
  EXPECT_EQ(code, 1u);
}

}  // namespace

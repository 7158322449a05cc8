#include <windows.h>

#include <string>

#include "platform/process_check.h"

namespace platform {
namespace {

constexpr DWORD kCommandWaitMs = 1000;

bool steamVrWindowExists() {
  return ::FindWindowA(nullptr, "SteamVR") != nullptr || ::FindWindowA("Qt5QWindowIcon", "SteamVR") != nullptr;
}

}  // namespace

bool isProcessRunning(const std::string& imageName) {
  if (imageName == "vrmonitor.exe" && steamVrWindowExists()) return true;

  std::string command =
      "cmd.exe /c tasklist /FI \"IMAGENAME eq " + imageName + "\" /NH | find /I \"" + imageName + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
    return false;
  bool running = false;
  if (::WaitForSingleObject(process.hProcess, kCommandWaitMs) == WAIT_OBJECT_0) {
    DWORD code = 1;
    running = ::GetExitCodeProcess(process.hProcess, &code) && code == 0;
  } else {
    // Still running after the wait: counted as not running and not left behind.
    ::TerminateProcess(process.hProcess, 1);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return running;
}

}  // namespace platform

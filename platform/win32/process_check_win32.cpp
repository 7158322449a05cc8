#include <windows.h>

#include <string>

#include "platform/process_check.h"
#include "platform/win32/hidden_command_win32.h"

namespace platform {
namespace win32 {

std::string tasklistCommand(const std::string& imageName) {
  return "cmd.exe /c tasklist /FI \"IMAGENAME eq " + imageName + "\" /NH | find /I \"" + imageName + "\"";
}

std::optional<unsigned long> runHiddenCommand(const std::string& commandLine, unsigned long waitMs) {
  // The command and everything it starts (cmd.exe starts tasklist and find) run in one
  // job, so a command that outlives the wait is ended as a whole tree.
  HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
  if (!job) return std::nullopt;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

  std::string command = commandLine;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process)) {
    ::CloseHandle(job);
    return std::nullopt;
  }
  ::AssignProcessToJobObject(job, process.hProcess);
  ::ResumeThread(process.hThread);
  std::optional<unsigned long> result;
  if (::WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) result = code;
  } else {
    ::TerminateJobObject(job, 1);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(job);  // ends whatever of the tree is left
  return result;
}

}  // namespace win32

namespace {

constexpr unsigned long kCommandWaitMs = 1000;

bool steamVrWindowExists() {
  return ::FindWindowA(nullptr, "SteamVR") != nullptr || ::FindWindowA("Qt5QWindowIcon", "SteamVR") != nullptr;
}

}  // namespace

bool isProcessRunning(const std::string& imageName) {
  if (imageName == "vrmonitor.exe" && steamVrWindowExists()) return true;
  // A failed launch or a command still running after the wait counts as not running.
  return win32::runHiddenCommand(win32::tasklistCommand(imageName), kCommandWaitMs) == 0ul;
}

}  // namespace platform

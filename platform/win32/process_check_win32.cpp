#include <windows.h>

// After windows.h, which it relies on.
#include <tlhelp32.h>

#include <string>

#include "platform/process_check.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

bool steamVrWindowExists() {
  return ::FindWindowW(nullptr, L"SteamVR") != nullptr || ::FindWindowW(L"Qt5QWindowIcon", L"SteamVR") != nullptr;
}

// The system's process list, read directly: no program is started to ask.
bool imageRuns(const std::wstring& image) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found; more = ::Process32NextW(snapshot, &entry))
    found = ::CompareStringOrdinal(entry.szExeFile, -1, image.c_str(), -1, TRUE) == CSTR_EQUAL;
  ::CloseHandle(snapshot);
  return found;
}

}  // namespace

bool isProcessRunning(const std::string& imageName) {
  if (imageName == "vrmonitor.exe" && steamVrWindowExists()) return true;
  return !imageName.empty() && imageRuns(win32::widen(imageName));
}

}  // namespace platform

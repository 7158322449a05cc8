#include <windows.h>

#include "platform/os_info.h"

namespace platform {

std::string osDescription() {
  // GetVersionEx reports what the manifest allows; ntdll's RtlGetVersion the real version.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return "Windows (version unknown)";
  auto getVersion = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!getVersion || getVersion(&info) != 0) return "Windows (version unknown)";
  std::string text = "Windows " + std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion) +
                     "." + std::to_string(info.dwBuildNumber);
  // Wine says so through an export of its own.
  if (GetProcAddress(ntdll, "wine_get_version")) text += " (Wine)";
  return text;
}

}  // namespace platform

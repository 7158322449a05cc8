#include <windows.h>

// After windows.h, which it relies on.
#include <shellapi.h>

#include <optional>

#include "platform/command_line.h"
#include "platform/steamvr_setup.h"
#include "platform/win32/hidden_command_win32.h"
#include "platform/win32/wide_text.h"

namespace platform {
namespace {

constexpr int kInfo = 1, kWarning = 2, kError = 3;
const wchar_t* const kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 250820";
const char* const kDefaultSteamVr = "C:\\Program Files (x86)\\Steam\\steamapps\\common\\SteamVR";

bool fileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens a key for reading. Steam is a 32-bit program, so its entries may sit in
// the 32-bit view of the registry: both views are tried.
HKEY openKey(HKEY root, const wchar_t* path) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) == ERROR_SUCCESS) return key;
  }
  return nullptr;
}

// A text value as UTF-8, at most a long path's length; nullopt when missing or not text.
std::optional<std::string> readText(HKEY key, const wchar_t* name) {
  std::wstring buffer(32768, L'\0');
  DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  DWORD type = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  // The stored text need not end in a terminator, or may hold one before its end.
  buffer.resize(size / sizeof(wchar_t));
  if (const size_t end = buffer.find(L'\0'); end != std::wstring::npos) buffer.resize(end);
  return win32::narrow(buffer);
}

std::optional<std::string> installLocation() {
  HKEY key = openKey(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (!key) return std::nullopt;
  auto value = readText(key, L"InstallLocation");
  ::RegCloseKey(key);
  return value;
}

}  // namespace

std::string findDriverRegistrationTool(const std::vector<std::string>&, std::vector<SetupLogLine>& log) {
  log.push_back({kInfo, "Searching SteamVR in registry (Uninstall/Steam App 250820)..."});
  if (HKEY key = openKey(HKEY_LOCAL_MACHINE, kUninstallKey)) {
    const auto location = readText(key, L"InstallLocation");
    ::RegCloseKey(key);
    if (location) {
      log.push_back({kInfo, "Registry: SteamVR InstallLocation: " + *location});
      const std::string candidate = *location + "\\bin\\win64\\vrpathreg.exe";
      if (fileExists(candidate)) {
        log.push_back({kInfo, "Success! found vrpathreg at: " + candidate});
        return candidate;
      }
      log.push_back({kWarning, "vrpathreg.exe not found at expected path: " + candidate});
    } else {
      log.push_back({kWarning, "Registry: Failed to query InstallLocation."});
    }
  } else {
    log.push_back({kWarning, "Registry: Could not open Steam App 250820 key."});
  }

  log.push_back({kInfo, "Searching SteamVR via SteamPath (HKCU\\SOFTWARE\\Valve\\Steam)..."});
  if (HKEY key = openKey(HKEY_CURRENT_USER, L"SOFTWARE\\Valve\\Steam")) {
    const auto steamPath = readText(key, L"SteamPath");
    ::RegCloseKey(key);
    if (steamPath) {
      log.push_back({kInfo, "Registry: SteamPath: " + *steamPath});
      const std::string candidate = *steamPath + "\\steamapps\\common\\SteamVR\\bin\\win64\\vrpathreg.exe";
      if (fileExists(candidate)) {
        log.push_back({kInfo, "Success! found vrpathreg at: " + candidate});
        return candidate;
      }
      log.push_back({kWarning, "vrpathreg.exe not found at SteamPath probe: " + candidate});
    } else {
      log.push_back({kWarning, "Registry: Failed to query SteamPath."});
    }
  } else {
    log.push_back({kWarning, "Registry: Could not open Valve\\Steam key."});
  }

  log.push_back({kInfo, "Searching SteamVR in default Program Files path..."});
  const std::string candidate = std::string(kDefaultSteamVr) + "\\bin\\win64\\vrpathreg.exe";
  if (fileExists(candidate)) {
    log.push_back({kInfo, "Success! found vrpathreg at default path: " + candidate});
    return candidate;
  }
  log.push_back({kWarning, "vrpathreg.exe not found at default path: " + candidate});
  log.push_back({kError, "Could not find vrpathreg.exe anywhere! SteamVR might not be installed correctly."});
  return {};
}

std::string driverRegistrationCommand(const std::string& tool, const std::string& driverFolder) {
  return "\"" + tool + "\" adddriver \"" + driverFolder + "\"";
}

// The tool gets its two arguments as they are: no command interpreter sees them, so
// characters such as & or % in a folder name stay part of the name.
int registerDriverFolder(const std::string& tool, const std::string& driverFolder) {
  return runAndWait({tool, {"adddriver", driverFolder}});
}

std::string manualRegistrationHint() {
  return "Manual fix: copy-paste the 'Executing registration command' line above into Command Prompt (Admin).";
}

void endSteamVr() {
  const std::string taskkill = systemProgram("taskkill");
  if (taskkill.empty()) return;
  // taskkill ends at once; a hung one is not allowed to hold the window.
  constexpr unsigned long kWaitMs = 10000;
  for (const char* image : {"vrmonitor.exe", "vrserver.exe", "vrdashboard.exe"})
    win32::runHiddenCommand({taskkill, {"/F", "/IM", image, "/T"}}, kWaitMs);
}

std::string findSteamVrMonitor(const std::vector<std::string>&) {
  if (const auto location = installLocation()) {
    const std::string candidate = *location + "\\bin\\win64\\vrmonitor.exe";
    if (fileExists(candidate)) return candidate;
  }
  const std::string fallback = std::string(kDefaultSteamVr) + "\\bin\\win64\\vrmonitor.exe";
  return fileExists(fallback) ? fallback : "";
}

// Started in its own folder, as Explorer would. A program whose manifest asks for
// administrator rights (an installer) cannot be created directly: the shell then
// starts it with its elevation prompt, still as a file name, not a command line.
bool startDetached(const std::string& path) {
  if (!fileExists(path)) return false;
  const std::wstring wide = win32::widen(path);
  const size_t separator = wide.find_last_of(L"\\/");
  const std::wstring folder = separator == std::wstring::npos ? L"" : wide.substr(0, separator);
  PROCESS_INFORMATION process{};
  // As start did: a console program gets a console of its own.
  if (win32::launch({path, {}}, CREATE_NEW_CONSOLE, folder, process)) {
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
  }
  constexpr DWORD kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED, missing from some headers
  if (::GetLastError() != kElevationRequired) return false;
  SHELLEXECUTEINFOW shell{};
  shell.cbSize = sizeof shell;
  shell.fMask = SEE_MASK_NOASYNC;
  shell.lpVerb = L"runas";
  shell.lpFile = wide.c_str();
  shell.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  shell.nShow = SW_SHOWNORMAL;
  return ::ShellExecuteExW(&shell) != 0;
}

}  // namespace platform

#include <windows.h>

#include <algorithm>
#include <optional>

#include "platform/command_line.h"
#include "platform/steamvr_setup.h"

namespace platform {
namespace {

constexpr int kInfo = 1, kWarning = 2, kError = 3;
const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 250820";
const char* const kDefaultSteamVr = "C:\\Program Files (x86)\\Steam\\steamapps\\common\\SteamVR";

bool fileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens a key for reading. Steam is a 32-bit program, so its entries may sit in
// the 32-bit view of the registry: both views are tried.
HKEY openKey(HKEY root, const char* path) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path, 0, KEY_READ | view, &key) == ERROR_SUCCESS) return key;
  }
  return nullptr;
}

// A text value, at most a path's length; nullopt when missing or not text.
std::optional<std::string> readText(HKEY key, const char* name) {
  char buffer[1024] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::nullopt;
  buffer[std::min<DWORD>(size, sizeof buffer - 1)] = '\0';
  return std::string(buffer);
}

std::optional<std::string> installLocation() {
  HKEY key = openKey(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (!key) return std::nullopt;
  auto value = readText(key, "InstallLocation");
  ::RegCloseKey(key);
  return value;
}

}  // namespace

std::string findDriverRegistrationTool(const std::vector<std::string>&, std::vector<SetupLogLine>& log) {
  log.push_back({kInfo, "Searching SteamVR in registry (Uninstall/Steam App 250820)..."});
  if (HKEY key = openKey(HKEY_LOCAL_MACHINE, kUninstallKey)) {
    const auto location = readText(key, "InstallLocation");
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
  if (HKEY key = openKey(HKEY_CURRENT_USER, "SOFTWARE\\Valve\\Steam")) {
    const auto steamPath = readText(key, "SteamPath");
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

// As typed at a prompt: cmd /c and the command in one more pair of quotes, so the
// interpreter keeps the quotes around both paths.
int registerDriverFolder(const std::string& tool, const std::string& driverFolder) {
  return runInterpreterLine("cmd /c \"" + driverRegistrationCommand(tool, driverFolder) + "\"");
}

std::string manualRegistrationHint() {
  return "Manual fix: copy-paste the 'Executing registration command' line above into Command Prompt (Admin).";
}

void endSteamVr() {
  for (const char* line : {"taskkill /F /IM vrmonitor.exe /T 2>nul", "taskkill /F /IM vrserver.exe /T 2>nul",
                           "taskkill /F /IM vrdashboard.exe /T 2>nul"})
    runInterpreterLine(line);
}

std::string findSteamVrMonitor(const std::vector<std::string>&) {
  if (const auto location = installLocation()) {
    const std::string candidate = *location + "\\bin\\win64\\vrmonitor.exe";
    if (fileExists(candidate)) return candidate;
  }
  const std::string fallback = std::string(kDefaultSteamVr) + "\\bin\\win64\\vrmonitor.exe";
  return fileExists(fallback) ? fallback : "";
}

bool startDetached(const std::string& path) { return runInterpreterLine("start \"\" \"" + path + "\"") != -1; }

}  // namespace platform

// Registering the SteamVR driver and restarting SteamVR under Wine, with copies of a
// recording program standing in for vrpathreg.exe and vrmonitor.exe, from folders
// whose names a command interpreter would act on or the ANSI code page cannot hold.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/system/component_service.h"
#include "platform/command_line.h"
#include "platform/paths.h"
#include "platform/win32/wide_text.h"

namespace services {
namespace {

namespace fs = std::filesystem;
using platform::utf8Path;
using platform::utf8Text;

const wchar_t* const kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 250820";

std::string readFile(const std::string& path) {
  std::ifstream in(utf8Path(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void installStandIn(const fs::path& path, int exitCode) {
  fs::create_directories(path.parent_path());
  fs::copy_file(STRIVO_RECORD_ARGS_PROGRAM, path, fs::copy_options::overwrite_existing);
  writeFile(fs::path(path.native() + L".exit"), std::to_string(exitCode));
}

bool setInstallLocation(const std::string& folder) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring value = platform::win32::widen(folder);
  const LONG status = ::RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

std::string joined(const core::Logger& logger) {
  std::string log;
  for (const std::string& line : logger.lines()) log += line + "\n";
  return log;
}

// Folder names: plain, what cmd would split and run, and what code page 1252 cannot hold.
const char* const kFolders[] = {"strivo steamvr setup", "R&D x&mkdir INJECTED&y",
                                "Caf\xC3\xA9 %PATH% ^& \xE2\x80\x99quote\xE2\x80\x99 \xE6\x97\xA5"};

TEST(ComponentInstallWin32, RegistrationAndRestartReachTheToolsUnchangedFromAnyFolder) {
  const std::string savedLocalAppData = platform::environmentValue("LOCALAPPDATA");
  for (const char* name : kFolders) {
    SCOPED_TRACE(name);
    const fs::path root = fs::temp_directory_path() / utf8Path(name);
    fs::remove_all(root);
    const fs::path steamvr = root / utf8Path("Steam VR (x86) Caf\xC3\xA9");
    const fs::path tool = steamvr / "bin" / "win64" / "vrpathreg.exe";
    const fs::path monitor = steamvr / "bin" / "win64" / "vrmonitor.exe";
    const fs::path program = root / "program";
    writeFile(program / "drivers" / "gaitrelay" / "driver.vrdrivermanifest", "{}");
    installStandIn(tool, 0);
    installStandIn(monitor, 0);
    ASSERT_TRUE(setInstallLocation(utf8Text(steamvr)));

    core::Settings settings;
    core::Logger logger(nullptr);
    // SteamVR's path registry is found under a LOCALAPPDATA of that name.
    ASSERT_TRUE(::SetEnvironmentVariableW(L"LOCALAPPDATA", root.c_str()));
    ComponentEnvironment environment = programEnvironment(nullptr);
    EXPECT_EQ(environment.pathRegistryFile, utf8Text(root) + "\\openvr\\openvrpaths.vrpath");
    environment.programFolder = utf8Text(program);
    ComponentService service(settings, logger, environment);
    service.installComponent("SteamVR");

    const std::string folder = utf8Text(program / "drivers" / "gaitrelay");
    EXPECT_EQ(readFile(utf8Text(tool) + ".args"), "adddriver\n" + folder + "\n");
    EXPECT_TRUE(service.prompts().restartNeeded());
    const std::string log = joined(logger);
    EXPECT_NE(log.find("Registry: SteamVR InstallLocation: " + utf8Text(steamvr)), std::string::npos) << log;
    EXPECT_NE(log.find("Executing registration command: \"" + utf8Text(tool) + "\" adddriver \"" + folder + "\""),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Searching SteamVR via SteamPath"), std::string::npos) << log;  // found at the first step
    EXPECT_NE(log.find("Success! Driver registered correctly."), std::string::npos) << log;
    EXPECT_FALSE(fs::exists("INJECTED") || fs::exists(root / "INJECTED") || fs::exists(program / "INJECTED"));

    // The monitor is started on its own; it records once it runs.
    service.restartSteamVR();
    const std::string started = utf8Text(monitor) + ".args";
    for (int i = 0; i < 200 && !fs::exists(utf8Path(started)); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fs::exists(utf8Path(started))) << joined(logger);
    EXPECT_FALSE(service.prompts().restartNeeded());
    // The monitor's folder can be removed once it has ended.
    std::error_code busy;
    for (int i = 0; i < 100 && (fs::remove_all(root, busy), busy); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY, 0);
  ::SetEnvironmentVariableW(L"LOCALAPPDATA", platform::win32::widen(savedLocalAppData).c_str());
}

}  // namespace
}  // namespace services

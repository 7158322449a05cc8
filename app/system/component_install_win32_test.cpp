// Registering the SteamVR driver through the registry's SteamVR entry, with a copy
// of a recording program standing in for vrpathreg.exe (under Wine, in the test's
// own prefix).
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/system/component_service.h"

namespace services {
namespace {

namespace fs = std::filesystem;

const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 250820";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

bool setInstallLocation(const std::string& folder) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status = ::RegSetValueExA(key, "InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                       static_cast<DWORD>(folder.size() + 1));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

TEST(ComponentInstallWin32, TheDriverIsRegisteredWithTheToolTheRegistryPointsTo) {
  const fs::path root = fs::temp_directory_path() / "strivo steamvr setup";
  fs::remove_all(root);
  const fs::path steamvr = root / "Steam VR (x86)";
  const fs::path tool = steamvr / "bin" / "win64" / "vrpathreg.exe";
  const fs::path working = root / "program";
  writeFile(working / "drivers" / "gaitrelay" / "driver.vrdrivermanifest", "{}");
  fs::create_directories(tool.parent_path());
  fs::copy_file(STRIVO_RECORD_ARGS_PROGRAM, tool);
  writeFile(tool.string() + ".exit", "0");
  ASSERT_TRUE(setInstallLocation(steamvr.string()));

  core::Settings settings;
  core::Logger logger(nullptr);
  ComponentEnvironment environment;
  environment.programFolder = working.string();
  environment.pathRegistryFile = (root / "openvrpaths.vrpath").string();
  environment.startDetached = [](const std::string&) { return true; };
  ComponentService service(settings, logger, environment);
  service.installComponent("SteamVR");

  const std::string folder = (working / "drivers" / "gaitrelay").string();
  EXPECT_EQ(readFile(tool.string() + ".args"), "adddriver\n" + folder + "\n");
  EXPECT_TRUE(settings.restart_needed.load());
  std::string log;
  for (const std::string& line : logger.lines()) log += line + "\n";
  EXPECT_NE(log.find("Registry: SteamVR InstallLocation: " + steamvr.string()), std::string::npos) << log;
  EXPECT_NE(log.find("Executing registration command: \"" + tool.string() + "\" adddriver \"" + folder + "\""),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Searching SteamVR via SteamPath"), std::string::npos) << log;  // found at the first step
  EXPECT_NE(log.find("Success! Driver registered correctly."), std::string::npos) << log;

  ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY, 0);
  fs::remove_all(root);
}

}  // namespace
}  // namespace services

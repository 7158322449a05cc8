#pragma once

#include <filesystem>
#include <string>

namespace platform {

// The per-user folder for the program's data, created if it does not exist.
// Windows: %LOCALAPPDATA%\<appName>. Linux: $XDG_CONFIG_HOME/<appName>, else ~/.config/<appName>.
// Returns "." when the user's folder cannot be determined.
std::string userDataFolder(const std::string& appName);

// Joins a folder and a file name with the platform's separator.
std::string joinPath(const std::string& folder, const std::string& name);

// The full path of the running executable; empty when unknown.
std::string executablePath();

// A program's file name on this platform: "LayerSetup" or "LayerSetup.exe".
std::string executableFileName(const std::string& baseName);

// The folder holding the running executable; "." when unknown.
std::string executableFolder();

// Paths are UTF-8 text in the program; std::filesystem takes narrow text in the
// system's code page on Windows, so paths cross over through char8_t.
inline std::filesystem::path utf8Path(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
inline std::string utf8Text(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace platform

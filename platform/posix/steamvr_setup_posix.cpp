#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include "platform/command_line.h"
#include "platform/steamvr_setup.h"

namespace platform {
namespace {

constexpr int kInfo = 1, kWarning = 2, kError = 3;

bool isExecutable(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string withoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Steam's usual library for SteamVR, where no path registry names it.
std::string defaultSteamVrFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.steam/steam/steamapps/common/SteamVR" : "";
}

// Quotes a text for a POSIX shell, so that a line shown in the log can be pasted.
std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string findDriverRegistrationTool(const std::vector<std::string>& runtimeFolders, std::vector<SetupLogLine>& log) {
  for (const std::string& folder : runtimeFolders) {
    log.push_back({kInfo, "Searching SteamVR in openvrpaths.vrpath runtime: " + folder});
    const std::string candidate = withoutTrailingSlash(folder) + "/bin/vrpathreg.sh";
    if (isExecutable(candidate)) {
      log.push_back({kInfo, "Success! found vrpathreg at: " + candidate});
      return candidate;
    }
    log.push_back({kWarning, "vrpathreg.sh not found at expected path: " + candidate});
  }
  log.push_back({kInfo, "Searching SteamVR in the default Steam library..."});
  if (const std::string folder = defaultSteamVrFolder(); !folder.empty()) {
    const std::string candidate = folder + "/bin/vrpathreg.sh";
    if (isExecutable(candidate)) {
      log.push_back({kInfo, "Success! found vrpathreg at default path: " + candidate});
      return candidate;
    }
    log.push_back({kWarning, "vrpathreg.sh not found at default path: " + candidate});
  }
  log.push_back({kError, "Could not find vrpathreg.sh anywhere! SteamVR might not be installed correctly."});
  return {};
}

std::string driverRegistrationCommand(const std::string& tool, const std::string& driverFolder) {
  return shellQuoted(tool) + " adddriver " + shellQuoted(driverFolder);
}

int registerDriverFolder(const std::string& tool, const std::string& driverFolder) {
  return runAndWait({tool, {"adddriver", driverFolder}});
}

std::string manualRegistrationHint() {
  return "Manual fix: copy-paste the 'Executing registration command' line above into a terminal.";
}

void endSteamVr() {
  DIR* processes = ::opendir("/proc");
  if (!processes) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(processes)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self) continue;
    std::string name;
    std::getline(std::ifstream("/proc/" + std::string(entry->d_name) + "/comm"), name);
    if (name == "vrmonitor" || name == "vrserver" || name == "vrdashboard") ::kill(static_cast<pid_t>(pid), SIGTERM);
  }
  ::closedir(processes);
}

std::string findSteamVrMonitor(const std::vector<std::string>& runtimeFolders) {
  std::vector<std::string> folders = runtimeFolders;
  folders.push_back(defaultSteamVrFolder());
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    const std::string candidate = withoutTrailingSlash(folder) + "/bin/vrmonitor.sh";
    if (isExecutable(candidate)) return candidate;
  }
  return {};
}

// Started in a grandchild of its own session that init adopts: nothing is left
// to reap, and the program outlives this one.
bool startDetached(const std::string& path) {
  if (!isExecutable(path)) return false;
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    if (::fork() == 0) {
      ::execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform

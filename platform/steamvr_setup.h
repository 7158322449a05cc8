#pragma once

#include <string>
#include <vector>

// What registering the SteamVR driver and restarting SteamVR needs from the system.
// Windows: SteamVR's registry entries, vrpathreg.exe through the command
// interpreter, taskkill and start. Linux: the runtime folders SteamVR lists in its
// path registry file, bin/vrpathreg.sh run with arguments, signals to SteamVR's
// processes, bin/vrmonitor.sh started on its own.
namespace platform {

// One line for the log: level as the program's log numbers them (1 info, 2 warning, 3 error).
struct SetupLogLine {
  int level;
  std::string text;
};

// Finds the driver registration tool, reporting each place looked at. Linux looks in
// `runtimeFolders` (from the path registry file) first. Empty when not found.
std::string findDriverRegistrationTool(const std::vector<std::string>& runtimeFolders, std::vector<SetupLogLine>& log);

// The registration command for a driver folder as the log shows it (to paste by
// hand if it fails), and running it: returns the tool's exit code.
std::string driverRegistrationCommand(const std::string& tool, const std::string& driverFolder);
int registerDriverFolder(const std::string& tool, const std::string& driverFolder);

// Where a failed registration can be repeated by hand.
std::string manualRegistrationHint();

// Ends SteamVR's monitor, server and dashboard, waiting for each step.
void endSteamVr();

// SteamVR's monitor program, to start it again; empty when not found.
std::string findSteamVrMonitor(const std::vector<std::string>& runtimeFolders);

// Starts a program (an installer, SteamVR) without waiting for it. False when it
// could not be handed over.
bool startDetached(const std::string& path);

}  // namespace platform

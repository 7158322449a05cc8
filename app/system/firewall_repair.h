#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "platform/command_line.h"

namespace services {

// The programs, with their arguments, that open Windows' firewall for one port and
// for the program itself (`programPath` empty: the program's own rules are left
// out). `netsh` and `powershell` are the tools' full paths. Only the rules this
// program made ("StrivoVR_Port_<port>", "StrivoVR_App") are removed and remade, for
// the private profile only; PowerShell reads the program path from a variable of
// its environment, so no character in it can end a quoted text.
std::vector<platform::CommandLine> netshFirewallCommands(int port, const std::string& protocol,
                                                         const std::string& programPath, const std::string& netsh,
                                                         const std::string& powershell);

// The same for Linux's ufw: ufw has rules for ports only, not for programs.
std::vector<platform::CommandLine> ufwFirewallCommands(int port, const std::string& protocol, const std::string& ufw);

// How the repair finds and runs its tools; tests record them instead.
struct FirewallCommands {
  std::function<std::string(const std::string& tool)> locate = platform::systemProgram;  // empty: not there
  std::function<int(const platform::CommandLine&)> run = platform::runAndWait;
};

// Opens the firewall for a port ("UDP" or "TCP") and for the program: netsh where
// it exists (Windows), else ufw where it is installed, else nothing but the log
// lines. Commands run in order, each to its end; their exit codes are not looked
// at, since without administrator rights they fail and nothing can be done here.
class FirewallRepair {
 public:
  FirewallRepair(core::Logger& logger, std::string programPath, FirewallCommands commands = {});

  void repairFirewall(int port, const std::string& protocol);

 private:
  core::Logger& logger_;
  std::string programPath_;
  FirewallCommands commands_;
};

}  // namespace services

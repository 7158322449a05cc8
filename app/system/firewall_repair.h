#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/core/logger.h"
#include "platform/command_line.h"

namespace services {

// The command lines, handed to Windows' command interpreter one at a time, that
// open the firewall for one port and for the program itself (`programPath` empty:
// the program's own rules are left out).
std::vector<std::string> netshFirewallCommands(int port, const std::string& protocol, const std::string& programPath);

// The same for Linux's ufw, as programs with arguments: ufw has rules for ports
// only, not for programs.
std::vector<platform::CommandLine> ufwFirewallCommands(int port, const std::string& protocol);

// How the repair runs its commands; tests record them instead.
struct FirewallCommands {
  std::function<bool(const std::string& program)> exists = platform::programExists;
  std::function<int(const std::string& line)> runLine = platform::runInterpreterLine;
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

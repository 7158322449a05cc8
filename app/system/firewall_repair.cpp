#include "app/system/firewall_repair.h"

namespace services {
namespace {

const std::string kPortRulePrefix = "StrivoVR_Port_";
const std::string kProgramRule = "StrivoVR_App";

// Inside PowerShell's single quotes only a single quote is special; doubling it
// keeps a path such as C:\Users\O'Neil\... one literal text.
std::string powershellLiteral(const std::string& text) {
  std::string quoted;
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

}  // namespace

std::vector<std::string> netshFirewallCommands(int port, const std::string& protocol, const std::string& programPath) {
  const std::string number = std::to_string(port);
  std::vector<std::string> commands = {
      "netsh advfirewall firewall delete rule name=all localport=" + number + " protocol=" + protocol,
      "netsh advfirewall firewall add rule name=\"" + kPortRulePrefix + number +
          "\" dir=in action=allow protocol=" + protocol + " localport=" + number,
  };
  if (programPath.empty()) return commands;
  commands.push_back(
      "powershell -Command \"Get-NetFirewallRule -Action Block | ForEach-Object { $r=$_; "
      "$f=$r|Get-NetFirewallApplicationFilter; if ($f.AppPath -eq '" +
      powershellLiteral(programPath) + "') { $r|Remove-NetFirewallRule } }\"");
  commands.push_back("netsh advfirewall firewall delete rule name=\"" + kProgramRule + "\"");
  commands.push_back("netsh advfirewall firewall add rule name=\"" + kProgramRule +
                     "\" dir=in action=allow program=\"" + programPath + "\" enable=yes");
  return commands;
}

std::vector<platform::CommandLine> ufwFirewallCommands(int port, const std::string& protocol) {
  const std::string rule = std::to_string(port) + "/" + lower(protocol);
  return {{"ufw", {"delete", "allow", rule}},
          {"ufw", {"allow", rule, "comment", kPortRulePrefix + std::to_string(port)}}};
}

FirewallRepair::FirewallRepair(core::Logger& logger, std::string programPath, FirewallCommands commands)
    : logger_(logger), programPath_(std::move(programPath)), commands_(std::move(commands)) {}

void FirewallRepair::repairFirewall(int port, const std::string& protocol) {
  // The protocol and port end up in command lines: only what a port entry can hold.
  if ((protocol != "UDP" && protocol != "TCP") || port < 1 || port > 65535) {
    logger_.error("Firewall: not a port to open: " + std::to_string(port) + " (" + protocol + ")");
    return;
  }
  logger_.info("Fixing firewall for port " + std::to_string(port) + " (" + protocol + ")...");
  if (commands_.exists("netsh")) {
    // A program path with a double quote would end netsh's quoted text early;
    // Windows paths cannot hold one, so such a path is not from this system.
    const bool pathUsable = !programPath_.empty() && programPath_.find('"') == std::string::npos;
    for (const std::string& line : netshFirewallCommands(port, protocol, pathUsable ? programPath_ : ""))
      commands_.runLine(line);
    if (pathUsable) logger_.info("Firewall fixed for app: " + programPath_);
  } else if (commands_.exists("ufw")) {
    for (const platform::CommandLine& command : ufwFirewallCommands(port, protocol)) commands_.run(command);
  } else {
    logger_.info("Firewall: no firewall tool (netsh or ufw) found; no rule was changed.");
  }
  logger_.info("Firewall fixed for port " + std::to_string(port));
}

}  // namespace services

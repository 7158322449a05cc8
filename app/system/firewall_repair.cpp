#include "app/system/firewall_repair.h"

namespace services {
namespace {

const std::string kPortRulePrefix = "StrivoVR_Port_";
const std::string kProgramRule = "StrivoVR_App";
const std::string kProgramPathVariable = "STRIVOVR_APP_PATH";

// Removes the block rules Windows made for this program (when its firewall prompt
// was declined). The path comes from the environment, never from the script text.
const std::string kRemoveBlockRules =
    "$p=$env:" + kProgramPathVariable +
    "; Get-NetFirewallRule -Action Block | ForEach-Object { $r=$_; $f=$r|Get-NetFirewallApplicationFilter; "
    "if ($f.AppPath -eq $p) { $r|Remove-NetFirewallRule } }";

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

}  // namespace

std::vector<platform::CommandLine> netshFirewallCommands(int port, const std::string& protocol,
                                                         const std::string& programPath, const std::string& netsh,
                                                         const std::string& powershell) {
  const std::string number = std::to_string(port);
  const std::string portRule = "name=" + kPortRulePrefix + number;
  const std::vector<std::string> rule = {"advfirewall", "firewall"};
  auto netshLine = [&](std::vector<std::string> words) {
    words.insert(words.begin(), rule.begin(), rule.end());
    return platform::CommandLine{netsh, std::move(words)};
  };
  std::vector<platform::CommandLine> commands = {
      netshLine({"delete", "rule", portRule, "protocol=" + protocol, "localport=" + number}),
      netshLine({"add", "rule", portRule, "dir=in", "action=allow", "protocol=" + protocol, "localport=" + number,
                 "profile=private"}),
  };
  if (programPath.empty()) return commands;
  if (!powershell.empty())
    commands.push_back({powershell,
                        {"-NoProfile", "-NonInteractive", "-Command", kRemoveBlockRules},
                        {{kProgramPathVariable, programPath}}});
  commands.push_back(netshLine({"delete", "rule", "name=" + kProgramRule}));
  commands.push_back(netshLine({"add", "rule", "name=" + kProgramRule, "dir=in", "action=allow",
                                "program=" + programPath, "enable=yes", "profile=private"}));
  return commands;
}

std::vector<platform::CommandLine> ufwFirewallCommands(int port, const std::string& protocol, const std::string& ufw) {
  const std::string rule = std::to_string(port) + "/" + lower(protocol);
  return {{ufw, {"delete", "allow", rule}}, {ufw, {"allow", rule, "comment", kPortRulePrefix + std::to_string(port)}}};
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
  if (const std::string netsh = commands_.locate("netsh"); !netsh.empty()) {
    const std::string powershell = commands_.locate("WindowsPowerShell\\v1.0\\powershell");
    for (const platform::CommandLine& command : netshFirewallCommands(port, protocol, programPath_, netsh, powershell))
      commands_.run(command);
    if (!programPath_.empty()) logger_.info("Firewall fixed for app: " + programPath_);
  } else if (const std::string ufw = commands_.locate("ufw"); !ufw.empty()) {
    for (const platform::CommandLine& command : ufwFirewallCommands(port, protocol, ufw)) commands_.run(command);
  } else {
    logger_.info("Firewall: no firewall tool (netsh or ufw) found; no rule was changed.");
  }
  logger_.info("Firewall fixed for port " + std::to_string(port));
}

}  // namespace services

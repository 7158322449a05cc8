#include "app/system/firewall_repair.h"

#include <gtest/gtest.h>

namespace services {
namespace {

// Records what the repair runs instead of running it.
struct RecordedCommands {
  explicit RecordedCommands(std::vector<std::string> existing = {}) : tools(std::move(existing)) {}

  std::vector<std::string> tools;  // the tools that "exist"
  std::vector<platform::CommandLine> programs;

  FirewallCommands commands() {
    return {[this](const std::string& tool) {
              return std::find(tools.begin(), tools.end(), tool) != tools.end() ? "/sys/" + tool : "";
            },
            [this](const platform::CommandLine& c) {
              programs.push_back(c);
              return 1;  // as without administrator rights: not looked at
            }};
  }
};

std::vector<std::string> messages(const core::Logger& logger) {
  std::vector<std::string> result;
  for (const std::string& line : logger.lines()) result.push_back(line.substr(line.find("] ") + 2));
  return result;
}

// A command as one line: program, arguments and variables, split by " | ".
std::string flat(const platform::CommandLine& command) {
  std::string line = command.program;
  for (const std::string& argument : command.arguments) line += " | " + argument;
  for (const auto& [name, value] : command.environment) line += " | $" + name + "=" + value;
  return line;
}

TEST(FirewallRepair, NetshTouchesOnlyOurRulesForThePrivateProfileAndPowerShellGetsThePathOutsideItsScript) {
  core::Logger logger(nullptr);
  RecordedCommands recorded({"netsh", "WindowsPowerShell\\v1.0\\powershell", "ufw"});
  // Quotes of every kind PowerShell knows, and what cmd would act on.
  const std::string program = "C:\\Program Files\\O'Neil \xE2\x80\x99 & Co %PATH% \"x\"\\StrivoVR.exe";
  FirewallRepair(logger, program, recorded.commands()).repairFirewall(6969, "UDP");
  const std::string netsh = "/sys/netsh | advfirewall | firewall | ";
  const std::vector<std::string> expected = {
      netsh + "delete | rule | name=StrivoVR_Port_6969 | protocol=UDP | localport=6969",
      netsh +
          "add | rule | name=StrivoVR_Port_6969 | dir=in | action=allow | protocol=UDP | localport=6969 | "
          "profile=private",
      "/sys/WindowsPowerShell\\v1.0\\powershell | -NoProfile | -NonInteractive | -Command | $p=$env:STRIVOVR_APP_PATH; "
      "Get-NetFirewallRule -Action Block | ForEach-Object { $r=$_; $f=$r|Get-NetFirewallApplicationFilter; if "
      "($f.AppPath -eq $p) { $r|Remove-NetFirewallRule } } | $STRIVOVR_APP_PATH=" +
          program,
      netsh + "delete | rule | name=StrivoVR_App",
      netsh + "add | rule | name=StrivoVR_App | dir=in | action=allow | program=" + program +
          " | enable=yes | profile=private",
  };
  std::vector<std::string> ran;
  for (const platform::CommandLine& command : recorded.programs) ran.push_back(flat(command));
  EXPECT_EQ(ran, expected);
  const std::vector<std::string> log = {"Fixing firewall for port 6969 (UDP)...", "Firewall fixed for app: " + program,
                                        "Firewall fixed for port 6969"};
  EXPECT_EQ(messages(logger), log);

  // Without PowerShell the block rules stay; our own rules are still made. Without
  // a program path, only the port's.
  RecordedCommands bare({"netsh"});
  FirewallRepair(logger, program, bare.commands()).repairFirewall(6969, "UDP");
  EXPECT_EQ(bare.programs.size(), 4u);
  RecordedCommands portOnly({"netsh"});
  FirewallRepair(logger, "", portOnly.commands()).repairFirewall(6969, "UDP");
  ASSERT_EQ(portOnly.programs.size(), 2u);
  EXPECT_EQ(flat(portOnly.programs[1]), expected[1]);
}

TEST(FirewallRepair, UfwGetsArgumentsNotAShellLineAndWithNeitherToolOnlyTheLogSpeaks) {
  core::Logger logger(nullptr);
  RecordedCommands recorded({"ufw"});
  FirewallRepair(logger, "/opt/strivovr/strivovr", recorded.commands()).repairFirewall(9000, "UDP");
  ASSERT_EQ(recorded.programs.size(), 2u);
  EXPECT_EQ(recorded.programs[0].program, "/sys/ufw");
  EXPECT_EQ(recorded.programs[0].arguments, (std::vector<std::string>{"delete", "allow", "9000/udp"}));
  EXPECT_EQ(recorded.programs[1].arguments,
            (std::vector<std::string>{"allow", "9000/udp", "comment", "StrivoVR_Port_9000"}));

  core::Logger bare(nullptr);
  RecordedCommands none;
  FirewallRepair(bare, "/opt/strivovr/strivovr", none.commands()).repairFirewall(9000, "UDP");
  EXPECT_TRUE(none.programs.empty());
  const std::vector<std::string> log = {"Fixing firewall for port 9000 (UDP)...",
                                        "Firewall: no firewall tool (netsh or ufw) found; no rule was changed.",
                                        "Firewall fixed for port 9000"};
  EXPECT_EQ(messages(bare), log);
}

TEST(FirewallRepair, OnlyPortNumbersAndTheTwoProtocolsReachACommand) {
  struct Case {
    int port;
    const char* protocol;
    bool runs;
  } cases[] = {{1, "UDP", true},     {0, "UDP", false},           {65535, "TCP", true}, {65536, "TCP", false},
               {6969, "udp", false}, {6969, "UDP & calc", false}, {6969, "", false}};
  for (const Case& c : cases) {
    core::Logger logger(nullptr);
    RecordedCommands recorded({"netsh"});
    FirewallRepair(logger, "", recorded.commands()).repairFirewall(c.port, c.protocol);
    EXPECT_EQ(!recorded.programs.empty(), c.runs) << c.port << " " << c.protocol;
  }
}

}  // namespace
}  // namespace services

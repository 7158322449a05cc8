#include "app/system/firewall_repair.h"

#include <gtest/gtest.h>

namespace services {
namespace {

// Records what the repair runs instead of running it.
struct RecordedCommands {
  explicit RecordedCommands(std::vector<std::string> existing = {}) : tools(std::move(existing)) {}

  std::vector<std::string> tools;  // the tools that "exist"
  std::vector<std::string> lines;
  std::vector<platform::CommandLine> programs;

  FirewallCommands commands() {
    return {[this](const std::string& p) { return std::find(tools.begin(), tools.end(), p) != tools.end(); },
            [this](const std::string& line) {
              lines.push_back(line);
              return 1;  // as without administrator rights: not looked at
            },
            [this](const platform::CommandLine& c) {
              programs.push_back(c);
              return 1;
            }};
  }
};

std::vector<std::string> messages(const core::Logger& logger) {
  std::vector<std::string> result;
  for (const std::string& line : logger.lines()) result.push_back(line.substr(line.find("] ") + 2));
  return result;
}

TEST(FirewallRepair, NetshRunsFiveCommandsQuotedAsTheInterpreterNeedsThemAndLogsThreeLines) {
  core::Logger logger(nullptr);
  RecordedCommands recorded({"netsh", "ufw"});
  const std::string program = R"(C:\Program Files\O'Neil & Co\StrivoVR.exe)";
  FirewallRepair(logger, program, recorded.commands()).repairFirewall(6969, "UDP");
  const std::vector<std::string> expected = {
      "netsh advfirewall firewall delete rule name=all localport=6969 protocol=UDP",
      "netsh advfirewall firewall add rule name=\"StrivoVR_Port_6969\" dir=in action=allow protocol=UDP "
      "localport=6969",
      "powershell -Command \"Get-NetFirewallRule -Action Block | ForEach-Object { $r=$_; "
      "$f=$r|Get-NetFirewallApplicationFilter; if ($f.AppPath -eq 'C:\\Program Files\\O''Neil & Co\\StrivoVR.exe') "
      "{ $r|Remove-NetFirewallRule } }\"",
      "netsh advfirewall firewall delete rule name=\"StrivoVR_App\"",
      "netsh advfirewall firewall add rule name=\"StrivoVR_App\" dir=in action=allow program=\"" + program +
          "\" enable=yes",
  };
  EXPECT_EQ(recorded.lines, expected);
  EXPECT_TRUE(recorded.programs.empty());
  const std::vector<std::string> log = {"Fixing firewall for port 6969 (UDP)...", "Firewall fixed for app: " + program,
                                        "Firewall fixed for port 6969"};
  EXPECT_EQ(messages(logger), log);
}

TEST(FirewallRepair, WithoutAProgramPathOnlyThePortRulesAreWritten) {
  core::Logger logger(nullptr);
  RecordedCommands recorded({"netsh"});
  FirewallRepair(logger, "", recorded.commands()).repairFirewall(21110, "TCP");
  ASSERT_EQ(recorded.lines.size(), 2u);
  EXPECT_EQ(recorded.lines[1],
            "netsh advfirewall firewall add rule name=\"StrivoVR_Port_21110\" dir=in action=allow protocol=TCP "
            "localport=21110");
  EXPECT_EQ(messages(logger).size(), 2u);
}

TEST(FirewallRepair, UfwGetsArgumentsNotAShellLineAndWithNeitherToolOnlyTheLogSpeaks) {
  core::Logger logger(nullptr);
  RecordedCommands recorded({"ufw"});
  FirewallRepair(logger, "/opt/strivovr/strivovr", recorded.commands()).repairFirewall(9000, "UDP");
  ASSERT_EQ(recorded.programs.size(), 2u);
  EXPECT_EQ(recorded.programs[0].program, "ufw");
  EXPECT_EQ(recorded.programs[0].arguments, (std::vector<std::string>{"delete", "allow", "9000/udp"}));
  EXPECT_EQ(recorded.programs[1].arguments,
            (std::vector<std::string>{"allow", "9000/udp", "comment", "StrivoVR_Port_9000"}));
  EXPECT_TRUE(recorded.lines.empty());

  core::Logger bare(nullptr);
  RecordedCommands none;
  FirewallRepair(bare, "/opt/strivovr/strivovr", none.commands()).repairFirewall(9000, "UDP");
  EXPECT_TRUE(none.lines.empty() && none.programs.empty());
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
    EXPECT_EQ(!recorded.lines.empty(), c.runs) << c.port << " " << c.protocol;
  }
}

}  // namespace
}  // namespace services

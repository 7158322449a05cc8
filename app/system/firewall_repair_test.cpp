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

using Words = std::vector<std::string>;

TEST(FirewallRepair, NetshTouchesOnlyOurRulesForThePrivateProfileAndPowerShellGetsThePathOutsideItsScript) {
  core::Logger logger(nullptr);
  const std::string powershell = "WindowsPowerShell\\v1.0\\powershell";
  RecordedCommands recorded({"netsh", powershell, "ufw"});
  // Quotes of every kind PowerShell knows, and what cmd would act on.
  const std::string program = "C:\\Program Files\\O'Neil \xE2\x80\x99 & Co %PATH% \"x\"\\StrivoVR.exe";
  FirewallRepair(logger, program, recorded.commands()).repairFirewall(6969, "UDP");
  const std::string netsh = "/sys/netsh";
  ASSERT_EQ(recorded.programs.size(), 5u);
  const Words fw = {"advfirewall", "firewall"};
  auto with = [&](Words words) {
    words.insert(words.begin(), fw.begin(), fw.end());
    return words;
  };
  const std::vector<std::pair<std::string, Words>> expected = {
      {netsh, with({"delete", "rule", "name=StrivoVR_Port_6969", "protocol=UDP", "localport=6969"})},
      {netsh, with({"add", "rule", "name=StrivoVR_Port_6969", "dir=in", "action=allow", "protocol=UDP",
                    "localport=6969", "profile=private"})},
      {"/sys/" + powershell, {"-NoProfile", "-NonInteractive", "-Command"}},
      {netsh, with({"delete", "rule", "name=StrivoVR_App"})},
      {netsh, with({"add", "rule", "name=StrivoVR_App", "dir=in", "action=allow", "program=" + program, "enable=yes",
                    "profile=private"})},
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    const platform::CommandLine& command = recorded.programs[i];
    EXPECT_EQ(command.program, expected[i].first) << i;
    if (i == 2) continue;
    EXPECT_EQ(command.arguments, expected[i].second) << i;
    EXPECT_TRUE(command.environment.empty()) << i;
  }
  const platform::CommandLine& cleanup = recorded.programs[2];
  ASSERT_EQ(cleanup.arguments.size(), 4u);
  EXPECT_EQ(Words(cleanup.arguments.begin(), cleanup.arguments.begin() + 3), expected[2].second);
  EXPECT_EQ(cleanup.arguments[3].find(program), std::string::npos);
  EXPECT_NE(cleanup.arguments[3].find("$f.AppPath -eq $p"), std::string::npos);
  using Variables = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(cleanup.environment, (Variables{{"STRIVOVR_APP_PATH", program}}));
  const std::vector<std::string> log = {"Fixing firewall for port 6969 (UDP)...", "Firewall fixed for app: " + program,
                                        "Firewall fixed for port 6969"};
  EXPECT_EQ(messages(logger), log);

  // Without PowerShell the block rules stay; our own rules are still made.
  RecordedCommands bare({"netsh"});
  core::Logger quiet(nullptr);
  FirewallRepair(quiet, program, bare.commands()).repairFirewall(6969, "UDP");
  EXPECT_EQ(bare.programs.size(), 4u);
}

TEST(FirewallRepair, WithoutAProgramPathOnlyThePortRulesAreWritten) {
  core::Logger logger(nullptr);
  RecordedCommands recorded({"netsh"});
  FirewallRepair(logger, "", recorded.commands()).repairFirewall(21110, "TCP");
  ASSERT_EQ(recorded.programs.size(), 2u);
  EXPECT_EQ(recorded.programs[1].arguments,
            (Words{"advfirewall", "firewall", "add", "rule", "name=StrivoVR_Port_21110", "dir=in", "action=allow",
                   "protocol=TCP", "localport=21110", "profile=private"}));
  EXPECT_EQ(messages(logger).size(), 2u);
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

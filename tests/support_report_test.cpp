// The support report from a scripted run of the whole program in this process: a phone
// streams, the Status tab's button writes the report, and a hostile settings file on disk
// (invalid UTF-8, control characters, far too long) comes out as harmless text.
#include "app/system/support_report.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "app/application.h"
#include "app/gui/headless_imgui.h"
#include "app/gui/tabs/gui_tab_status.h"
#include "app/tracking/owotrack_protocol.h"
#include "platform/os_info.h"
#include "testing/support/free_port.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::byte> rotationPacket(std::uint64_t number) {
  namespace owo = tracking::owotrack;
  std::vector<std::byte> data(owo::kRotationSize);
  owo::writeHeader(data, owo::kRotation, number);
  for (std::size_t i = 0; i < 4; ++i) owo::writeF32(data, owo::kHeaderSize + 4 * i, i == 3 ? 1.0f : 0.0f);
  return data;
}

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

TEST(SupportReport, AScriptedRunWritesItAndAHostileSettingsFileCannotBreakIt) {
  testsupport::TempFolder home("support_report");
#ifndef _WIN32
  setenv("XDG_RUNTIME_DIR", home.path().c_str(), 1);  // the single-instance marker of this run only
#endif
  const int phonePort = testsupport::freeUdpPort(), oscPort = testsupport::freeUdpPort();
  ASSERT_NE(phonePort, 0);
  testsupport::writeFile(home.file("usersettings.json"),
                         "{\"owotrack_input_port\": " + std::to_string(phonePort) +
                             ", \"mode\": \"VRChat OSC\", \"vrchat_osc_port\": " + std::to_string(oscPort) + "}");
  std::ostringstream out, err;
  Application::Options options;
  options.dataFolder = [&] { return home.path().string(); };
  options.out = &out;
  options.err = &err;
  Application application(options);

  // Hostile bytes for the settings file: invalid UTF-8, an escape sequence, NUL, a bell, a C1 control, 1 MB.
  std::string hostile = "{\"hook_target_name\": \"\xFF\xFE\x1B[2J\x07\xC2\x85 \xE2\x82\xAC";
  hostile += std::string("\0\r\x7F", 3) + "\"," + std::string(1 << 20, 'A') + "}";
  std::string written, report;
  std::vector<std::string> opened;
  const int code = application.run([&] {
    gui::GuiActions actions;
    actions.road = application.roadActions();
    actions.localAddress = [] { return std::string("127.0.0.1"); };
    actions.openUrl = [&](const std::string& url) { return opened.push_back(url), 42L; };
    gui::tabs::GuiTabStatus tab(application.settings(), actions);
    guitest::HeadlessImGui ui(1200, 1400);
    auto draw = [&] { tab.render(); };

    platform::UdpSocket phone;
    EXPECT_TRUE(phone.open());
    ui.frame(draw);
    std::vector<std::byte> handshake(tracking::owotrack::kHeaderSize);  // a phone is followed once it shook hands
    tracking::owotrack::writeHeader(handshake, tracking::owotrack::kHandshake, 0);
    phone.sendTo(handshake, platform::Endpoint::loopback(static_cast<std::uint16_t>(phonePort)));
    for (std::uint64_t n = 0; n < 150; ++n) {  // 1.5 s at 100 a second
      phone.sendTo(rotationPacket(n), platform::Endpoint::loopback(static_cast<std::uint16_t>(phonePort)));
      std::this_thread::sleep_for(10ms);
      if (n % 10 == 0) ui.frame(draw);
    }
    for (int i = 0; i < 1200; ++i) application.logger().info("scripted line " + std::to_string(i));

    testsupport::writeFile(application.settingsFile().path(), hostile);

    EXPECT_TRUE(ui.click("SAVE SUPPORT REPORT", draw));
    written = tab.roadPanel().reportResult();
    return 0;
  });
  ASSERT_EQ(code, 0) << err.str();
  ASSERT_EQ(written.rfind("Saved ", 0), 0u) << written;
  const std::string path = written.substr(6);
  EXPECT_EQ(std::filesystem::path(path).parent_path(), home.path());
  EXPECT_EQ(opened, std::vector<std::string>{home.path().string()});
  report = testsupport::readFile(path);

  EXPECT_NE(report.find(std::string("Version: ") + services::kCurrentVersion + "\n"), std::string::npos);
  EXPECT_NE(report.find("\nBuild: " + services::buildDescription() + "\n"), std::string::npos);
  EXPECT_NE(report.find("\nOS: " + platform::osDescription() + "\n"), std::string::npos);
  // The road as the panel showed it: the phone streaming from this machine, OSC sending.
  const auto tracker = report.find("Tracker [green] Phone: ");
  ASSERT_NE(tracker, std::string::npos) << report.substr(0, 2000);
  EXPECT_NE(report.find("from 127.0.0.1:", tracker), std::string::npos);
  EXPECT_NE(report.find("Output [green] VRChat OSC: "), std::string::npos);
  EXPECT_NE(report.find("Latency (datagram to output, last 10 s): median "), std::string::npos);
  EXPECT_NE(report.find("Phone (owoTrack) (Port " + std::to_string(phonePort)), std::string::npos)
      << report.substr(0, 3000);
  // The settings as harmless text: bad bytes spelled out, valid UTF-8 kept, cut at its limit.
  EXPECT_NE(report.find("\"hook_target_name\": \"\\xFF\\xFE\\x1B[2J\\x07\\xC2\\x85 \xE2\x82\xAC\\x00\\x0D\\x7F\""),
            std::string::npos);
  EXPECT_NE(report.find("(cut: the first 65536 of " + std::to_string(hostile.size()) + " bytes)"), std::string::npos);
  EXPECT_EQ(services::printable(report), report) << "nothing in the report needs escaping any more";
  EXPECT_LT(report.size(), 300'000u);
  // The last 1000 log lines and no more.
  EXPECT_EQ(report.find("scripted line 199\n"), std::string::npos);
  EXPECT_NE(report.find("scripted line 1199\n"), std::string::npos);
  EXPECT_EQ(count(report.substr(report.find("== Log (last lines) ==")), "\n") - 1, 1000u);
}

// A data folder whose name is hostile: the report spells the name out and is still written there.
TEST(SupportReport, AHostileFolderNameIsSpelledOutAndTheReportStillWritten) {
  testsupport::TempFolder base("support_report_name");
#ifdef _WIN32
  const std::string name = "evil ;&$(x) %PATH% name";  // control characters are not file names here
#else
  const std::string name = "evil\x1B[31m\xFF\x07 name";
#endif
  const std::string folder = (base.path() / name).string();
  std::filesystem::create_directories(folder);
  services::SupportReportInputs inputs;
  inputs.settingsPath = folder + "/usersettings.json";
  testsupport::writeFile(inputs.settingsPath, "{}");
  inputs.logLines = {"a line with a bell \x07"};
  const std::string report = services::composeSupportReport(inputs);
  EXPECT_EQ(services::printable(report), report);
  EXPECT_NE(report.find(services::printable(inputs.settingsPath) + "\n{}\n"), std::string::npos);
  EXPECT_NE(report.find("a line with a bell \\x07\n"), std::string::npos);
  std::string error;
  const std::string written = services::writeSupportReport(folder, report, std::chrono::system_clock::now(), error);
  ASSERT_FALSE(written.empty()) << error;
  EXPECT_EQ(testsupport::readFile(written), report);
  // A second report in the same second gets a name of its own.
  const std::string again = services::writeSupportReport(folder, "2", std::chrono::system_clock::now(), error);
  EXPECT_NE(again, written);
}

}  // namespace

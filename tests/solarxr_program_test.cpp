// The SolarXR road end to end: solarxr_server leans the tracker "Chest" forward and
// then level; the headless program, on "SlimeVR (SolarXR)" with that tracker chosen,
// holds W down during the lean and releases it after.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(SolarXrProgram, ALeanFromTheFeedHoldsForwardAndLevelReleasesIt) {
  testsupport::TempFolder home{"solarxr_program"};
  ChildProcess server(STRIVO_SOLARXR_SERVER, {"--port", "0", "--seconds", "20", "--lean-seconds", "1.5"}, {},
                      home.path().string());
  ASSERT_TRUE(server.waitForOutput("listening on port ", 10s)) << server.errors();
  const std::string out = server.output();
  const std::string port = out.substr(out.find("port ") + 5, out.find('\n') - out.find("port ") - 5);

  std::filesystem::create_directories(home.path() / "config/StrivoVR");
  testsupport::writeFile(home.file("config/StrivoVR/usersettings.json"),
                         R"x({"mode": "Keyboard", "tracker_source": "SlimeVR (SolarXR)", "check_for_updates": false, )x"
                         R"x("slime_tracker_name": "Chest", "solarxr_port": )x" +
                             port + "}");
  ChildProcess program(STRIVO_KEYLOG_PROGRAM, {},
                       {{"XDG_CONFIG_HOME", home.file("config")}, {"XDG_RUNTIME_DIR", home.path().string()}},
                       home.path().string());
  ASSERT_TRUE(program.waitForOutput("[INFO ] SolarXR: Connected", 10s)) << program.output() << program.errors();
  EXPECT_TRUE(server.waitForOutput("request ok", 5s)) << server.output();
  ASSERT_TRUE(program.waitForOutput("[KeyInjector] down W", 10s)) << program.output();
  // Level after the lean: W (and the sprint modifier) come up while the program runs.
  ASSERT_TRUE(server.waitForOutput("level", 10s)) << server.output();
  bool released = false;
  for (int i = 0; i < 100 && !released; ++i) {
    const std::string keys = program.output();
    released = count(keys, "[KeyInjector] down W") == count(keys, "[KeyInjector] up W") &&
               count(keys, "[KeyInjector] down shift") == count(keys, "[KeyInjector] up shift");
    if (!released) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(released) << program.output();

  program.signal(SIGTERM);
  ASSERT_EQ(program.waitForExit(10s), 0) << program.errors();
  const std::string keys = program.output();
  EXPECT_EQ(count(keys, "[KeyInjector] down S"), 0u) << keys;
  EXPECT_EQ(count(keys, "SolarXR: Disconnected. Retrying..."), 0u) << keys;
  server.signal(SIGTERM);
}

}  // namespace

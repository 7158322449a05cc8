// The update check against a real HTTPS server on loopback: openssl's test server
// with a self-signed certificate that only this test trusts. Run through
// tests/https_update_check.sh, which starts the server and says where it is.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/system/update_check.h"

namespace services {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class UpdateOverHttps : public ::testing::Test {
 protected:
  void SetUp() override {
    replyFile_ = environment("STRIVO_UPDATE_REPLY_FILE");
    ASSERT_FALSE(replyFile_.empty()) << "run this test through tests/https_update_check.sh";
    server_ = {"localhost", std::atoi(environment("STRIVO_UPDATE_PORT").c_str()),
               readFile(environment("STRIVO_UPDATE_CERT"))};
    ASSERT_FALSE(server_.pinnedCertificatePem.empty());
  }
  // The whole reply, as a server with a known length sends it (the test server sends the file as it is).
  void serve(const std::string& body) {
    std::ofstream(replyFile_, std::ios::binary | std::ios::trunc)
        << "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\nContent-Length: " << body.size() << "\r\n\r\n"
        << body;
  }

  std::string replyFile_;
  UpdateServer server_;
};

TEST_F(UpdateOverHttps, EachReplyGivesItsLineAndOnlyANewerVersionIsFound) {
  struct Case {
    const char* body;
    const char* line;  // the last line written, to standard output or error
    bool found;
    const char* downloadUrl;
  } cases[] = {
      {R"({"version": "0.911", "download_url": "https://example.invalid/get"})",
       "[Update] New version available: 0.911\n", true, "https://example.invalid/get"},
      {R"({"version": "0.911"})", "[Update] New version available: 0.911\n", true, "https://localhost"},
      {R"({"version": "0.911", "download_url": "http://example.invalid/get"})",
       "[Update] The download address is not https; using https://localhost instead\n", true, "https://localhost"},
      {R"({"version": "0.910"})", "[Update] Already up to date (0.910)\n", false, ""},
      {R"({"version": "0.909", "extra": [1, 2]})", "[Update] Already up to date (0.910)\n", false, ""},
      {R"({"version": "0.9.10"})", "[Update] Already up to date (0.910)\n", false, ""},
      {"{}", "[Update] No version field in response\n", false, ""},
      {"", "[Update] Empty response\n", false, ""},
      {"[]", "[Update] Parse error: ", false, ""},
      {"a plain text reply", "[Update] Parse error: ", false, ""},
      {R"({"version": 911})", "[Update] Parse error: ", false, ""},
  };
  for (const Case& c : cases) {
    serve(c.body);
    std::ostringstream out, err;
    const auto found = checkForUpdates(server_, out, err);
    const std::string all = out.str() + err.str();
    EXPECT_EQ(all.rfind("[Update] Checking for updates...\n", 0), 0u) << c.body;
    EXPECT_NE(all.find(c.line), std::string::npos) << c.body << " gave: " << all;
    ASSERT_EQ(found.has_value(), c.found) << c.body;
    if (found) {
      EXPECT_EQ(found->downloadUrl, c.downloadUrl);
    }
  }
}

TEST_F(UpdateOverHttps, AServerWithAnotherCertificateIsNotBelieved) {
  serve(R"({"version": "9.0.0"})");
  UpdateServer impostor = server_;
  impostor.pinnedCertificatePem = readFile(environment("STRIVO_UPDATE_OTHER_CERT"));
  ASSERT_FALSE(impostor.pinnedCertificatePem.empty());
  std::ostringstream out, err;
  EXPECT_FALSE(checkForUpdates(impostor, out, err));
  EXPECT_EQ(err.str(), "[Update] Empty response\n");
}

TEST_F(UpdateOverHttps, ALaunchedCheckPublishesANewerVersionForTheWindow) {
  serve(R"({"version": "0.911", "download_url": "https://example.invalid/get"})");
  std::optional<UpdateFound> shown;
  {
    UpdateCheckLauncher launcher(server_);
    launcher.startUpdateCheck();
    for (int i = 0; i < 200 && !(shown = launcher.prompt().shown()); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->version, "0.911");
  EXPECT_EQ(shown->downloadUrl, "https://example.invalid/get");

  // A check still running when its launcher is gone (the program closing) is
  // cancelled and joined by the launcher's end: nothing is left to write to it.
  { UpdateCheckLauncher(server_).startUpdateCheck(); }
  std::this_thread::sleep_for(std::chrono::seconds(1));
}

}  // namespace
}  // namespace services

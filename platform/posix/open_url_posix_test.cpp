#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/open_url.h"
#include "testing/support/temp_folder.h"

namespace {

// Runs `body` with PATH set to `path`, restoring it afterwards.
template <class F>
void withPath(const std::string& path, F body) {
  const char* old = std::getenv("PATH");
  const std::string saved = old ? old : "";
  setenv("PATH", path.c_str(), 1);
  body();
  setenv("PATH", saved.c_str(), 1);
}

TEST(OpenUrlPosix, StartsXdgOpenWithTheAddressAsOneArgument) {
  testsupport::TempFolder folder("open_url");
  const std::string script = folder.file("xdg-open");
  const std::string record = folder.file("opened.txt");
  testsupport::writeFile(script, "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + record + "'\n");
  chmod(script.c_str(), 0755);
  const std::string url = "https://example.invalid/a b;echo hi";
  withPath(folder.path().string() + ":/usr/bin:/bin", [&] { EXPECT_GT(platform::openUrl(url), 32); });
  std::string opened;
  for (int i = 0; i < 100 && opened.empty(); ++i) {  // the grandchild runs on its own: wait up to 5 s
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    opened = testsupport::readFile(record);
  }
  EXPECT_EQ(opened, "1|" + url);
}

TEST(OpenUrlPosix, AMissingXdgOpenIsReportedAsFileNotFound) {
  testsupport::TempFolder folder("open_url_none");
  withPath(folder.path().string(), [&] { EXPECT_EQ(platform::openUrl("https://example.invalid"), 2); });
}

}  // namespace

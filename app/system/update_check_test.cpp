#include "app/system/update_check.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "testing/support/free_port.h"

namespace services {
namespace {

TEST(UpdateVersion, NumberAndComparisonWithTheCurrentVersion) {
  struct Case {
    const char* text;
    int number;
    bool newer;
  } cases[] = {
      {"0.910", 910000, false},  // the current version itself
      {"0.911", 911000, true},   // one step past it
      {"0.909", 909000, false},  // one step below it
      {"0.9.10", 9010, false},    {"1.0.0", 100000, false},
      {"10", 1000000, true},      {"", 0, false},
      {"v1.2", 0, false},         {"0.911beta", 911000, true},
      {"-1.0.0", -100000, false}, {"99999999999.0.0", INT_MAX, true},  // saturates, never wraps
  };
  for (const Case& c : cases) {
    EXPECT_EQ(versionNumber(c.text), c.number) << c.text;
    EXPECT_EQ(versionNumber(c.text) > versionNumber(kCurrentVersion), c.newer) << c.text;
  }
}

TEST(UpdateCheck, AnUnreachableServerIsAnEmptyResponse) {
  const UpdateServer server{"127.0.0.1", testsupport::freeUdpPort(), {}};
  std::ostringstream out, err;
  EXPECT_FALSE(checkForUpdates(server, out, err));
  EXPECT_EQ(out.str(), "[Update] Checking for updates...\n");
  EXPECT_EQ(err.str(), "[Update] Empty response\n");
}

TEST(UpdateCheck, APlaceholderHostIsNeverContacted) {
  const UpdateServer server{"updates.strivovr.invalid", 443, {}};
  std::ostringstream out, err;
  EXPECT_FALSE(checkForUpdates(server, out, err));
  EXPECT_EQ(out.str(), "[Update] Checking for updates...\n");
  EXPECT_EQ(err.str(), "[Update] No update server is set in this build (updates.strivovr.invalid)\n");
}

}  // namespace
}  // namespace services

#include "app/core/one_time_notice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "testing/support/temp_folder.h"

namespace {

TEST(OneTimeNotice, ShownOnceThenRememberedAndNothingForAnEmptyText) {
  testsupport::TempFolder folder("notice");
  std::ostringstream out;
  EXPECT_FALSE(core::showOnce(folder.path().string(), "marker", "", out));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "marker")) << "an empty notice must not use up the marker";

  EXPECT_TRUE(core::showOnce(folder.path().string(), "marker", "do this\n", out));
  EXPECT_FALSE(core::showOnce(folder.path().string(), "marker", "do this\n", out));
  EXPECT_EQ(out.str(), "do this\n");

  // A folder that cannot hold the marker: the notice is still shown, each time.
  const std::string missing = (folder.path() / "no" / "such").string();
  EXPECT_TRUE(core::showOnce(missing, "marker", "again\n", out));
  EXPECT_TRUE(core::showOnce(missing, "marker", "again\n", out));
  EXPECT_EQ(out.str(), "do this\nagain\nagain\n");
}

}  // namespace

#include "tools/phone_sim/phone_sim_options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace phonesim {
namespace {

TEST(PhoneSimOptions, DefaultsTalkToTheLocalProgramOnItsDefaultPort) {
  Options options;
  std::string error;
  ASSERT_TRUE(parseOptions({}, options, error));
  EXPECT_EQ(options.host, "127.0.0.1");
  EXPECT_EQ(options.port, 6969);
  EXPECT_EQ(options.rate, 100);
  EXPECT_EQ(options.lean.at(1.0), 0.0);
}

TEST(PhoneSimOptions, ParsesEveryFlagAndRejectsBadValues) {
  Options options;
  std::string error;
  ASSERT_TRUE(parseOptions(
      {"--host", "192.168.1.20", "--port", "7000",  "--rate", "50", "--seconds", "1.5", "--lean",       "0:0,1:30,2:0",
       "--side", "0:-10",        "--jump", "0.5,1", "--tap",  "3",  "--reset",   "1",   "--ping-every", "0",
       "--quiet"},
      options, error))
      << error;
  EXPECT_EQ(options.host, "192.168.1.20");
  EXPECT_EQ(options.port, 7000);
  EXPECT_EQ(options.rate, 50);
  EXPECT_EQ(options.seconds, 1.5);
  EXPECT_TRUE(options.accel);  // implied by --jump
  EXPECT_EQ(options.jumps, (std::vector<double>{0.5, 1}));
  EXPECT_EQ(options.taps, 3);
  EXPECT_EQ(options.resets, 1);
  EXPECT_EQ(options.pingEvery, 0);
  EXPECT_TRUE(options.quiet);
  EXPECT_EQ(options.side.at(5), -10);

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"--port"},
                                                                                   {"--port", "0"},
                                                                                   {"--port", "70000"},
                                                                                   {"--port", "12.5"},
                                                                                   {"--rate", "abc"},
                                                                                   {"--rate", "0"},
                                                                                   {"--lean", "1:"},
                                                                                   {"--lean", "x:1"},
                                                                                   {"--lean", ""},
                                                                                   {"--lean", "0:0,"},
                                                                                   {"--lean", "-1:5"},
                                                                                   {"--jump", "a"},
                                                                                   {"--seconds", "nan"},
                                                                                   {"--tap", "-1"},
                                                                                   {"--frobnicate"}}) {
    Options fresh;
    error.clear();
    EXPECT_FALSE(parseOptions(bad, fresh, error)) << bad.front();
    EXPECT_FALSE(error.empty());
  }
}

TEST(PhoneSimOptions, LeanScriptInterpolatesAndHoldsItsEnds) {
  Script script;
  std::string error;
  ASSERT_TRUE(script.parse("2:0,0:10,1:30", error));  // keyframes in any order
  EXPECT_EQ(script.at(-1), 10);
  EXPECT_EQ(script.at(0), 10);
  EXPECT_DOUBLE_EQ(script.at(0.5), 20);
  EXPECT_EQ(script.at(1), 30);
  EXPECT_DOUBLE_EQ(script.at(1.75), 7.5);
  EXPECT_EQ(script.at(9), 0);
}

TEST(PhoneSimOptions, OrientationIsALeanAboutYThenATurnAboutZ) {
  const auto still = orientation(0, 0);
  EXPECT_EQ(still, (std::array<float, 4>{0, 0, 0, 1}));
  const auto lean = orientation(30, 0);
  EXPECT_FLOAT_EQ(lean[1], static_cast<float>(std::sin(15 * std::numbers::pi / 180)));
  EXPECT_FLOAT_EQ(lean[3], static_cast<float>(std::cos(15 * std::numbers::pi / 180)));
  EXPECT_EQ(lean[0], 0);
  // Combined: a unit quaternion whose twist about Z is the side lean.
  const auto both = orientation(20, -40);
  const double norm = both[0] * both[0] + both[1] * both[1] + both[2] * both[2] + both[3] * both[3];
  EXPECT_NEAR(norm, 1.0, 1e-6);
  EXPECT_NEAR(2 * std::atan2(both[2], both[3]) * 180 / std::numbers::pi, -40, 1e-4);
}

}  // namespace
}  // namespace phonesim

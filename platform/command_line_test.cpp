#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace platform {
namespace {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CommandLine, ArgumentsArriveUnchangedWhateverTheyHoldAndTheExitCodeComesBack) {
  const std::string record = std::string(STRIVO_RECORD_ARGS_PROGRAM) + ".args";
  std::filesystem::remove(record);
  const std::vector<std::string> arguments = {
      "plain",    "with space", "\"quoted\"",    "trailing\\", "C:\\Program Files\\x\\",
      "a\\\"b",   "$(touch x)", "`id`; echo hi", "%PATH%",     "&|<>^",
      "'single'", "",           "tab\there",
  };
  EXPECT_EQ(runAndWait({STRIVO_RECORD_ARGS_PROGRAM, arguments}), 7);
  std::string expected;
  for (const std::string& argument : arguments) expected += argument + "\n";
  EXPECT_EQ(readFile(record), expected);
  EXPECT_FALSE(std::filesystem::exists("x"));
}

TEST(CommandLine, AMissingProgramIsMinusOneAndIsNotFound) {
  EXPECT_EQ(runAndWait({"strivo-no-such-program", {"x"}}), -1);
  EXPECT_FALSE(programExists("strivo-no-such-program"));
  EXPECT_FALSE(programExists(""));
  EXPECT_TRUE(programExists(STRIVO_RECORD_ARGS_PROGRAM));
}

TEST(CommandLine, TheInterpreterRunsALineAndReportsItsExitCode) {
  EXPECT_EQ(runInterpreterLine("exit 3"), 3);
  EXPECT_EQ(runInterpreterLine("exit 0"), 0);
}

}  // namespace
}  // namespace platform

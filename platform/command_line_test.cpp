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
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "strivo command line";
  std::filesystem::create_directories(folder);
  const std::string record = (folder / "args.txt").string();
  const std::vector<std::string> arguments = {
      record,   "plain",      "with space",    "\"quoted\"", "trailing\\", "C:\\Program Files\\x\\",
      "a\\\"b", "$(touch x)", "`id`; echo hi", "%PATH%",     "&|<>^",      "'single'",
      "",       "tab\there",
  };
  EXPECT_EQ(runAndWait({STRIVO_RECORD_ARGS_PROGRAM, arguments}), 7);
  std::string expected;
  for (size_t i = 1; i < arguments.size(); ++i) expected += arguments[i] + "\n";
  EXPECT_EQ(readFile(record), expected);
  EXPECT_FALSE(std::filesystem::exists(folder / "x"));
  std::filesystem::remove_all(folder);
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

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

TEST(CommandLine, ArgumentsAndVariablesArriveUnchangedWhateverTheyHoldAndTheExitCodeComesBack) {
  const std::string record = std::string(STRIVO_RECORD_ARGS_PROGRAM) + ".args";
  const std::string variable = std::string(STRIVO_RECORD_ARGS_PROGRAM) + ".env";
  std::filesystem::remove(record);
  std::filesystem::remove(variable);
  const std::vector<std::string> arguments = {
      "plain",
      "with space",
      "\"quoted\"",
      "trailing\\",
      "C:\\Program Files\\x\\",
      "a\\\"b",
      "$(touch x)",
      "`id`; echo hi",
      "%PATH%",
      "&|<>^",
      "'single'",
      "",
      "tab\there",
      "R&D x&mkdir INJECTED&y",
      "^caret^ %% ^&",
      "Caf\xC3\xA9",
      "\xE2\x80\x98"
      "curly\xE2\x80\x99 \xE2\x80\x9C"
      "quotes\xE2\x80\x9D",
      "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xAE",
  };
  const std::string path = "C:\\O'Neil \xE2\x80\x99 \"x\" & %PATH% ^\\Caf\xC3\xA9\\StrivoVR.exe";
  EXPECT_EQ(runAndWait({STRIVO_RECORD_ARGS_PROGRAM, arguments, {{"STRIVOVR_APP_PATH", path}}}), 7);
  std::string expected;
  for (const std::string& argument : arguments) expected += argument + "\n";
  EXPECT_EQ(readFile(record), expected);
  EXPECT_EQ(readFile(variable), path);
  EXPECT_FALSE(std::filesystem::exists("x"));
  EXPECT_FALSE(std::filesystem::exists("INJECTED"));
}

TEST(CommandLine, AMissingProgramIsMinusOneAndIsNotFound) {
  EXPECT_EQ(runAndWait({"strivo-no-such-program", {"x"}}), -1);
  EXPECT_FALSE(programExists("strivo-no-such-program"));
  EXPECT_FALSE(programExists(""));
  EXPECT_TRUE(programExists(STRIVO_RECORD_ARGS_PROGRAM));
}

TEST(CommandLine, SystemToolsAreNeverLookedForOnTheSearchPath) {
  EXPECT_TRUE(systemProgram("strivo-no-such-tool").empty());
  EXPECT_TRUE(systemProgram("").empty());
}

}  // namespace
}  // namespace platform

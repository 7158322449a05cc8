#pragma once

#include <string>
#include <vector>

namespace platform {

// A program and its arguments, run without a command interpreter: no argument is
// split, expanded or interpreted, whatever characters it holds.
struct CommandLine {
  std::string program;  // a path, or a name looked up on the search path
  std::vector<std::string> arguments;
};

// Runs the program and waits for it. Returns its exit code, or -1 when it could
// not be started.
int runAndWait(const CommandLine& command);

// Hands one line of text to the platform's command interpreter (cmd.exe on
// Windows, /bin/sh on Linux) and waits. Returns the exit code, or -1 when the
// interpreter could not be started. Only for texts built from trusted pieces.
int runInterpreterLine(const std::string& text);

// True when `program` names an executable: a path, or a name on the search path.
bool programExists(const std::string& program);

}  // namespace platform

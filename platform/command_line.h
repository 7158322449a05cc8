#pragma once

#include <string>
#include <utility>
#include <vector>

namespace platform {

// A program and its arguments, run without a command interpreter: no argument is
// split, expanded or interpreted, whatever characters it holds. Texts are UTF-8.
struct CommandLine {
  std::string program;  // a path, or a name looked up on the search path
  std::vector<std::string> arguments;
  // Variables added to the program's environment (a way to hand over a text that
  // the program's own parser must never see).
  std::vector<std::pair<std::string, std::string>> environment = {};
};

// Runs the program and waits for it. Returns its exit code, or -1 when it could
// not be started.
int runAndWait(const CommandLine& command);

// True when `program` names an executable: a path, or a name on the search path.
bool programExists(const std::string& program);

// The full path of a tool of the operating system, never searched for on the
// search path or in the working folder. Windows: the system folder
// (GetSystemDirectoryW) + `relativePath` + ".exe", e.g. "netsh" or
// "WindowsPowerShell\v1.0\powershell". Linux: the first of /usr/sbin, /usr/bin,
// /sbin, /bin holding it. Empty when the system folder is unknown or holds nothing
// by that name.
std::string systemProgram(const std::string& relativePath);

// This program's own arguments, without its name, as UTF-8 (Windows: from the wide
// command line, which keeps what the ANSI code page cannot hold).
std::vector<std::string> programArguments(int argc, char** argv);

// A variable of this program's environment as UTF-8; empty when not set.
std::string environmentValue(const std::string& name);

}  // namespace platform

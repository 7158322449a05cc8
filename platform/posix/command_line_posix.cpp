#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/command_line.h"

extern char** environ;

namespace platform {
namespace {

int waitForExit(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

int spawnAndWait(const std::string& program, std::vector<std::string> arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return waitForExit(child);
}

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

int runAndWait(const CommandLine& command) {
  if (command.program.empty()) return -1;
  // posix_spawnp reports a missing program either at once or as exit code 127
  // from the child, depending on the C library: check first so both read -1.
  if (!programExists(command.program)) return -1;
  return spawnAndWait(command.program, command.arguments);
}

int runInterpreterLine(const std::string& text) { return spawnAndWait("/bin/sh", {"-c", text}); }

bool programExists(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return isExecutableFile(program);
  const char* path = std::getenv("PATH");
  std::string_view folders = path ? path : "/usr/bin:/bin";
  while (!folders.empty()) {
    const size_t colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    if (!folder.empty() && isExecutableFile(std::string(folder) + "/" + program)) return true;
    if (colon == std::string_view::npos) break;
    folders.remove_prefix(colon + 1);
  }
  return false;
}

}  // namespace platform

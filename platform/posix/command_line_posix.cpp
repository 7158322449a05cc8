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

// This process's environment with the command's variables put in, replacing any of the same name.
std::vector<std::string> environmentWith(const CommandLine& command) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry && *entry; ++entry) {
    const std::string_view text = *entry;
    bool replaced = false;
    for (const auto& [name, value] : command.environment)
      replaced =
          replaced || (text.size() > name.size() && text.substr(0, name.size()) == name && text[name.size()] == '=');
    if (!replaced) entries.emplace_back(text);
  }
  for (const auto& [name, value] : command.environment) entries.push_back(name + "=" + value);
  return entries;
}

int spawnAndWait(const CommandLine& command) {
  std::vector<std::string> arguments = command.arguments;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(command.program.c_str()));
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment;
  std::vector<char*> envp;
  if (!command.environment.empty()) {
    environment = environmentWith(command);
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
  }
  pid_t child = 0;
  if (posix_spawnp(&child, command.program.c_str(), nullptr, nullptr, argv.data(),
                   envp.empty() ? environ : envp.data()) != 0)
    return -1;
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
  return spawnAndWait(command);
}

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

std::vector<std::string> programArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

std::string environmentValue(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? value : "";
}

std::string systemProgram(const std::string& relativePath) {
  if (relativePath.empty() || relativePath.find("..") != std::string::npos) return {};
  for (const char* folder : {"/usr/sbin/", "/usr/bin/", "/sbin/", "/bin/"})
    if (isExecutableFile(folder + relativePath)) return folder + relativePath;
  return {};
}

}  // namespace platform

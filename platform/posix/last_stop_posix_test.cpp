#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include "platform/last_stop_test_child.h"

namespace laststoptest {

std::vector<CrashRow> crashRows() {
  return {{"fault", {true, SIGSEGV}},
          {"abort", {true, SIGABRT}},
          {"raise:" + std::to_string(SIGBUS), {true, SIGBUS}},
          {"raise:" + std::to_string(SIGILL), {true, SIGILL}},
          {"raise:" + std::to_string(SIGFPE), {true, SIGFPE}}};
}

void crash(const std::string& kind) {
  if (kind == "fault") {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
  } else if (kind == "abort") {
    std::abort();
  } else if (kind.rfind("raise:", 0) == 0) {
    std::raise(std::atoi(kind.c_str() + 6));
  }
}

Death runChild(const std::string& spec) {
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    crashAsChild(spec);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return {false, -1};
  if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
  return {false, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace laststoptest

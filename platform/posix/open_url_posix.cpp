#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/open_url.h"

namespace platform {

long openUrl(const std::string& url) {
  // xdg-open may keep running as long as the browser does, so it is started in
  // a grandchild that init adopts: nothing is left to reap. A close-on-exec pipe
  // carries the error number back when the start fails.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return 0;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return 0;
  }
  if (child == 0) {
    close(report[0]);
    if (fork() == 0) {
      char program[] = "xdg-open";
      char* argv[] = {program, const_cast<char*>(url.c_str()), nullptr};
      const int devnull = open("/dev/null", O_RDWR);
      if (devnull >= 0) {
        dup2(devnull, 0);
        dup2(devnull, 1);
      }
      execvp(program, argv);
      const int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    }
    _exit(0);
  }
  close(report[1]);
  waitpid(child, nullptr, 0);
  int error = 0;
  const ssize_t got = read(report[0], &error, sizeof error);
  close(report[0]);
  if (got != static_cast<ssize_t>(sizeof error)) return 42;  // exec succeeded: the pipe closed empty
  return error > 0 && error <= 32 ? error : 0;
}

}  // namespace platform

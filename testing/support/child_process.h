#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// A program started by a test with its standard output and error captured
// (POSIX only). The destructor kills and reaps a child that is still running.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::map<std::string, std::string>& extraEnvironment, const std::string& workingDirectory);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // Sends a signal (SIGTERM, SIGINT, ...).
  void signal(int number);
  // Waits up to `timeout` for the child to exit; returns its exit code, or -1 on
  // time-out, or 128 + signal when a signal ended it.
  int waitForExit(std::chrono::milliseconds timeout);
  // Waits until the captured standard output contains `text`.
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);

  std::string output();
  std::string errors();

 private:
  void drain(int waitMilliseconds);

  int pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  int exitCode_ = -1;
  std::string out_;
  std::string err_;
};

// The folder of the built programs (passed to tests by CTest as STRIVO_DIST_DIR).
std::string distFolder();

}  // namespace testsupport

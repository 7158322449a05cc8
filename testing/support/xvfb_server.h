#pragma once

#include <memory>
#include <string>

namespace testsupport {

class ChildProcess;

// A private Xvfb server for one test (POSIX). The server picks a free display
// number itself (-displayfd), so suites running at once never collide.
class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool running() const { return !display_.empty(); }
  // ":N" once running.
  const std::string& display() const { return display_; }
  // Why the server is not running (Xvfb missing, did not start).
  const std::string& problem() const { return problem_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  std::string display_;
  std::string problem_;
};

// A second X connection that looks at the keyboard state with XQueryKeymap.
class XKeyboardObserver {
 public:
  explicit XKeyboardObserver(const std::string& display);
  ~XKeyboardObserver();
  XKeyboardObserver(const XKeyboardObserver&) = delete;
  XKeyboardObserver& operator=(const XKeyboardObserver&) = delete;

  bool connected() const { return display_ != nullptr; }
  // Whether the key that types `keysym` is down now.
  bool isDown(unsigned long keysym);
  // How many keys are down now.
  int keysDown();

 private:
  void* display_ = nullptr;
};

}  // namespace testsupport

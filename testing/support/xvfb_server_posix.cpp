#include <X11/Xlib.h>
#include <signal.h>

#include <bitset>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "testing/support/child_process.h"
#include "testing/support/xvfb_server.h"

namespace testsupport {

namespace {

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / name;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
  }
  return "";
}

}  // namespace

XvfbServer::XvfbServer() {
  using namespace std::chrono_literals;
  const std::string program = findProgram("Xvfb");
  if (program.empty()) {
    problem_ = "Xvfb is not installed (Debian package xvfb)";
    return;
  }
  // -displayfd 1: the server chooses a free display and writes its number to
  // standard output once it accepts connections.
  process_ = std::make_unique<ChildProcess>(
      program, std::vector<std::string>{"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"},
      std::map<std::string, std::string>{}, "");
  if (!process_->started() || !process_->waitForOutput("\n", 10s)) {
    problem_ = "Xvfb did not start: " + process_->errors();
    return;
  }
  std::string number = process_->output();
  number = number.substr(0, number.find('\n'));
  display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
  using namespace std::chrono_literals;
  if (process_ && process_->started()) {
    process_->signal(SIGTERM);
    process_->waitForExit(5s);
  }
}

XKeyboardObserver::XKeyboardObserver(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}

XKeyboardObserver::~XKeyboardObserver() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
}

bool XKeyboardObserver::isDown(unsigned long keysym) {
  auto* display = static_cast<Display*>(display_);
  const KeyCode code = XKeysymToKeycode(display, keysym);
  char keys[32];
  XQueryKeymap(display, keys);
  return code != 0 && (keys[code / 8] >> (code % 8)) & 1;
}

int XKeyboardObserver::keysDown() {
  char keys[32];
  XQueryKeymap(static_cast<Display*>(display_), keys);
  int count = 0;
  for (char byte : keys) count += static_cast<int>(std::bitset<8>(static_cast<unsigned char>(byte)).count());
  return count;
}

}  // namespace testsupport

#pragma once

// What every road of the acceptance suite shares: strivovr-headless from the unpacked
// Linux package, started from its own folder with a temporary home, the phone
// simulator, and VRChat's OSC input as an independent decoder (liblo's oscdump) hears it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testing/support/child_process.h"
#include "testing/support/temp_folder.h"

namespace e2e {

using namespace std::chrono_literals;
using testsupport::ChildProcess;

// The unpacked package (STRIVO_PACKAGE_DIR), and a path inside it.
std::string packageFolder();
std::string packaged(const std::string& relative);
// A stand-in built beside the tests (phone_sim), from STRIVO_DIST_DIR.
std::string standIn(const std::string& name);

// A user's home with nothing in it but what the test puts there.
class UserHome {
 public:
  UserHome();
  const std::filesystem::path& path() const { return folder_.path(); }
  std::string file(const std::string& relative) const { return folder_.file(relative); }
  std::string settingsPath() const { return file(".config/StrivoVR/usersettings.json"); }
  // Writes the settings file from these JSON members (no braces); the update check is
  // always off, since the suite never leaves the machine.
  void writeSettings(const std::string& members) const;
  // HOME, the XDG folders inside it, and no display.
  std::map<std::string, std::string> environment() const;

 private:
  testsupport::TempFolder folder_{"e2e_home"};
};

// strivovr-headless from the package, started as a user starts it (in the home folder). The constructor
// waits for "[Main] Logic initialized."; check started() before using it.
class PackagedProgram {
 public:
  explicit PackagedProgram(const UserHome& home, const std::map<std::string, std::string>& extraEnvironment = {});
  bool started() const { return started_; }
  bool waitFor(const std::string& text, std::chrono::milliseconds timeout = 5s) {
    return process_.waitForOutput(text, timeout);
  }
  // Everything it printed so far, standard output then standard error.
  std::string log() { return process_.output() + process_.errors(); }
  std::string output() { return process_.output(); }
  // SIGTERM; its exit code (-1 when it did not end within 10 s).
  int stop();

 private:
  ChildProcess process_;
  bool started_ = false;
};

// Registers the package's OpenXR layer for this user with the package's LayerSetup
// (into $XDG_DATA_HOME); "" on success, else what LayerSetup printed.
std::string registerPackagedLayer(const UserHome& home);

// Removes the OpenXR records an earlier, crashed run left behind, only on its first call
// in this process: the layer stays loaded in the suite's process once a game has run and
// keeps the records it mapped, so removing their names later would cut every later game
// off from the program.
void forgetStaleOpenXrRecords();

// SteamVR as a user has it installed: the path registry in the home names a runtime
// folder holding the client library, here the fake one playing `script` (its format
// is in testing/fake_openvr_api/fake_openvr_control.h). Returns the script's path,
// the program's FAKE_OPENVR_SCRIPT.
std::string installSteamVr(const UserHome& home, const std::string& script);

// phone_sim sending to `port`; `arguments` are its road (--lean, --jump, --tap, ...).
std::unique_ptr<ChildProcess> startPhone(int port, std::vector<std::string> arguments);
// The same, waited for; its exit code (-1 on time-out).
int runPhone(int port, std::vector<std::string> arguments);

// One OSC message as VRChat received it.
struct OscValue {
  std::string address;
  double value = 0;
};

// VRChat listening on its OSC input port, played by oscdump.
class VrchatListener {
 public:
  VrchatListener();
  bool listening() const { return port_ != 0 && dump_ && dump_->started(); }
  int port() const { return port_; }
  std::vector<OscValue> received();
  // The last value sent to `address`, or `never` when nothing was.
  double last(const std::string& address, double never = -9);
  // Waits until a message at index `from` or later satisfies `match`.
  bool waitFor(const std::function<bool(const OscValue&)>& match, std::chrono::milliseconds timeout = 8s,
               std::size_t from = 0);
  // Waits until the last value at `address` satisfies `condition`.
  bool waitForLast(const std::string& address, const std::function<bool(double)>& condition,
                   std::chrono::milliseconds timeout = 8s);

 private:
  int port_ = 0;
  std::unique_ptr<ChildProcess> dump_;
};

// Polls `condition` every 10 ms until it holds or `timeout` passes.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// How often `part` occurs in `text`.
std::size_t countOf(const std::string& text, const std::string& part);

}  // namespace e2e

#include "tests/e2e/e2e_support.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "common/xr/shared_records.h"
#include "platform/shared_memory.h"
#include "testing/support/free_port.h"

namespace e2e {

std::string packageFolder() {
  const char* folder = std::getenv("STRIVO_PACKAGE_DIR");
  return folder ? folder : "";
}

std::string packaged(const std::string& relative) { return packageFolder() + "/" + relative; }

std::string standIn(const std::string& name) { return testsupport::distFolder() + "/" + name; }

UserHome::UserHome() { std::filesystem::create_directories(path() / ".config/StrivoVR"); }

void UserHome::writeSettings(const std::string& members) const {
  testsupport::writeFile(settingsPath(),
                         "{\"check_for_updates\": false" + (members.empty() ? "" : ", " + members) + "}");
}

std::map<std::string, std::string> UserHome::environment() const {
  return {{"HOME", path().string()},
          {"XDG_CONFIG_HOME", file(".config")},
          {"XDG_DATA_HOME", file(".local/share")},
          {"XDG_RUNTIME_DIR", path().string()},
          {"DISPLAY", ""},
          {"WAYLAND_DISPLAY", ""}};
}

namespace {
std::map<std::string, std::string> merged(std::map<std::string, std::string> base,
                                          const std::map<std::string, std::string>& extra) {
  for (const auto& [key, value] : extra) base[key] = value;
  return base;
}
}  // namespace

PackagedProgram::PackagedProgram(const UserHome& home, const std::map<std::string, std::string>& extraEnvironment)
    // Started in the user's home, as a menu entry does: the program finds its files in its own folder.
    : process_(packaged("strivovr-headless"), {}, merged(home.environment(), extraEnvironment), home.path().string()) {
  started_ = process_.started() && process_.waitForOutput("[Main] Logic initialized.", 10s);
}

int PackagedProgram::stop() {
  process_.signal(SIGTERM);
  return process_.waitForExit(10s);
}

std::string registerPackagedLayer(const UserHome& home) {
  // LayerSetup waits a few seconds before it exits, for users who started it by a
  // double click; its verdict line is enough here.
  ChildProcess setup(packaged("LayerSetup"), {}, home.environment(), packageFolder());
  if (setup.waitForOutput("[SUCCESS]", 10s)) return "";
  return setup.output() + setup.errors();
}

void forgetStaleOpenXrRecords() {
  static const bool forgotten = [] {
    const auto forget = [] {
      platform::SharedMemory::removeName(xrshm::kInputRecordName);
      platform::SharedMemory::removeName(xrshm::kStateRecordName);
    };
    forget();
    std::atexit(forget);  // nothing of the suite's is left in /dev/shm
    return true;
  }();
  (void)forgotten;
}

std::string installSteamVr(const UserHome& home, const std::string& script) {
  std::filesystem::create_directories(home.path() / ".config/openvr");
  std::filesystem::create_directories(home.path() / "SteamVR/bin/linux64");
  std::filesystem::create_symlink(STRIVO_FAKE_OPENVR_API, home.path() / "SteamVR/bin/linux64/libopenvr_api.so");
  testsupport::writeFile(home.file(".config/openvr/openvrpaths.vrpath"),
                         R"({"jsonid": "vrpathreg", "runtime": [")" + home.file("SteamVR") + R"("], "version": 1})");
  testsupport::writeFile(home.file("steamvr_script.txt"), script);
  return home.file("steamvr_script.txt");
}

std::unique_ptr<ChildProcess> startPhone(int port, std::vector<std::string> arguments) {
  arguments.insert(arguments.end(), {"--port", std::to_string(port), "--quiet"});
  return std::make_unique<ChildProcess>(standIn("phone_sim"), arguments, std::map<std::string, std::string>{}, "");
}

int runPhone(int port, std::vector<std::string> arguments) {
  return startPhone(port, std::move(arguments))->waitForExit(30s);
}

VrchatListener::VrchatListener() : port_(testsupport::freeUdpPort()) {
  if (port_ == 0) return;
  dump_ = std::make_unique<ChildProcess>("/usr/bin/oscdump", std::vector<std::string>{"-L", std::to_string(port_)},
                                         std::map<std::string, std::string>{}, "");
}

std::vector<OscValue> VrchatListener::received() {
  // oscdump prints "<time tag> /input/Vertical f 0.500000" (-L: line by line).
  std::vector<OscValue> values;
  if (!dump_) return values;
  std::istringstream lines(dump_->output());
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string stamp, address, type;
    OscValue value;
    if (fields >> stamp >> value.address >> type >> value.value) values.push_back(value);
  }
  return values;
}

double VrchatListener::last(const std::string& address, double never) {
  double value = never;
  for (const OscValue& message : received())
    if (message.address == address) value = message.value;
  return value;
}

bool VrchatListener::waitFor(const std::function<bool(const OscValue&)>& match, std::chrono::milliseconds timeout,
                             std::size_t from) {
  return eventually(
      [&] {
        const auto all = received();
        for (std::size_t i = from; i < all.size(); ++i)
          if (match(all[i])) return true;
        return false;
      },
      timeout);
}

bool VrchatListener::waitForLast(const std::string& address, const std::function<bool(double)>& condition,
                                 std::chrono::milliseconds timeout) {
  return eventually([&] { return condition(last(address)); }, timeout);
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::size_t countOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

}  // namespace e2e

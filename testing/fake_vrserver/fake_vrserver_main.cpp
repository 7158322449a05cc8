// fake_vrserver: runs the SteamVR driver without SteamVR. It loads the driver library,
// gives it a left and a right controller of "another driver" (thumbstick, joystick
// and click buttons, real values at rest), runs frames at 90 Hz and prints every
// value that reaches the input methods whenever it changes. Try it with hook_send.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "testing/fake_vrserver/fake_vrserver.h"

int main(int argc, char** argv) {
  std::string driver = fakevr::builtDriverPath();
  double seconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--driver") == 0) {
      driver = argv[i + 1];
    } else if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::atof(argv[i + 1]);
    } else {
      std::fprintf(stderr, "usage: fake_vrserver [--driver PATH] [--seconds N]\n");
      return 2;
    }
  }
  if (!(seconds > 0 && seconds <= 86400)) seconds = 10;

  fakevr::FakeVrServer server;
  std::string error;
  if (!server.loadDriver(driver, error)) {
    std::fprintf(stderr, "fake_vrserver: cannot load %s: %s\n", driver.c_str(), error.c_str());
    return 1;
  }
  const vr::EVRInitError init = server.init();
  std::printf("fake_vrserver: loaded %s, Init returned %d\n", driver.c_str(), static_cast<int>(init));
  if (init != vr::VRInitError_None) return 1;
  struct Watched {
    const char* hand;
    fakevr::FakeController* controller;
    const char* path;
  };
  auto& left =
      server.addController(1, "FAKE-LEFT", {"/input/thumbstick/x", "/input/thumbstick/y"},
                           {"/input/a/click", "/input/b/click", "/input/trigger/click", "/input/thumbstick/click"});
  auto& right =
      server.addController(2, "FAKE-RIGHT", {"/input/joystick/x", "/input/joystick/y"},
                           {"/input/a/click", "/input/b/click", "/input/trigger/click", "/input/joystick/click"});
  const Watched watched[] = {
      {"L", &left, "/input/thumbstick/x"},   {"L", &left, "/input/thumbstick/y"},
      {"L", &left, "/input/a/click"},        {"L", &left, "/input/b/click"},
      {"L", &left, "/input/trigger/click"},  {"L", &left, "/input/thumbstick/click"},
      {"R", &right, "/input/joystick/x"},    {"R", &right, "/input/joystick/y"},
      {"R", &right, "/input/a/click"},       {"R", &right, "/input/b/click"},
      {"R", &right, "/input/trigger/click"}, {"R", &right, "/input/joystick/click"},
  };
  std::printf("fake_vrserver: controllers FAKE-LEFT (left) and FAKE-RIGHT (right) ready; running at 90 Hz\n");
  std::fflush(stdout);

  std::map<std::string, float> shown;
  server.start();
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (const Watched& w : watched) {
      const auto component = server.realInput().component(w.controller->handle(w.path));
      const float value = component.isBoolean ? (component.boolean ? 1.0f : 0.0f) : component.scalar;
      const std::string key = std::string(w.hand) + w.path;
      const auto it = shown.find(key);
      if (it != shown.end() && it->second == value) continue;
      shown[key] = value;
      const long ms = static_cast<long>(
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
      std::printf("%7ld ms  frame %6llu  %s %-24s %.4f\n", ms, static_cast<unsigned long long>(server.frames()), w.hand,
                  w.path, value);
    }
    std::fflush(stdout);
  }
  server.cleanup();
  std::printf("fake_vrserver: %llu frames, clean-up done\n", static_cast<unsigned long long>(server.frames()));
  return 0;
}

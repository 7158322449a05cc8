// solarxr_server: the SlimeVR server's SolarXR feed on 127.0.0.1, for whole-program
// tests (also of the Windows build under Wine). Checks each client's request, then
// sends one tracker leaning forward for a while and level after that.
//
//   solarxr_server [--port P] [--tracker NAME] [--lean DEGREES] [--lean-seconds S]
//                  [--seconds S] [--rate HZ] [--quiet-seconds S] [--silent]
//
// Prints "listening on port N", "request ok" or "request bad: <why>" per client,
// "level" when a client's lean ends, and "sent N updates" at the end. --quiet-seconds waits that long after a request
// before sending; --silent sends nothing at all.
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "testing/solarxr_server/feed_builder.h"
#include "testing/solarxr_server/request_check.h"
#include "testing/solarxr_server/solarxr_test_server.h"

namespace {

using namespace std::chrono;
using namespace testsupport::solarxr;

struct Options {
  int port = 0;
  std::string tracker = "Chest";
  float lean = 30.0f;
  double leanSeconds = 1.0;
  double seconds = 3.0;
  double rate = 100.0;
  double quietSeconds = 0.0;
  bool silent = false;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--silent") {
      o.silent = true;
      continue;
    }
    if (!value) return false;
    ++i;
    if (arg == "--port")
      o.port = std::atoi(value);
    else if (arg == "--tracker")
      o.tracker = value;
    else if (arg == "--lean")
      o.lean = std::strtof(value, nullptr);
    else if (arg == "--lean-seconds")
      o.leanSeconds = std::strtod(value, nullptr);
    else if (arg == "--seconds")
      o.seconds = std::strtod(value, nullptr);
    else if (arg == "--rate")
      o.rate = std::strtod(value, nullptr);
    else if (arg == "--quiet-seconds")
      o.quietSeconds = std::strtod(value, nullptr);
    else
      return false;
  }
  return o.port >= 0 && o.port <= 65535 && o.rate > 0 && o.rate <= 1000 && o.seconds > 0 && o.seconds <= 600;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::cerr << "usage: solarxr_server [--port P] [--tracker NAME] [--lean DEGREES] [--lean-seconds S]"
                 " [--seconds S] [--rate HZ] [--quiet-seconds S] [--silent]\n";
    return 2;
  }
  SolarXrTestServer server(static_cast<std::uint16_t>(o.port));
  if (!server.listening()) {
    std::cerr << "cannot listen on port " << o.port << "\n";
    return 1;
  }
  std::cout << "listening on port " << server.port() << std::endl;

  const auto end = steady_clock::now() + duration<double>(o.seconds);
  const auto period = duration_cast<steady_clock::duration>(duration<double>(1.0 / o.rate));
  std::size_t messagesSeen = 0;
  int sent = 0;
  bool streaming = false;
  bool levelled = false;
  steady_clock::time_point leanEnd;
  auto next = steady_clock::now();
  while (steady_clock::now() < end) {
    // A new client's first message is its request.
    if (const auto message = server.waitForMessage(messagesSeen, streaming ? 0ms : 50ms)) {
      ++messagesSeen;
      const std::string problem = checkStartDataFeed(*message);
      std::cout << (problem.empty() ? "request ok" : "request bad: " + problem) << std::endl;
      streaming = problem.empty() && !o.silent;
      next = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(o.quietSeconds));
      leanEnd = next + duration_cast<steady_clock::duration>(duration<double>(o.leanSeconds));
      std::this_thread::sleep_until(next);
    }
    if (!streaming) continue;
    const bool leaning = steady_clock::now() < leanEnd;
    if (!leaning && !levelled) std::cout << "level" << std::endl;
    levelled = !leaning;
    const float degrees = leaning ? o.lean : 0.0f;
    if (server.send(buildUpdate({{FakeTracker().display(o.tracker).rotated(pitchQuaternion(degrees))}}))) ++sent;
    next += period;
    std::this_thread::sleep_until(next);
  }
  std::cout << "sent " << sent << " updates" << std::endl;
  return 0;
}

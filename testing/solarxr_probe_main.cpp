// solarxr_probe PORT COUNT: runs the SolarXR client against 127.0.0.1:PORT until it
// is connected and has delivered COUNT rotations (or 20 s pass), then disconnects.
// Prints each status ("status: ..."), the first rotations ("rotation NAME b a heading"),
// "rotations N" and "disconnect took N ms". Exit 0 when COUNT rotations arrived.
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>

#include "app/tracking/retry_timer.h"
#include "app/tracking/solarxr_client.h"
#include "platform/network.h"

int main(int argc, char** argv) {
  using namespace std::chrono;
  if (argc != 3) {
    std::cerr << "usage: solarxr_probe PORT COUNT\n";
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int wanted = std::atoi(argv[2]);
  platform::startNetworking();

  std::mutex mutex;
  std::condition_variable changed;
  int rotations = 0;
  tracking::SteadyRetryTimer timer;
  tracking::SolarXRClient client(timer);
  client.set_status_callback([&](std::string_view text) {
    std::lock_guard lock(mutex);
    std::cout << "status: " << text << std::endl;
  });
  client.set_rotation_callback([&](std::string_view name, float b, float a, float heading) {
    {
      std::lock_guard lock(mutex);
      if (++rotations <= 3)
        std::cout << "rotation " << name << " " << std::lround(b) << " " << std::lround(a) << " "
                  << std::lround(heading) << std::endl;
    }
    changed.notify_all();
  });

  client.connect("127.0.0.1", port);
  {
    const auto deadline = steady_clock::now() + 20s;
    std::unique_lock lock(mutex);
    while (steady_clock::now() < deadline && !(rotations >= wanted && client.connected()))
      changed.wait_for(lock, 100ms);
  }
  const auto start = steady_clock::now();
  client.disconnect();
  const auto took = duration_cast<milliseconds>(steady_clock::now() - start).count();
  std::lock_guard lock(mutex);
  std::cout << "rotations " << rotations << "\n"
            << "disconnect took " << took << " ms\n"
            << "final status: " << client.status() << std::endl;
  return rotations >= wanted ? 0 : 1;
}

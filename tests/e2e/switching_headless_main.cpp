// strivovr-headless with one addition for the acceptance suite: SIGUSR1 switches the
// output mode to STRIVO_SWITCH_MODE the way the window's Output Mode list does (the
// setting changes, then the output service follows it), so the suite can switch
// outputs while the player walks.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "app/application.h"
#include "platform/termination.h"

int main() {
  platform::installTerminationHandler();  // before any thread starts, so all inherit it
  sigset_t switchSignal;
  sigemptyset(&switchSignal);
  sigaddset(&switchSignal, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &switchSignal, nullptr);  // only the switcher below takes it

  const char* target = std::getenv("STRIVO_SWITCH_MODE");
  Application application;
  std::atomic<bool> stopping{false};
  std::thread switcher([&] {
    for (int number = 0; sigwait(&switchSignal, &number) == 0 && !stopping;) {
      if (!target) continue;
      // The change is published as the window publishes it; the output service follows its notice.
      if (const auto mode = core::parseChoice<core::OutputMode>(target))
        application.settings().config.edit([&](core::Config& config) { config.outputs.mode = *mode; });
      application.settings().config.flush();
      std::cout << "[Switch] Output mode is now " << target << std::endl;
    }
  });
  const int code = application.run([&] {
    platform::waitForTermination();
    stopping = true;  // no switch once shutdown begins
    return 0;
  });
  pthread_kill(switcher.native_handle(), SIGUSR1);
  switcher.join();
  return code;
}

// strivovr-headless: the program's start-up, services and engine without a window.
// Runs until Ctrl-C / SIGTERM (or the console closing on Windows), then shuts down.
#include "app/application.h"
#include "platform/last_stop.h"
#include "platform/termination.h"

int main() {
  platform::installTerminationHandler();  // before any thread starts, so all inherit it
  platform::installLastStopHandler();
  Application application;
  return application.run([] {
    platform::waitForTermination();
    return 0;
  });
}

// strivovr-headless-keylog: strivovr-headless with a key injector that prints each
// key event as "[KeyInjector] down W" / "[KeyInjector] up W" on standard output
// instead of sending it, so whole-program tests can watch the keyboard output on
// any platform.
#include <iostream>
#include <memory>

#include "app/application.h"
#include "platform/termination.h"
#include "testing/recording_key_injector.h"

int main() {
  platform::installTerminationHandler();  // before any thread starts, so all inherit it
  Application::Options options;
  options.keyInjector = std::make_shared<testsupport::PrintingKeyInjector>(std::cout);
  Application application(options);
  return application.run([] {
    platform::waitForTermination();
    return 0;
  });
}

#include <pthread.h>

#include <atomic>
#include <csignal>
#include <ctime>

#include "platform/termination.h"

namespace platform {
namespace {

std::atomic<bool> requested{false};

// SIGINT and SIGTERM are blocked in every thread (threads inherit the mask) and
// collected with sigtimedwait, so no async-signal-safe handler is needed.
sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

void installTerminationHandler() {
  const sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void waitForTermination() {
  const sigset_t set = stopSignals();
  const timespec slice{0, 100'000'000};
  while (!requested.exchange(false)) {
    if (sigtimedwait(&set, nullptr, &slice) > 0) return;
  }
}

void requestTermination() { requested = true; }

}  // namespace platform

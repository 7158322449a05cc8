#include <windows.h>

#include "platform/termination.h"

namespace platform {
namespace {

// Manual-reset event shared by the console handler and requestTermination.
HANDLE stopEvent() {
  static HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  return event;
}

BOOL WINAPI onConsoleEvent(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      ::SetEvent(stopEvent());
      // For a close event Windows ends the process when the handler returns; give
      // the main thread time to shut down first.
      if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) ::Sleep(4000);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void installTerminationHandler() {
  stopEvent();
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void waitForTermination() {
  ::WaitForSingleObject(stopEvent(), INFINITE);
  ::ResetEvent(stopEvent());
}

void requestTermination() { ::SetEvent(stopEvent()); }

}  // namespace platform

#pragma once

namespace platform {

// Routes the console's stop requests (SIGINT/SIGTERM on POSIX; Ctrl-C, Ctrl-Break
// and console close on Windows) to waitForTermination. Call once, on the main
// thread, before any other thread starts.
void installTerminationHandler();

// Blocks until a stop request arrives or requestTermination() is called.
void waitForTermination();

// Makes waitForTermination return (used by tests and by in-process shutdown).
void requestTermination();

}  // namespace platform

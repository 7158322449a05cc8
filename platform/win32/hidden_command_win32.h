#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/command_line.h"

namespace platform::win32 {

// The command line CreateProcessW gets for a program and its arguments, each quoted
// so that CommandLineToArgvW (and the C runtime) hands it back unchanged.
std::wstring quotedCommandLine(const CommandLine& command);

// Starts the program (resolved on the search path when it is a bare name) with
// CreateProcessW, never through a command interpreter, in `folder` (empty: this
// process's working folder). False, with GetLastError() set, when it did not start.
bool launch(const CommandLine& command, DWORD creationFlags, const std::wstring& folder, PROCESS_INFORMATION& process);

// Runs a program as a hidden process without a console window and waits up to
// `waitMs` for it. Its exit code, or none when it could not start or was still running
// (then it is ended with everything it started, not left behind).
std::optional<unsigned long> runHiddenCommand(const CommandLine& command, unsigned long waitMs);

}  // namespace platform::win32

#pragma once

#include <optional>
#include <string>

namespace platform::win32 {

// The command line that asks tasklist whether an image runs: find's exit code is 0
// exactly when tasklist listed it.
std::string tasklistCommand(const std::string& imageName);

// Runs a command line as a hidden process without a console window and waits up to
// `waitMs` for it. Its exit code, or none when it could not start or was still running
// (then it is ended, not left behind).
std::optional<unsigned long> runHiddenCommand(const std::string& commandLine, unsigned long waitMs);

}  // namespace platform::win32

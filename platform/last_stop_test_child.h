#pragma once

#include <string>
#include <vector>

// The crash test's two processes: what each platform's half provides.
namespace laststoptest {

struct Death {
  bool bySignal = false;  // POSIX: killed by a signal; the code is its number
  int code = 0;           // otherwise the exit code
};
struct CrashRow {
  std::string kind;
  Death death;
};

// The crashes this platform can make, with how the process must end.
std::vector<CrashRow> crashRows();
// Runs crashAsChild(spec) in a child process and reports how it ended.
Death runChild(const std::string& spec);
// Crashes the calling process as `kind` asks.
void crash(const std::string& kind);
void crashAsChild(const std::string& spec);

}  // namespace laststoptest

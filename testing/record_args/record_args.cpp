// Stands in for a program that tests start (a registration tool, an installer, a
// firewall tool): appends the arguments it was given, one per line, to "<its own
// path>.args" (so a test that runs it several times sees every run), writes the
// variable STRIVOVR_APP_PATH (when set) to "<its own path>.env", and exits with the
// code in "<its own path>.exit" (7 when that file is missing). A copy under another
// name records beside itself. Texts are kept as UTF-8. When the record cannot be
// written it exits with 3, so a lost run shows as a failed call, not a silent gap.
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/command_line.h"
#include "platform/paths.h"

namespace {

// The previous run's handle on the file may still be closing under Wine: the open
// is tried again for up to a second.
bool appendRecord(const std::string& path, const std::string& record) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    std::ofstream out(platform::utf8Path(path), std::ios::binary | std::ios::app);
    if (out && out << record && out.flush()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = platform::executablePath();
  if (self.empty()) return 2;
  std::ostringstream record;
  for (const std::string& argument : platform::programArguments(argc, argv)) record << argument << '\n';
  if (!appendRecord(self + ".args", record.str())) return 3;
  if (const std::string value = platform::environmentValue("STRIVOVR_APP_PATH"); !value.empty())
    std::ofstream(platform::utf8Path(self + ".env"), std::ios::binary) << value;
  int code = 7;
  std::ifstream(platform::utf8Path(self + ".exit")) >> code;
  return code;
}

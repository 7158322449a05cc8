// Stands in for a program that tests start (a registration tool, an installer, a
// firewall tool): appends the arguments it was given, one per line, to "<its own
// path>.args" (so a test that runs it several times sees every run), writes the
// variable STRIVOVR_APP_PATH (when set) to "<its own path>.env", and exits with the
// code in "<its own path>.exit" (7 when that file is missing). A copy under another
// name records beside itself. Texts are kept as UTF-8.
#include <fstream>

#include "platform/command_line.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  const std::string self = platform::executablePath();
  if (self.empty()) return 2;
  std::ofstream out(platform::utf8Path(self + ".args"), std::ios::binary | std::ios::app);
  for (const std::string& argument : platform::programArguments(argc, argv)) out << argument << '\n';
  if (const std::string value = platform::environmentValue("STRIVOVR_APP_PATH"); !value.empty())
    std::ofstream(platform::utf8Path(self + ".env"), std::ios::binary) << value;
  int code = 7;
  std::ifstream(platform::utf8Path(self + ".exit")) >> code;
  return code;
}

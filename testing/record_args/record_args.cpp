// Stands in for a program that tests start (a registration tool, an installer):
// appends the arguments it was given, one per line, to "<its own path>.args" (so
// a test that runs it several times sees every run) and exits with the code in
// "<its own path>.exit" (7 when that file is missing). A copy under another name
// records beside itself.
#include <fstream>

#include "platform/paths.h"

int main(int argc, char** argv) {
  const std::string self = platform::executablePath();
  if (self.empty()) return 2;
  std::ofstream out(self + ".args", std::ios::binary | std::ios::app);
  for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
  int code = 7;
  std::ifstream(self + ".exit") >> code;
  return code;
}

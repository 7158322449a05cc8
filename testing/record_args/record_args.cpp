// Writes the arguments it was given after the first, one per line, to the file
// named by the first, and exits with code 7: lets tests see exactly what a
// started program received.
#include <fstream>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::ofstream out(argv[1], std::ios::binary);
  for (int i = 2; i < argc; ++i) out << argv[i] << '\n';
  return 7;
}

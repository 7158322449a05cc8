#include <cctype>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/process_check.h"

namespace platform {
namespace {

// The kernel keeps at most 15 characters of a process name.
constexpr std::size_t kCommLength = 15;

std::string processNameFor(std::string name) {
  constexpr std::string_view kExe = ".exe";
  if (name.size() > kExe.size() && name.compare(name.size() - kExe.size(), kExe.size(), kExe) == 0)
    name.resize(name.size() - kExe.size());
  if (name.size() > kCommLength) name.resize(kCommLength);
  return name;
}

bool isPid(const std::string& entry) {
  if (entry.empty()) return false;
  for (const char c : entry)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool isProcessRunning(const std::string& imageName) {
  const std::string wanted = processNameFor(imageName);
  if (wanted.empty()) return false;
  std::error_code error;
  for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const std::string entry = it->path().filename().string();
    if (!isPid(entry)) continue;
    std::ifstream comm(it->path() / "comm");
    std::string name;
    if (std::getline(comm, name) && name == wanted) return true;
  }
  return false;
}

}  // namespace platform

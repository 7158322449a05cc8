#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/paths.h"

namespace platform {
namespace {

std::string configHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!(home && *home)) {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry ? entry->pw_dir : nullptr;
  }
  if (!(home && *home)) return "";
  return std::string(home) + "/.config";
}

}  // namespace

std::string userDataFolder(const std::string& appName) {
  const std::string base = configHome();
  if (base.empty()) return ".";
  ::mkdir(base.c_str(), 0700);  // result ignored: an existing folder is fine
  const std::string folder = base + "/" + appName;
  ::mkdir(folder.c_str(), 0700);
  return folder;
}

std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string executablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "";
  return std::string(buffer, static_cast<std::size_t>(length));
}

std::string executableFolder() {
  const std::string path = executablePath();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string executableFileName(const std::string& baseName) { return baseName; }

}  // namespace platform

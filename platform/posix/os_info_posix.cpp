#include <sys/utsname.h>

#include "platform/os_info.h"

namespace platform {

std::string osDescription() {
  utsname name{};
  if (uname(&name) != 0) return "unknown";
  return std::string(name.sysname) + " " + name.release + " " + name.machine;
}

}  // namespace platform

#include "platform/open_url.h"

namespace platform {

bool isWebAddress(const std::string& url) {
  auto startsWith = [&](const char* prefix) { return url.rfind(prefix, 0) == 0; };
  if (!startsWith("https://") && !startsWith("http://")) return false;
  // No control characters (a line break could smuggle a second argument into a shell).
  for (unsigned char c : url)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

}  // namespace platform

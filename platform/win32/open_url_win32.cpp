// windows.h first: the other Windows headers need its types.
// clang-format off
#include <windows.h>
// clang-format on

#include <shellapi.h>

#include <cstdint>

#include "platform/open_url.h"

namespace platform {

long openUrl(const std::string& url) {
  HINSTANCE result = ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return static_cast<long>(reinterpret_cast<std::intptr_t>(result));
}

}  // namespace platform

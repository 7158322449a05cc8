#include <windows.h>

#include <cstdint>
#include <vector>

#include "platform/code_patch.h"

namespace platform {

bool writeProtectedPointers(void** slots, void* const* values, std::size_t count) {
  if (count == 0) return true;
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const std::uintptr_t pageSize = info.dwPageSize;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(slots) & ~(pageSize - 1);
  const std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(slots + count) - 1) & ~(pageSize - 1);

  struct Page {
    std::uintptr_t start;
    DWORD protection;
  };
  std::vector<Page> pages;
  bool ok = true;
  // One page at a time: neighbouring pages may carry different protections, and
  // VirtualProtect reports only the first page's old protection.
  for (std::uintptr_t page = first; page <= last; page += pageSize) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<void*>(page), &region, sizeof region) != sizeof region ||
        region.State != MEM_COMMIT) {
      ok = false;
      break;
    }
    DWORD old = 0;
    if (!VirtualProtect(reinterpret_cast<void*>(page), pageSize, PAGE_READWRITE, &old)) {
      ok = false;
      break;
    }
    pages.push_back({page, old});
  }
  if (ok) {
    for (std::size_t i = 0; i < count; ++i) {
      InterlockedExchangePointer(&slots[i], values[i]);
    }
  }
  for (const Page& page : pages) {
    DWORD ignored = 0;
    VirtualProtect(reinterpret_cast<void*>(page.start), pageSize, page.protection, &ignored);
  }
  return ok;
}

}  // namespace platform

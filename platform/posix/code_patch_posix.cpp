#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/code_patch.h"

namespace platform {
namespace {

// The current protection of the page at `page`, read from /proc/self/maps (the
// kernel offers no other way to ask). -1 when no mapping holds the page.
int pageProtection(std::uintptr_t page) {
  std::FILE* maps = std::fopen("/proc/self/maps", "re");
  if (!maps) return -1;
  int protection = -1;
  char line[512];
  while (std::fgets(line, sizeof line, maps)) {
    unsigned long start = 0, end = 0;
    char perms[5] = {};
    if (std::sscanf(line, "%lx-%lx %4s", &start, &end, perms) != 3) continue;
    if (page < start || page >= end) continue;
    protection = PROT_NONE;
    if (perms[0] == 'r') protection |= PROT_READ;
    if (perms[1] == 'w') protection |= PROT_WRITE;
    if (perms[2] == 'x') protection |= PROT_EXEC;
    break;
  }
  std::fclose(maps);
  return protection;
}

}  // namespace

bool writeProtectedPointers(void** slots, void* const* values, std::size_t count) {
  if (count == 0) return true;
  const std::uintptr_t pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(slots) & ~(pageSize - 1);
  const std::uintptr_t last = (reinterpret_cast<std::uintptr_t>(slots + count) - 1) & ~(pageSize - 1);

  struct Page {
    std::uintptr_t start;
    int protection;
  };
  std::vector<Page> pages;
  for (std::uintptr_t page = first; page <= last; page += pageSize) {
    const int protection = pageProtection(page);
    if (protection < 0) return false;
    pages.push_back({page, protection});
  }
  std::size_t opened = 0;
  bool ok = true;
  for (; opened < pages.size(); ++opened) {
    const Page& page = pages[opened];
    if (page.protection & PROT_WRITE) continue;
    if (::mprotect(reinterpret_cast<void*>(page.start), pageSize, page.protection | PROT_WRITE) != 0) {
      ok = false;
      break;
    }
  }
  if (ok) {
    for (std::size_t i = 0; i < count; ++i) {
      // One aligned pointer store: threads calling through the table see the old or the new entry.
      __atomic_store_n(&slots[i], values[i], __ATOMIC_RELEASE);
    }
  }
  for (std::size_t i = 0; i < opened; ++i) {
    const Page& page = pages[i];
    if (!(page.protection & PROT_WRITE)) ::mprotect(reinterpret_cast<void*>(page.start), pageSize, page.protection);
  }
  return ok;
}

}  // namespace platform

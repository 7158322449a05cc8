// The counting operator new: per-thread slots in a fixed table and a fixed table of
// stacks, so counting itself never allocates. Symbolising (after the window) runs
// addr2line on each object file the stacks pass through.
#include "bench/alloc/alloc_counter.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>

namespace alloccount {
namespace {

constexpr int kMaxThreads = 256;
constexpr int kMaxDepth = 40;
constexpr int kMaxSites = 8192;

struct Slot {
  std::atomic<long> tid{0};
  std::atomic<long> count{0};
  void* first[kMaxDepth]{};
  int firstDepth = 0;
};

struct StackEntry {
  std::uint64_t hash = 0;
  int slot = 0;
  int depth = 0;
  long count = 0;
  void* frames[kMaxDepth]{};
};

Slot g_slots[kMaxThreads];
std::atomic<int> g_slotsUsed{0};
std::atomic<bool> g_counting{false};
std::atomic<bool> g_recordStacks{false};
std::mutex g_stacksMutex;
StackEntry g_stacks[kMaxSites];
int g_stacksUsed = 0;
bool g_overflow = false;

thread_local int t_slot = -1;
thread_local bool t_uncounted = false;
thread_local bool t_inside = false;  // in the counter itself, or in an UncountedScope

// Loads the unwinder before the first window, so taking a stack later allocates nothing new.
const bool g_unwinderLoaded = [] {
  void* frames[2];
  return ::backtrace(frames, 2) >= 0;
}();

Slot& slotOfThisThread() {
  if (t_slot < 0) {
    const int index = g_slotsUsed.fetch_add(1);
    t_slot = index < kMaxThreads ? index : kMaxThreads - 1;
    g_slots[t_slot].tid = static_cast<long>(::syscall(SYS_gettid));
  }
  return g_slots[t_slot];
}

std::uint64_t hashOf(void* const* frames, int depth) {
  std::uint64_t hash = 1469598103934665603ull;
  for (int i = 0; i < depth; ++i) hash = (hash ^ reinterpret_cast<std::uintptr_t>(frames[i])) * 1099511628211ull;
  return hash;
}

void noteStack(int slot, void* const* frames, int depth) {
  const std::uint64_t hash = hashOf(frames, depth);
  std::lock_guard lock(g_stacksMutex);
  for (int i = 0; i < g_stacksUsed; ++i) {
    StackEntry& entry = g_stacks[i];
    if (entry.hash == hash && entry.slot == slot && entry.depth == depth &&
        std::equal(frames, frames + depth, entry.frames)) {
      ++entry.count;
      return;
    }
  }
  if (g_stacksUsed == kMaxSites) {
    g_overflow = true;
    return;
  }
  StackEntry& entry = g_stacks[g_stacksUsed++];
  entry.hash = hash;
  entry.slot = slot;
  entry.depth = depth;
  entry.count = 1;
  std::copy(frames, frames + depth, entry.frames);
}

void count() {
  if (!g_counting.load(std::memory_order_relaxed) || t_uncounted || t_inside) return;
  t_inside = true;
  Slot& slot = slotOfThisThread();
  slot.count.fetch_add(1, std::memory_order_relaxed);
  const bool record = g_recordStacks.load(std::memory_order_relaxed);
  if (slot.firstDepth == 0 || record) {
    void* frames[kMaxDepth];
    const int depth = ::backtrace(frames, kMaxDepth);
    if (slot.firstDepth == 0) {
      std::copy(frames, frames + depth, slot.first);
      slot.firstDepth = depth;
    }
    if (record) noteStack(t_slot, frames, depth);
  }
  t_inside = false;
}

void* allocate(std::size_t size) {
  count();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::align_val_t align) {
  count();
  const auto alignment = static_cast<std::size_t>(align);
  const std::size_t rounded = (std::max<std::size_t>(size, 1) + alignment - 1) / alignment * alignment;
  if (void* p = std::aligned_alloc(alignment, rounded)) return p;
  throw std::bad_alloc();
}

// --- Symbolising (outside the window) ---

std::string demangled(const char* name) {
  int status = 0;
  char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string result = status == 0 && text ? text : name;
  std::free(text);
  return result;
}

// Drops the parameter list: "ns::Class::method(int) const" -> "ns::Class::method".
std::string shortName(const std::string& function) {
  int depth = 0;
  for (std::size_t i = 0; i < function.size(); ++i) {
    const char c = function[i];
    if (c == '<') ++depth;
    if (c == '>') --depth;
    if (c == '(' && depth == 0 && i > 0) {
      // "{lambda(...)#1}" keeps its parentheses: they belong to the name.
      if (function.compare(i > 7 ? i - 7 : 0, 7, "{lambda") == 0) continue;
      if (function.compare(i, 12, "(anonymous n") == 0) continue;
      if (function.compare(i > 8 ? i - 8 : 0, 8, "operator") == 0 && function.compare(i, 2, "()") == 0)
        return function.substr(0, i + 2);
      return function.substr(0, i);
    }
  }
  return function;
}

struct Symbolised {
  std::vector<Frame> frames;  // innermost first
  bool inExecutable = false;
};

const void* executableBase() {
  Dl_info info{};
  return ::dladdr(reinterpret_cast<void*>(&begin), &info) ? info.dli_fbase : nullptr;
}

// This process's executable (not "/proc/self/exe": addr2line would read its own).
std::string executablePath() {
  char path[4096];
  const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return size > 0 ? std::string(path, static_cast<std::size_t>(size)) : std::string();
}

std::map<void*, Symbolised> symbolise(const std::vector<void*>& addresses) {
  std::map<void*, Symbolised> result;
  std::map<std::string, std::vector<std::pair<void*, std::uintptr_t>>> byObject;
  const void* exe = executableBase();
  for (void* address : addresses) {
    if (result.count(address)) continue;
    Dl_info info{};
    Symbolised& entry = result[address];
    // A return address: the call is the byte before it.
    void* call = static_cast<char*>(address) - 1;
    if (!::dladdr(call, &info) || !info.dli_fname) {
      entry.frames.push_back({"??", "??"});
      continue;
    }
    entry.inExecutable = info.dli_fbase == exe;
    entry.frames.push_back({info.dli_sname ? shortName(demangled(info.dli_sname)) : "??", info.dli_fname});
    const std::string object = entry.inExecutable ? executablePath() : std::string(info.dli_fname);
    byObject[object].push_back(
        {address, reinterpret_cast<std::uintptr_t>(call) - reinterpret_cast<std::uintptr_t>(info.dli_fbase)});
  }
  for (const auto& [object, entries] : byObject) {
    for (std::size_t start = 0; start < entries.size(); start += 200) {
      std::string command = "addr2line -a -f -C -i -e '" + object + "'";
      const std::size_t stop = std::min(entries.size(), start + 200);
      for (std::size_t i = start; i < stop; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, " 0x%jx", static_cast<std::uintmax_t>(entries[i].second));
        command += text;
      }
      command += " 2>/dev/null";
      FILE* pipe = ::popen(command.c_str(), "r");
      if (!pipe) continue;
      std::vector<Frame> frames;
      std::size_t index = start - 1;
      char line[4096];
      std::string function;
      bool haveFunction = false;
      const auto flush = [&] {
        if (index >= start && index < stop && !frames.empty()) {
          Symbolised& entry = result[entries[index].first];
          // Keep dladdr's name where addr2line knows nothing (stripped libraries).
          if (frames.size() == 1 && frames[0].function == "??") frames[0].function = entry.frames[0].function;
          if (frames.back().location.rfind("??", 0) == 0) frames.back().location = entry.frames[0].location;
          entry.frames = frames;
        }
        frames.clear();
      };
      while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        if (text.rfind("0x", 0) == 0) {
          flush();
          ++index;
          haveFunction = false;
          continue;
        }
        if (!haveFunction) {
          function = shortName(text);
          haveFunction = true;
        } else {
          std::string location = text;
          const auto discriminator = location.find(" (discriminator");
          if (discriminator != std::string::npos) location.erase(discriminator);
          // "/src/build/linux/../../app/x.cpp:12" -> "/src/app/x.cpp:12"
          const auto colon = location.rfind(':');
          if (colon != std::string::npos && location.rfind("/..", colon) != std::string::npos)
            location =
                std::filesystem::path(location.substr(0, colon)).lexically_normal().string() + location.substr(colon);
          frames.push_back({function, location});
          haveFunction = false;
        }
      }
      flush();
      ::pclose(pipe);
    }
  }
  return result;
}

bool isAllocatorFrame(const Frame& frame) {
  return frame.location.find("alloc_counter.cpp") != std::string::npos ||
         frame.function.rfind("operator new", 0) == 0 || frame.function == "backtrace";
}

// The stack of `frames` (innermost first), symbolised, without the allocator's frames.
std::vector<Frame> stackOf(void* const* frames, int depth, const std::map<void*, Symbolised>& names,
                           std::string* label) {
  std::vector<Frame> stack;
  for (int i = 0; i < depth; ++i) {
    const Symbolised& s = names.at(frames[i]);
    for (const Frame& frame : s.frames) stack.push_back(frame);
  }
  const auto firstOwn =
      std::find_if(stack.rbegin(), stack.rend(), [](const Frame& frame) { return isAllocatorFrame(frame); });
  if (firstOwn != stack.rend()) stack.erase(stack.begin(), firstOwn.base());
  if (label) {
    // The outermost frame of this program that is not the standard library's thread machinery.
    label->clear();
    for (int i = depth - 1; i >= 0 && label->empty(); --i) {
      const Symbolised& s = names.at(frames[i]);
      if (!s.inExecutable) continue;
      for (auto it = s.frames.rbegin(); it != s.frames.rend(); ++it) {
        const std::string& f = it->function;
        if (f.rfind("std::", 0) == 0 || f.rfind("void std::", 0) == 0 || f.rfind("__", 0) == 0 ||
            f.rfind("_M_", 0) == 0 || f.find("::") == std::string::npos || f == "_start" || f == "main")
          continue;
        *label = f;
        break;
      }
    }
    if (label->empty()) *label = "main thread";
  }
  return stack;
}

}  // namespace

void begin(bool recordStacks) {
  std::lock_guard lock(g_stacksMutex);
  for (Slot& slot : g_slots) {
    slot.count = 0;
    slot.firstDepth = 0;
  }
  g_stacksUsed = 0;
  g_overflow = false;
  g_recordStacks = recordStacks;
  g_counting = true;
}

void end() { g_counting = false; }

void markThreadUncounted() { t_uncounted = true; }

UncountedScope::UncountedScope() : was_(t_inside) { t_inside = true; }
UncountedScope::~UncountedScope() { t_inside = was_; }

std::vector<ThreadFigures> threads() {
  UncountedScope quiet;
  const int used = std::min(g_slotsUsed.load(), kMaxThreads);
  std::vector<void*> addresses;
  for (int i = 0; i < used; ++i)
    addresses.insert(addresses.end(), g_slots[i].first, g_slots[i].first + g_slots[i].firstDepth);
  const auto names = symbolise(addresses);
  std::vector<ThreadFigures> result;
  for (int i = 0; i < used; ++i) {
    const Slot& slot = g_slots[i];
    if (slot.count == 0) continue;
    ThreadFigures figures;
    figures.tid = slot.tid;
    figures.allocations = slot.count;
    stackOf(slot.first, slot.firstDepth, names, &figures.label);
    result.push_back(figures);
  }
  std::sort(result.begin(), result.end(),
            [](const ThreadFigures& a, const ThreadFigures& b) { return a.allocations > b.allocations; });
  return result;
}

std::vector<Site> sites() {
  UncountedScope quiet;
  std::lock_guard lock(g_stacksMutex);
  std::vector<void*> addresses;
  const int used = std::min(g_slotsUsed.load(), kMaxThreads);
  for (int i = 0; i < used; ++i)
    addresses.insert(addresses.end(), g_slots[i].first, g_slots[i].first + g_slots[i].firstDepth);
  for (int i = 0; i < g_stacksUsed; ++i)
    addresses.insert(addresses.end(), g_stacks[i].frames, g_stacks[i].frames + g_stacks[i].depth);
  const auto names = symbolise(addresses);
  std::vector<std::string> labels(static_cast<std::size_t>(used));
  for (int i = 0; i < used; ++i) stackOf(g_slots[i].first, g_slots[i].firstDepth, names, &labels[i]);
  std::vector<Site> result;
  for (int i = 0; i < g_stacksUsed; ++i) {
    const StackEntry& entry = g_stacks[i];
    Site site;
    site.allocations = entry.count;
    site.threadLabel = labels[static_cast<std::size_t>(entry.slot)];
    site.stack = stackOf(entry.frames, entry.depth, names, nullptr);
    result.push_back(std::move(site));
  }
  std::sort(result.begin(), result.end(), [](const Site& a, const Site& b) { return a.allocations > b.allocations; });
  return result;
}

bool sitesOverflowed() { return g_overflow; }

}  // namespace alloccount

void* operator new(std::size_t size) { return alloccount::allocate(size); }
void* operator new[](std::size_t size) { return alloccount::allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return alloccount::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return alloccount::allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new(std::size_t size, std::align_val_t align) { return alloccount::allocateAligned(size, align); }
void* operator new[](std::size_t size, std::align_val_t align) { return alloccount::allocateAligned(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

#include "platform/last_stop.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

struct Buffer {
  Endpoint to;
  std::size_t count = 0;
  unsigned short lengths[kLastStopDatagrams] = {};
  char bytes[kLastStopDatagrams][kLastStopDatagramBytes] = {};
};

// Two buffers per slot: an update fills the one not published, then flips the index.
struct Slot {
  Buffer buffers[2];
  std::atomic<int> published{-1};
};

static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<void*>::is_always_lock_free);
static_assert(std::atomic<std::size_t>::is_always_lock_free);

Slot g_slots[kLastStopSlots];
std::atomic<void*> g_record{nullptr};
std::atomic<std::size_t> g_recordSize{0};
std::mutex g_updates;  // between updaters only; the handlers never take it

}  // namespace

bool setLastStopDatagrams(LastStopSlot which, const Endpoint& to, const std::vector<std::string>& datagrams) {
  const auto index = static_cast<std::size_t>(which);
  if (index >= kLastStopSlots) return false;
  std::lock_guard lock(g_updates);
  Slot& slot = g_slots[index];
  if (datagrams.empty()) {
    slot.published.store(-1, std::memory_order_release);
    return true;
  }
  const int next = slot.published.load(std::memory_order_relaxed) == 0 ? 1 : 0;
  Buffer& buffer = slot.buffers[next];
  buffer.to = to;
  buffer.count = 0;
  bool all = true;
  for (const std::string& datagram : datagrams) {
    if (buffer.count == kLastStopDatagrams || datagram.empty() || datagram.size() > kLastStopDatagramBytes) {
      all = false;
      continue;
    }
    std::memcpy(buffer.bytes[buffer.count], datagram.data(), datagram.size());
    buffer.lengths[buffer.count] = static_cast<unsigned short>(datagram.size());
    ++buffer.count;
  }
  slot.published.store(next, std::memory_order_release);
  return all;
}

void setLastStopRecord(void* record, std::size_t size) {
  std::lock_guard lock(g_updates);
  g_record.store(nullptr, std::memory_order_release);
  g_recordSize.store(record ? size : 0, std::memory_order_release);
  g_record.store(record, std::memory_order_release);
}

bool lastStopDatagrams(std::size_t index, LastStopView& out) {
  if (index >= kLastStopSlots) return false;
  const int published = g_slots[index].published.load(std::memory_order_acquire);
  if (published < 0) return false;
  const Buffer& buffer = g_slots[index].buffers[published];
  out = {buffer.to, buffer.count, buffer.lengths, buffer.bytes};
  return buffer.count > 0;
}

void clearLastStopRecord() {
  auto* record = static_cast<volatile unsigned char*>(g_record.load(std::memory_order_acquire));
  const std::size_t size = g_recordSize.load(std::memory_order_acquire);
  if (!record) return;
  for (std::size_t i = 0; i < size; ++i) record[i] = 0;
}

}  // namespace platform

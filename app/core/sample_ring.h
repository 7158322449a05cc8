#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace core {

// A fixed ring of the last N samples with one writer (the engine's sample path,
// serialised by the engine lock) and any number of readers (the window). Pushing
// never allocates, locks or waits; a reader copies out what it wants and drops
// any sample the writer overwrote while it was copying (a sequence check, as in
// a seqlock). Every word is an atomic, so a torn copy is a discarded copy, not a
// data race.
template <class Sample, std::size_t N>
class SampleRing {
  static_assert(std::is_trivially_copyable_v<Sample>);
  static_assert(N > 0 && (N & (N - 1)) == 0, "a power of two");
  static constexpr std::size_t kWords = (sizeof(Sample) + 3) / 4;

 public:
  static constexpr std::size_t kCapacity = N;

  void push(const Sample& sample) {
    const std::uint64_t index = written_.load(std::memory_order_relaxed);
    // Announce the slot being overwritten before touching it.
    started_.store(index + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    // Word by word from the sample itself: one wide copy of a sample just written
    // field by field stalls the store buffer.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&sample);
    Slot& slot = slots_[index & (N - 1)];
    for (std::size_t i = 0; i < kWords; ++i) {
      std::uint32_t word = 0;
      std::memcpy(&word, bytes + 4 * i, std::min<std::size_t>(4, sizeof(Sample) - 4 * i));
      slot[i].store(word, std::memory_order_relaxed);
    }
    written_.store(index + 1, std::memory_order_release);
  }

  // Samples pushed so far (also what changes when new data arrived).
  std::uint64_t written() const { return written_.load(std::memory_order_acquire); }

  // Copies up to `max` of the newest samples into `out`, oldest first; returns
  // how many are valid (those the writer did not overwrite meanwhile).
  std::size_t copyLatest(Sample* out, std::size_t max) const {
    const std::uint64_t end = written_.load(std::memory_order_acquire);
    std::uint64_t count = end < max ? end : max;
    if (count > N) count = N;
    const std::uint64_t first = end - count;
    for (std::uint64_t k = 0; k < count; ++k) {
      std::uint32_t words[kWords];
      const Slot& slot = slots_[(first + k) & (N - 1)];
      for (std::size_t i = 0; i < kWords; ++i) words[i] = slot[i].load(std::memory_order_relaxed);
      std::memcpy(&out[k], words, sizeof(Sample));
    }
    std::atomic_thread_fence(std::memory_order_acquire);
    // Sample j survived the copy unless a write of j + N (or later) had begun.
    const std::uint64_t started = started_.load(std::memory_order_relaxed);
    const std::uint64_t safeFrom = started > N ? started - N : 0;
    if (safeFrom <= first) return static_cast<std::size_t>(count);
    const std::uint64_t lost = safeFrom - first >= count ? count : safeFrom - first;
    std::memmove(out, out + lost, static_cast<std::size_t>(count - lost) * sizeof(Sample));
    return static_cast<std::size_t>(count - lost);
  }

 private:
  using Slot = std::array<std::atomic<std::uint32_t>, kWords>;
  std::array<Slot, N> slots_{};
  std::atomic<std::uint64_t> written_{0};
  std::atomic<std::uint64_t> started_{0};
};

}  // namespace core

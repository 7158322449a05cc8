#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

// Counters of the road from body to game, kept by the services on their sample paths
// (atomics only: no lock, no allocation there) and read by the Status tab's road
// panel and the support report.
namespace core {

// Monotonic nanoseconds (steady clock).
std::int64_t steadyNanoseconds();

// One tracker kind: its datagrams and, for the phone, who sent the last one.
struct TrackerStage {
  std::atomic<std::uint64_t> packets{0};
  std::atomic<std::int64_t> lastPacketNs{0};  // 0: none yet
  std::atomic<std::uint32_t> senderAddress{0};
  std::atomic<std::uint16_t> senderPort{0};
};

// The in-process latency of the last samples: a fixed ring written without locks
// (a reader may see a slot being overwritten; it then reads one sample off, no more).
class LatencyRing {
 public:
  static constexpr std::size_t kCapacity = 16384;  // 10 s at 1000 samples a second, with room

  void add(std::int64_t atNs, std::int64_t latencyNs);

  struct Summary {
    std::size_t samples = 0;
    double medianMs = 0;
    double p99Ms = 0;
  };
  // Samples taken in (nowNs - windowNs, nowNs]. Allocates: not for the sample path.
  Summary summarize(std::int64_t nowNs, std::int64_t windowNs) const;

 private:
  struct Slot {
    std::atomic<std::int64_t> at{0};
    std::atomic<std::int64_t> latency{0};
  };
  std::array<Slot, kCapacity> slots_{};
  std::atomic<std::uint64_t> next_{0};
};

class RoadStats {
 public:
  using Clock = std::function<std::int64_t()>;
  explicit RoadStats(Clock clock = steadyNanoseconds) : clock_(std::move(clock)) {}
  RoadStats(const RoadStats&) = delete;
  RoadStats& operator=(const RoadStats&) = delete;

  std::int64_t now() const { return clock_(); }

  // A tracker datagram arrived on this thread: counted, and its arrival is what the
  // output's send on the same thread is measured from.
  void trackerPacket(TrackerStage& stage, std::uint32_t address = 0, std::uint16_t port = 0);
  // The stage of a tracking source name; null for names without one.
  TrackerStage* stageOf(std::string_view source);
  const TrackerStage* stageOf(std::string_view source) const { return const_cast<RoadStats*>(this)->stageOf(source); }
  // A tracking value reached the engine.
  void engineSample() { engineSamples.fetch_add(1, std::memory_order_relaxed); }
  // The output sent the engine's stick (after the send): counts it and records the
  // latency from this thread's last tracker arrival, once per arrival.
  void outputSent(float x, float y);
  // Any other output message (buttons, centring).
  void outputMessage() { outputMessages.fetch_add(1, std::memory_order_relaxed); }

  TrackerStage phone, slimeOsc, solarXr, steamVrTracker;
  std::atomic<std::uint64_t> engineSamples{0};
  std::atomic<std::uint64_t> outputMessages{0};
  std::atomic<float> stickX{0}, stickY{0};
  LatencyRing latency;

 private:
  Clock clock_;
};

}  // namespace core

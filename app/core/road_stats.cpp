#include "app/core/road_stats.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "app/core/source_names.h"
#include "platform/hot_path.h"

namespace core {
namespace {

// The arrival of the tracker datagram this thread is handling; 0 when none or used.
thread_local std::int64_t arrivalNs = 0;

}  // namespace

STRIVO_HOT_PATH std::int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

STRIVO_HOT_PATH void LatencyRing::add(std::int64_t atNs, std::int64_t latencyNs) {
  Slot& slot = slots_[next_.fetch_add(1, std::memory_order_relaxed) % kCapacity];
  slot.latency.store(latencyNs, std::memory_order_relaxed);
  slot.at.store(atNs, std::memory_order_release);
}

LatencyRing::Summary LatencyRing::summarize(std::int64_t nowNs, std::int64_t windowNs) const {
  std::vector<std::int64_t> values;
  values.reserve(kCapacity);
  for (const Slot& slot : slots_) {
    const std::int64_t at = slot.at.load(std::memory_order_acquire);
    if (at == 0 || at > nowNs || nowNs - at >= windowNs) continue;
    values.push_back(slot.latency.load(std::memory_order_relaxed));
  }
  Summary summary;
  summary.samples = values.size();
  if (values.empty()) return summary;
  std::sort(values.begin(), values.end());
  // Nearest rank: the smallest value with at least p of the samples at or below it.
  auto rank = [&](double p) {
    const auto index = static_cast<std::size_t>(std::max(1.0, p * static_cast<double>(values.size()) + 0.999999)) - 1;
    return static_cast<double>(values[std::min(index, values.size() - 1)]) / 1e6;
  };
  summary.medianMs = rank(0.5);
  summary.p99Ms = rank(0.99);
  return summary;
}

STRIVO_HOT_PATH void RoadStats::trackerPacket(TrackerStage& stage, std::uint32_t address, std::uint16_t port) {
  const std::int64_t at = now();
  arrivalNs = at;
  stage.packets.fetch_add(1, std::memory_order_relaxed);
  stage.lastPacketNs.store(at, std::memory_order_relaxed);
  if (address != 0) {
    stage.senderAddress.store(address, std::memory_order_relaxed);
    stage.senderPort.store(port, std::memory_order_relaxed);
  }
}

STRIVO_HOT_PATH TrackerStage* RoadStats::stageOf(std::string_view source) {
  if (source == sources::kPhone || source == sources::kPhoneAcceleration) return &phone;
  if (source == sources::kSlimeOsc) return &slimeOsc;
  if (source == sources::kSlimeSolarXr) return &solarXr;
  if (source == sources::kSteamVrTracker) return &steamVrTracker;
  return nullptr;
}

STRIVO_HOT_PATH void RoadStats::outputSent(float x, float y) {
  outputMessages.fetch_add(1, std::memory_order_relaxed);
  stickX.store(x, std::memory_order_relaxed);
  stickY.store(y, std::memory_order_relaxed);
  if (arrivalNs == 0) return;
  const std::int64_t at = now();
  latency.add(at, at - arrivalNs);
  arrivalNs = 0;
}

}  // namespace core
